# Cross-build for 64-bit Windows with Debian's MinGW-w64 (POSIX threads).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(DRAVIK_MINGW_TRIPLE x86_64-w64-mingw32)
# The 64-bit loader makes the prefix and runs the tests; it needs no 32-bit support.
set(DRAVIK_WINE_LOADER /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
