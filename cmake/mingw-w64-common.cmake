set(CMAKE_C_COMPILER ${DRAVIK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DRAVIK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${DRAVIK_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${DRAVIK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Nothing but Windows' own DLLs beside the exe.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests run under Wine, through wine-run.sh, which reports a test skipped when
# the prefix setup found that this machine cannot run DRAVIK_WINE_LOADER. The
# test setup gives each build tree its own prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR sh ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${DRAVIK_WINE_LOADER})
