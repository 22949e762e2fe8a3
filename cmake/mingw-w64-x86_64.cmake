# Cross-builds for 64-bit Windows with mingw-w64; the results run under Wine.
#   cmake -S . -B build/win64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(RT_MINGW_TRIPLE x86_64-w64-mingw32)
set(RT_MINGW_PACKAGE_ARCH x86-64)
set(RT_WINE /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
