# Cross-builds for 32-bit Windows with mingw-w64; the results run under a
# 32-bit capable Wine when one is installed.
#   cmake -S . -B build/win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR i686)
set(RT_MINGW_TRIPLE i686-w64-mingw32)
set(RT_MINGW_PACKAGE_ARCH i686)
set(RT_WINE /usr/lib/wine/wine)
# Floating point in SSE registers, as on x86_64: the x87 unit's extended
# precision would round intermediate results differently.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
