# Cross-builds for 64-bit Windows with Debian's mingw-w64 (posix threads):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The programs are linked statically, so that they need no DLL of the
# compiler's beside them on the machine that runs them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELKO_MINGW_PREFIX x86_64-w64-mingw32 CACHE STRING "Prefix of the mingw-w64 tools")
set(CMAKE_C_COMPILER ${VELKO_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELKO_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VELKO_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VELKO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# <windows.h> without its rarely used parts and its min and max macros.
set(CMAKE_CXX_FLAGS_INIT "-DWIN32_LEAN_AND_MEAN -DNOMINMAX")

# Programs built here run under Wine when run from the build (tests).
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
