# Runs one example with a fresh registry store. The exit status must be 0, and when the example's
# output is deterministic (EXPECTED names its .out file) the output must be that file exactly.

file(REMOVE ${STORE} ${STORE}-wal ${STORE}-shm)
execute_process(COMMAND ${PROGRAM} RESULT_VARIABLE status OUTPUT_VARIABLE output
                ERROR_VARIABLE errors)
if(NOT status STREQUAL "0")
  message(FATAL_ERROR "${PROGRAM} ended with ${status}\n--- output:\n${output}\n--- errors:\n${errors}")
endif()
if(EXPECTED)
  file(READ ${EXPECTED} expected)
  if(NOT output STREQUAL expected)
    message(FATAL_ERROR "${PROGRAM} printed\n${output}\nbut ${EXPECTED} (shown in the guide) says\n"
                        "${expected}")
  endif()
endif()
message("${output}")
