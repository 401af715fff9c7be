# 32-bit Windows with MinGW-w64: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KELVARIN_MINGW_TRIPLE i686-w64-mingw32)
set(KELVARIN_WINE_LOADER wine)
set(KELVARIN_WINE_ARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw_common.cmake)

# SSE2 arithmetic instead of the x87's 80-bit registers, so every sample comes out
# bit-identical to the 64-bit builds'.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
