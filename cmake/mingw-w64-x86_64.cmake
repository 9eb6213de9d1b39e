# Cross-compiles the Qt-free parts for 64-bit Windows with Debian's mingw-w64
# (packages g++-mingw-w64-x86-64-posix and binutils-mingw-w64-x86-64), and runs the
# resulting tests under Wine when it is installed:
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VORTEDA_MINGW_PREFIX x86_64-w64-mingw32)
# The posix-threads variant: the tests use std::thread, which the win32 variant of
# GCC 12 lacks.
set(CMAKE_C_COMPILER ${VORTEDA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VORTEDA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VORTEDA_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VORTEDA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static runtime: the executables then need no DLL of the compiler beside them, on
# Windows or under Wine.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Debian's wine package installs "wine"; some systems call the 64-bit loader wine64.
find_program(VORTEDA_WINE NAMES wine64 wine)
if(VORTEDA_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${VORTEDA_WINE})
endif()
