# Cross compiling for 64-bit Windows with Debian's mingw-w64 toolchain.
# The "posix" variant of the compiler has std::thread and std::mutex.
# Everything is linked statically, so kelmhex.exe needs no DLL beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KELMHEX_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KELMHEX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KELMHEX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KELMHEX_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KELMHEX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under wine on the build machine.
find_program(KELMHEX_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(KELMHEX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KELMHEX_WINE})
endif()
