# Cross-building for 64-bit Windows with Debian's MinGW-w64 (the -posix compilers: std::thread and
# std::mutex need them); cmake/mingw-w64-i686.cmake names the 32-bit compilers and then reads this file.
# ARVELO_WINDOWS_ROOTS lists the folders that hold Windows libraries besides MinGW's own (the Qt, zlib,
# libzip, SQLite and GoogleTest that "bash dev.sh windows" builds); only those are searched for libraries,
# headers and packages, never the host's.
set(CMAKE_SYSTEM_NAME Windows)
if(NOT _arvelo_mingw)
  set(_arvelo_mingw x86_64-w64-mingw32)
  set(CMAKE_SYSTEM_PROCESSOR x86_64)
endif()

set(CMAKE_C_COMPILER ${_arvelo_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_arvelo_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${_arvelo_mingw}-windres)

if(NOT ARVELO_WINDOWS_ROOTS AND DEFINED ENV{ARVELO_WINDOWS_ROOTS})
  set(ARVELO_WINDOWS_ROOTS "$ENV{ARVELO_WINDOWS_ROOTS}")
endif()
# try_compile projects see the variable too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ARVELO_WINDOWS_ROOTS)

set(CMAKE_FIND_ROOT_PATH ${ARVELO_WINDOWS_ROOTS} /usr/${_arvelo_mingw})
list(APPEND CMAKE_PREFIX_PATH ${ARVELO_WINDOWS_ROOTS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
