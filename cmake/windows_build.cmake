# The Windows build of the same sources, made with this one: MinGW-w64 and,
# where Qt for Windows is at hand, the editor and its Qt Test programs too.
# Its tests run in this build's CTest under Wine, beside the Linux ones, so a
# change that breaks only Windows fails the same `ctest`.

find_program(THORNWAKE_MINGW_CXX x86_64-w64-mingw32-g++-posix)
find_program(THORNWAKE_WINE wine)
if(NOT THORNWAKE_MINGW_CXX OR NOT THORNWAKE_WINE)
  message(STATUS "No MinGW-w64 or no Wine: no Windows build (make deps installs them)")
  return()
endif()

set(THORNWAKE_QT_WINDOWS "${PROJECT_SOURCE_DIR}/../shared/qt6-windows/qt6.4.2-mingw-w64-x86_64.tar.xz"
    CACHE PATH "Qt for Windows: an unpacked prefix, or a .tar.xz of one")
get_filename_component(qt_windows "${THORNWAKE_QT_WINDOWS}" ABSOLUTE)
set(cli_only OFF)
if(NOT EXISTS "${qt_windows}")
  message(STATUS "No Qt for Windows at ${qt_windows}: skipped the Windows editor and its tests.")
  set(cli_only ON)
endif()

set(THORNWAKE_WINDOWS_BUILD "${CMAKE_BINARY_DIR}/windows")
include(ExternalProject)
ExternalProject_Add(thornwake_windows
  SOURCE_DIR "${PROJECT_SOURCE_DIR}"
  BINARY_DIR "${THORNWAKE_WINDOWS_BUILD}"
  CMAKE_GENERATOR Ninja
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DTHORNWAKE_CLI_ONLY=${cli_only} "-DTHORNWAKE_QT_WINDOWS=${qt_windows}"
             "-DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake"
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  TEST_COMMAND "")

# Wine's server and helper processes start once before the Windows tests and
# end after them. Started by a test of their own with their output going
# nowhere, they hold no test's output open for CTest to wait on.
set(THORNWAKE_WINE_ENVIRONMENT
    "WINEPREFIX=${THORNWAKE_WINDOWS_BUILD}/wine;WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")
add_test(NAME wine_start COMMAND sh -c "exec </dev/null >/dev/null 2>&1; mkdir -p \"$WINEPREFIX\" && \
timeout 60 wineserver -k; timeout 60 wineserver -p && timeout 300 wine cmd /c exit")
add_test(NAME wine_stop COMMAND sh -c "exec </dev/null >/dev/null 2>&1; timeout 60 wineserver -k; true")
set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine ENVIRONMENT "${THORNWAKE_WINE_ENVIRONMENT}"
                                           LABELS windows)
set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine ENVIRONMENT "${THORNWAKE_WINE_ENVIRONMENT}"
                                          LABELS windows)
file(WRITE "${CMAKE_BINARY_DIR}/windows_tests.cmake"
     "if(EXISTS \"${THORNWAKE_WINDOWS_BUILD}/CTestTestfile.cmake\")\n  subdirs(\"${THORNWAKE_WINDOWS_BUILD}\")\nendif()\n")
set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY TEST_INCLUDE_FILES
             "${CMAKE_BINARY_DIR}/windows_tests.cmake")
