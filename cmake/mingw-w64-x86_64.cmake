# 64-bit Windows DLL with Debian's MinGW-w64 cross compiler; tests run under Wine:
#   cmake -S . -B build-mingw64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(PLINTH_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)

find_program(PLINTH_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(PLINTH_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PLINTH_WINE})
endif()
