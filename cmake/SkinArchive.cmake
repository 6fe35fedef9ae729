# The skin archive travels inside the executable as resource type "ZIPRES",
# id 104. corvel_skin_resource(<out_var> <folder> <name> [EXTRA <entry> <file>
# ...]) packs every file under <folder> (paths relative to it) into
# <build>/<name>.zip whenever one of them changes, and writes <build>/<name>.rc
# embedding that zip; add the .rc to an executable's sources to carry the
# skin. Each EXTRA pair adds the file at <file> (an absolute path outside the
# folder, such as an installed font) under the entry path <entry>: the folder
# and the extras are then copied into <build>/<name>.stage and packed from
# there. Without extras the folder is packed where it is.
set(CORVEL_SKIN_RESOURCE_ID 104)
set(CORVEL_SKIN_RESOURCE_TYPE ZIPRES)

function(corvel_skin_resource out_var folder name)
  cmake_parse_arguments(PARSE_ARGV 3 arg "" "" "EXTRA")
  file(GLOB_RECURSE files RELATIVE "${folder}" CONFIGURE_DEPENDS "${folder}/*")
  list(SORT files)
  set(absolute "")
  foreach(f ${files})
    list(APPEND absolute "${folder}/${f}")
  endforeach()
  set(zip "${CMAKE_BINARY_DIR}/${name}.zip")
  set(pack_dir "${folder}")
  set(stage_commands "")
  list(LENGTH arg_EXTRA extra_length)
  if(extra_length GREATER 0)
    math(EXPR odd "${extra_length} % 2")
    if(odd)
      message(FATAL_ERROR "corvel_skin_resource(${name}): EXTRA takes <entry> <file> pairs")
    endif()
    set(pack_dir "${CMAKE_BINARY_DIR}/${name}.stage")
    list(APPEND stage_commands
      COMMAND "${CMAKE_COMMAND}" -E rm -rf "${pack_dir}"
      COMMAND "${CMAKE_COMMAND}" -E copy_directory "${folder}" "${pack_dir}")
    math(EXPR last "${extra_length} - 1")
    foreach(i RANGE 0 ${last} 2)
      math(EXPR j "${i} + 1")
      list(GET arg_EXTRA ${i} entry)
      list(GET arg_EXTRA ${j} source)
      if(NOT EXISTS "${source}")
        message(FATAL_ERROR "corvel_skin_resource(${name}): ${source} is missing (scripts/setup.sh installs it)")
      endif()
      get_filename_component(entry_dir "${entry}" DIRECTORY)
      if(entry_dir)
        list(APPEND stage_commands COMMAND "${CMAKE_COMMAND}" -E make_directory "${pack_dir}/${entry_dir}")
      endif()
      list(APPEND stage_commands COMMAND "${CMAKE_COMMAND}" -E copy "${source}" "${pack_dir}/${entry}")
      list(APPEND files "${entry}")
      list(APPEND absolute "${source}")
    endforeach()
    list(SORT files)
  endif()
  # The stage is made afresh by the command itself: the packing runs in it
  # through "chdir", never from a folder the command removes.
  add_custom_command(OUTPUT "${zip}"
    ${stage_commands}
    COMMAND "${CMAKE_COMMAND}" -E rm -f "${zip}"
    COMMAND "${CMAKE_COMMAND}" -E chdir "${pack_dir}" "${CMAKE_COMMAND}" -E tar cf "${zip}" --format=zip -- ${files}
    WORKING_DIRECTORY "${CMAKE_BINARY_DIR}"
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
