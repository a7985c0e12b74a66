# Shared part of the MinGW-w64 toolchain files: Debian's cross compilers, their POSIX-threads
# variant (the framework uses std::mutex and thread_local), and Wine to run what they build.
# The including file sets PLINTH_MINGW_TRIPLE and CMAKE_SYSTEM_PROCESSOR first.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${PLINTH_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PLINTH_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${PLINTH_MINGW_TRIPLE}-windres)

# Headers and libraries come from the cross sysroot only; build tools from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${PLINTH_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
