# What both Windows toolchains share; each sets KELVARIN_MINGW_TRIPLE, KELVARIN_WINE_LOADER
# and KELVARIN_WINE_ARCH before including this file.
set(CMAKE_SYSTEM_NAME Windows)

# Debian's posix-thread compilers: the win32-thread ones have no std::thread.
set(CMAKE_C_COMPILER ${KELVARIN_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KELVARIN_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KELVARIN_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KELVARIN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libgcc, libstdc++ and winpthread linked in: a program needs no DLL beyond Windows' own.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# Programs built here run under Wine, in a Wine prefix of this build directory's own,
# and each Wine session in one of its own: all copies of one template prefix.
find_program(KELVARIN_WINE ${KELVARIN_WINE_LOADER} PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(KELVARIN_WINE ${KELVARIN_WINE_LOADER})
set(KELVARIN_WINE_TEMPLATE ${CMAKE_BINARY_DIR}/wine-template)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine_run.sh ${KELVARIN_WINE}
    ${KELVARIN_WINE_ARCH} ${KELVARIN_WINE_TEMPLATE} ${CMAKE_BINARY_DIR}/wine-prefix)
