# Qt for Windows, for the cross build of the editor and its tests. Debian has
# none, so THORNWAKE_QT_WINDOWS names one: an unpacked Qt prefix, or a tarball
# of one (top folder qt6-mingw), unpacked into the build tree once. The prefix
# runs the build host's moc, rcc and uic, so the host's Qt must be the same
# version (6.4.2, Debian 12's).

set(THORNWAKE_QT_WINDOWS "${PROJECT_SOURCE_DIR}/../shared/qt6-windows/qt6.4.2-mingw-w64-x86_64.tar.xz"
    CACHE PATH "Qt for Windows: an unpacked prefix, or a .tar.xz of one")
get_filename_component(qt_windows "${THORNWAKE_QT_WINDOWS}" ABSOLUTE)

if(IS_DIRECTORY "${qt_windows}")
  set(qt_windows_prefix "${qt_windows}")
elseif(EXISTS "${qt_windows}")
  set(qt_windows_prefix "${CMAKE_BINARY_DIR}/qt-windows/qt6-mingw")
  file(TIMESTAMP "${qt_windows}" stamp "%Y-%m-%dT%H:%M:%S" UTC)
  set(stamp "${qt_windows} ${stamp}")
  set(stamp_file "${CMAKE_BINARY_DIR}/qt-windows/unpacked-from")
  set(unpacked_from "")
  if(EXISTS "${stamp_file}")
    file(READ "${stamp_file}" unpacked_from)
  endif()
  if(NOT unpacked_from STREQUAL stamp)
    message(STATUS "Unpacking Qt for Windows from ${qt_windows}")
    file(REMOVE_RECURSE "${CMAKE_BINARY_DIR}/qt-windows")
    file(ARCHIVE_EXTRACT INPUT "${qt_windows}" DESTINATION "${CMAKE_BINARY_DIR}/qt-windows")
    file(WRITE "${stamp_file}" "${stamp}")
  endif()
else()
  message(FATAL_ERROR "No Qt for Windows at ${qt_windows}: set THORNWAKE_QT_WINDOWS, or build with "
                      "-DTHORNWAKE_CLI_ONLY=ON")
endif()
if(NOT EXISTS "${qt_windows_prefix}/lib/cmake/Qt6/Qt6Config.cmake")
  message(FATAL_ERROR "${qt_windows_prefix} is no Qt prefix (lib/cmake/Qt6/Qt6Config.cmake is missing)")
endif()

set(THORNWAKE_QT_WINDOWS_PREFIX "${qt_windows_prefix}")
# The toolchain file keeps the search to its roots: the prefix becomes one.
list(APPEND CMAKE_FIND_ROOT_PATH "${qt_windows_prefix}")
list(APPEND CMAKE_PREFIX_PATH "${qt_windows_prefix}")
set(QT_HOST_PATH /usr CACHE PATH "The build host's Qt, whose tools the cross build runs")

# The MinGW runtime's DLLs, which Qt's DLLs and the editor need beside them.
set(THORNWAKE_MINGW_RUNTIME)
foreach(dll libgcc_s_seh-1.dll libstdc++-6.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${found}" OR NOT EXISTS "${found}")
    message(FATAL_ERROR "${dll} of the MinGW runtime not found")
  endif()
  list(APPEND THORNWAKE_MINGW_RUNTIME "${found}")
endforeach()

# wine-run in the build folder runs the build's programs under Wine; CTest
# runs the tests through it.
set(wine_path "${qt_windows_prefix}/bin")
foreach(dll IN LISTS THORNWAKE_MINGW_RUNTIME)
  get_filename_component(folder "${dll}" DIRECTORY)
  list(APPEND wine_path "${folder}")
endforeach()
list(REMOVE_DUPLICATES wine_path)
list(TRANSFORM wine_path PREPEND "Z:")
string(REPLACE "/" "\\" wine_path "${wine_path}")
configure_file(cmake/wine-run.sh.in "${CMAKE_BINARY_DIR}/wine-run" @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_BINARY_DIR}/wine-run")
