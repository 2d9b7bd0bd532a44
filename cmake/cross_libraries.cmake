# The libraries of thornwake-levels for a cross build, whose target system has
# no packages of them here. CLI11 and nlohmann-json are header-only: the build
# host's Debian headers, seen through a folder that holds only them, so that no
# other header of the host reaches the compiler. libcsv is one C file, built
# from Debian's source package, the version of Debian 12's libcsv-dev.

set(THORNWAKE_LIBCSV_VERSION 3.0.3+dfsg-6)
set(THORNWAKE_LIBCSV_DSC_SHA256 3e0a27ba29b9435d8bf7cbd825a1cdbec8375dedc8bffaf7ea458c15f238bc3f)
set(THORNWAKE_LIBCSV_SOURCE "" CACHE PATH "An unpacked libcsv source to build instead of fetching Debian's")

set(host_headers "${CMAKE_BINARY_DIR}/host-headers")
file(MAKE_DIRECTORY "${host_headers}")
foreach(library CLI nlohmann)
  if(NOT EXISTS "/usr/include/${library}")
    message(FATAL_ERROR "/usr/include/${library} not found: install libcli11-dev and nlohmann-json3-dev")
  endif()
  file(CREATE_LINK "/usr/include/${library}" "${host_headers}/${library}" SYMBOLIC)
endforeach()
foreach(target CLI11::CLI11 nlohmann_json::nlohmann_json)
  add_library(${target} INTERFACE IMPORTED)
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${host_headers}")
endforeach()

set(libcsv_source "${THORNWAKE_LIBCSV_SOURCE}")
if(NOT libcsv_source)
  set(libcsv_source "${CMAKE_BINARY_DIR}/libcsv-${THORNWAKE_LIBCSV_VERSION}")
  if(NOT EXISTS "${libcsv_source}/libcsv.c")
    message(STATUS "Fetching Debian's source package libcsv ${THORNWAKE_LIBCSV_VERSION}")
    execute_process(COMMAND sh "${PROJECT_SOURCE_DIR}/cmake/debian-source.sh" libcsv ${THORNWAKE_LIBCSV_VERSION}
                            ${THORNWAKE_LIBCSV_DSC_SHA256} "${libcsv_source}"
                    COMMAND_ERROR_IS_FATAL ANY)
  endif()
endif()
enable_language(C)
add_library(thornwake_libcsv STATIC "${libcsv_source}/libcsv.c")
target_include_directories(thornwake_libcsv PUBLIC "${libcsv_source}")
target_compile_options(thornwake_libcsv PRIVATE -w)  # its warnings are for its authors
set(CSV_LIBRARY thornwake_libcsv)
set(CSV_INCLUDE_DIR "${libcsv_source}")
