# Cross-building for 32-bit Windows: the 32-bit MinGW-w64 compilers, otherwise as for 64-bit.
# A 32-bit build is what loads a 32-bit in-process COM server.
set(_arvelo_mingw i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
