# The installer executable, CorvelSetup.exe: the entry point over the corvel
# library, with its string table (product identifier 101, service base URL
# 102), icon 103, version resource (ProductName is the product's name) and
# the skin archive from res/skin as "ZIPRES" 104.
include("${CMAKE_SOURCE_DIR}/cmake/SkinArchive.cmake")
corvel_skin_resource(CORVEL_INSTALLER_SKIN_RC "${CMAKE_SOURCE_DIR}/res/skin" installer_skin)

set(CORVEL_PRODUCT_NAME "Corvel 演示产品" CACHE STRING "ProductName of the installer's version resource")
set(CORVEL_VERSION "1.0.0.1" CACHE STRING "File and product version (four numbers)")
string(REPLACE "." "," CORVEL_VERSION_COMMAS "${CORVEL_VERSION}")
file(TO_CMAKE_PATH "${CMAKE_SOURCE_DIR}/res/installer.ico" CORVEL_ICON_FILE)
configure_file("${CMAKE_SOURCE_DIR}/src/app/Installer.rc.in" "${CMAKE_BINARY_DIR}/Installer.rc" @ONLY)

add_executable(CorvelSetup WIN32
  "${CMAKE_SOURCE_DIR}/src/app/WinMain.cpp"
  "${CMAKE_BINARY_DIR}/Installer.rc"
  "${CORVEL_SERVICE_STRINGS_RC}"
  "${CORVEL_INSTALLER_SKIN_RC}")
add_dependencies(CorvelSetup installer_skin_zip)
set_source_files_properties("${CMAKE_BINARY_DIR}/Installer.rc" PROPERTIES OBJECT_DEPENDS "${CORVEL_ICON_FILE}")
target_link_options(CorvelSetup PRIVATE -municode)
target_link_libraries(CorvelSetup PRIVATE corvel)
