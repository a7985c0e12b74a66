# MinGW-w64 programs need the compiler's runtime DLLs (C++ library, unwinder, threads) beside
# them. They are copied into the output folder once, so that the tests run under Wine, and
# the build folder can be copied to a Windows machine, without any search path set up.
set(PLINTH_RUNTIME_DLLS)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libgcc_s_dw2-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
    # libwinpthread lives in the sysroot rather than the compiler's folder.
    find_file(path_${dll} ${dll} PATH_SUFFIXES lib bin NO_DEFAULT_PATH
              PATHS ${CMAKE_FIND_ROOT_PATH})
    set(path "${path_${dll}}")
  endif()
  if(EXISTS "${path}")
    list(APPEND PLINTH_RUNTIME_DLLS "${path}")
  endif()
endforeach()
file(COPY ${PLINTH_RUNTIME_DLLS} DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
install(FILES ${PLINTH_RUNTIME_DLLS} DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
