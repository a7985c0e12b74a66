# 32-bit Windows DLL with Debian's MinGW-w64 cross compiler. Wine on this system runs 64-bit
# programs only, so this build is a compile-and-link check:
#   cmake -S . -B build-mingw32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
set(PLINTH_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
