# The skin archive travels inside the executable as resource type "ZIPRES",
# id 104. corvel_skin_resource(<out_var> <folder> <name>) packs every file
# under <folder> (paths relative to it) into <build>/<name>.zip whenever one
# of them changes, and writes <build>/<name>.rc embedding that zip; add the
# .rc to an executable's sources to carry the skin.
set(CORVEL_SKIN_RESOURCE_ID 104)
set(CORVEL_SKIN_RESOURCE_TYPE ZIPRES)

function(corvel_skin_resource out_var folder name)
  file(GLOB_RECURSE files RELATIVE "${folder}" CONFIGURE_DEPENDS "${folder}/*")
  list(SORT files)
  set(absolute "")
  foreach(f ${files})
    list(APPEND absolute "${folder}/${f}")
  endforeach()
  set(zip "${CMAKE_BINARY_DIR}/${name}.zip")
  add_custom_command(OUTPUT "${zip}"
    COMMAND "${CMAKE_COMMAND}" -E rm -f "${zip}"
    COMMAND "${CMAKE_COMMAND}" -E tar cf "${zip}" --format=zip -- ${files}
    WORKING_DIRECTORY "${folder}"
    DEPENDS ${absolute}
    COMMENT "Packing ${name}.zip"
    VERBATIM)
  add_custom_target(${name}_zip DEPENDS "${zip}")
  set(rc "${CMAKE_BINARY_DIR}/${name}.rc")
  file(WRITE "${rc}.in"
    "${CORVEL_SKIN_RESOURCE_ID} ${CORVEL_SKIN_RESOURCE_TYPE} \"${zip}\"\n")
  configure_file("${rc}.in" "${rc}" COPYONLY)
  set_source_files_properties("${rc}" PROPERTIES OBJECT_DEPENDS "${zip}")
  set(${out_var} "${rc}" PARENT_SCOPE)
endfunction()
