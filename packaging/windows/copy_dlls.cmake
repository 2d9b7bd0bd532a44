# Run at install time: copies into `destination` the DLLs that the `binaries`
# load, and the DLLs those load in turn, found by reading import tables with
# `objdump`. Only what lies in `folders` (Qt's and the MinGW runtime's) is
# copied, without debugging symbols (`strip`): every other DLL named is
# Windows' own.

set(pending ${binaries})
set(copied)
while(pending)
  list(POP_FRONT pending binary)
  execute_process(COMMAND "${objdump}" -p "${binary}" OUTPUT_VARIABLE dump COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX MATCHALL "DLL Name: [^\n]+" names "${dump}")
  list(TRANSFORM names REPLACE "DLL Name: " "")
  foreach(name IN LISTS names)
    list(FIND copied "${name}" seen)
    if(seen GREATER -1)
      continue()
    endif()
    foreach(folder IN LISTS folders)
      if(EXISTS "${folder}/${name}")
        file(INSTALL DESTINATION "${destination}" TYPE SHARED_LIBRARY FILES "${folder}/${name}")
        execute_process(COMMAND "${strip}" --strip-debug "${destination}/${name}" COMMAND_ERROR_IS_FATAL ANY)
        list(APPEND copied "${name}")
        list(APPEND pending "${folder}/${name}")
        break()
      endif()
    endforeach()
  endforeach()
endwhile()
