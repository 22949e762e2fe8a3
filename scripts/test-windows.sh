#!/usr/bin/env bash
# Cross-builds trackconv and its tests for Windows with mingw-w64 and runs the
# unit and end-to-end tests under Wine: 64-bit always; 32-bit is built always
# and run when a 32-bit capable Wine is installed.
# Wine's prefix lives inside each build folder, so nothing depends on $HOME.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-tools.sh
ensure_tools g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine64 googletest libz-mingw-w64-dev

jobs=${JOBS:-$(nproc)}
build_type=${BUILD_TYPE:-Release}
win64=${BUILD_DIR_WIN64:-build/win64}
win32=${BUILD_DIR_WIN32:-build/win32}
wine64=/usr/lib/wine/wine64
wine32=/usr/lib/wine/wine

build() {  # <build dir> <toolchain file>
  cmake -S . -B "$1" -G Ninja -DCMAKE_BUILD_TYPE="$build_type" \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/$2" >/dev/null
  cmake --build "$1" -j "$jobs"
}

run_tests() {  # <build dir>
  # Test discovery runs when CTest starts; the wrapper creates the prefix
  # once, under a lock, before the first program runs.
  ctest --test-dir "$1" --output-on-failure -j "$jobs"
}

echo "== Windows x86_64: build"
build "$win64" mingw-w64-x86_64.cmake
echo "== Windows x86_64: tests under Wine ($wine64)"
run_tests "$win64"

echo "== Windows i686: build"
build "$win32" mingw-w64-i686.cmake
if [ -x "$wine32" ]; then
  echo "== Windows i686: tests under Wine ($wine32)"
  run_tests "$win32"
else
  echo "== Windows i686: built; not run, no 32-bit Wine here (Debian: dpkg --add-architecture i386; apt-get install wine32)"
fi
echo "trackconv.exe: $win64/trackconv/trackconv.exe (64-bit), $win32/trackconv/trackconv.exe (32-bit)"
echo "millview.exe: $win64/millview/millview.exe (64-bit), $win32/millview/millview.exe (32-bit)"
