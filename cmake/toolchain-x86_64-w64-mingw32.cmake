# 64-bit Windows with MinGW-w64: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KELVARIN_MINGW_TRIPLE x86_64-w64-mingw32)
set(KELVARIN_WINE_LOADER wine64)
set(KELVARIN_WINE_ARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw_common.cmake)
