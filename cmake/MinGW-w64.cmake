# Cross-compiling for 64-bit Windows with MinGW-w64 from a Linux host (Debian:
# g++-mingw-w64-x86-64). Use with -DCMAKE_TOOLCHAIN_FILE=cmake/MinGW-w64.cmake.
#
# The "-posix" compilers are preferred: their thread model gives std::thread and std::mutex,
# as the MinGW builds of Qt and MSYS2 do. Set ZOLVEN_MINGW_PREFIX for another triple.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

if(NOT ZOLVEN_MINGW_PREFIX)
    set(ZOLVEN_MINGW_PREFIX x86_64-w64-mingw32)
endif()
# Seen again by try_compile projects, which get a fresh scope.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZOLVEN_MINGW_PREFIX)

find_program(CMAKE_C_COMPILER NAMES ${ZOLVEN_MINGW_PREFIX}-gcc-posix ${ZOLVEN_MINGW_PREFIX}-gcc)
find_program(CMAKE_CXX_COMPILER NAMES ${ZOLVEN_MINGW_PREFIX}-g++-posix ${ZOLVEN_MINGW_PREFIX}-g++)
find_program(CMAKE_RC_COMPILER NAMES ${ZOLVEN_MINGW_PREFIX}-windres)

# Headers and libraries come from the MinGW sysroot, programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${ZOLVEN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
