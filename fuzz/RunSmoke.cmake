# cmake -DFUZZER=<target> -DCORPUS=<seed folder> -DWORK=<scratch folder> -DSECONDS=<n> -P RunSmoke.cmake
# Runs a libFuzzer target for a fixed time on a fresh copy of its seeds; fails when the target
# finds a crash, a leak or a model mismatch (its input is left in WORK for replay).
foreach(required FUZZER CORPUS WORK SECONDS)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "RunSmoke.cmake: -D${required}=... is required")
  endif()
endforeach()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/corpus")
file(GLOB seeds "${CORPUS}/*")
if(NOT seeds)
  message(FATAL_ERROR "RunSmoke.cmake: no seed inputs in ${CORPUS}")
endif()
file(COPY ${seeds} DESTINATION "${WORK}/corpus")

execute_process(
  COMMAND "${FUZZER}" -max_total_time=${SECONDS} -timeout=10 -rss_limit_mb=2048
          -print_final_stats=1 "-artifact_prefix=${WORK}/" "${WORK}/corpus"
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(GLOB artifacts "${WORK}/crash-*" "${WORK}/leak-*" "${WORK}/timeout-*" "${WORK}/oom-*")
  message(FATAL_ERROR
    "${FUZZER} failed (${result}). Replay with: ${FUZZER} ${artifacts}")
endif()
