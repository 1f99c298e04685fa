# Cross-build for 32-bit Windows with Debian's MinGW-w64 (POSIX threads).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(DRAVIK_MINGW_TRIPLE i686-w64-mingw32)
# 32-bit Wine needs a kernel that runs 32-bit programs, which not every machine
# has: the test setup probes this loader, within time limits, and the tests
# under Wine report themselves skipped, with the reason, when it cannot run them.
set(DRAVIK_WINE32_LOADER /usr/lib/wine/wine CACHE FILEPATH "The 32-bit Wine loader to probe and run the tests with")
set(DRAVIK_WINE_LOADER ${DRAVIK_WINE32_LOADER})
set(DRAVIK_WINE_PROBE ON)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
