#!/usr/bin/env bash
# Builds the packages into dist/ and prints their paths and sizes:
#   racingtools_<version>-<revision>_<arch>.deb  Debian package, from the Linux
#                                                release build (build/release)
#   racingtools-<version>-win64.zip              Windows programs, manual pages
#   racingtools-<version>-win32.zip              and README, from the mingw-w64
#                                                release builds (build/win64,
#                                                build/win32, as test-windows.sh)
# Only what the packages hold is built; builds that exist are reused.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-tools.sh
# dpkg-dev and file: CPack computes the package's dependencies with them;
# groff-base renders the manual pages for Windows; mingw-w64 builds for it.
# libjs-three: the zips carry three.js for millview's 3D pages.
ensure_tools dpkg-dev file groff-base g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix \
  libz-mingw-w64-dev libjs-three

dist=dist
release=${BUILD_DIR:-build/release}
win64=${BUILD_DIR_WIN64:-build/win64}
win32=${BUILD_DIR_WIN32:-build/win32}
mkdir -p "$dist"
rm -f "$dist"/racingtools[_-]*

# Runs cpack with generator <generator> in <build dir> and copies the package
# into dist/.
pack() {  # <build dir> <generator>
  rm -rf "$1/packages"
  (cd "$1" && cpack -G "$2" >/dev/null)
  find "$1/packages" -maxdepth 1 -type f \( -name '*.deb' -o -name '*.zip' \) \
    -exec cp {} "$dist/" \; -print
}

# A Windows build of the programs: a build folder of test-windows.sh is used
# as it is (with its tests), a new one is made without tests.
windows_build() {  # <build dir> <toolchain file>
  local tests=()
  [ -f "$1/CMakeCache.txt" ] || tests=(-DRT_BUILD_TESTS=OFF)
  cmake -S . -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/$2" "${tests[@]}" >/dev/null
  cmake --build "$1" -j "$(nproc)" --target package_files >/dev/null
}

made=()
echo "== Debian package ($release)"
release_build "$release" package_files
made+=($(pack "$release" DEB))
echo "== Windows zip, 64-bit ($win64)"
windows_build "$win64" mingw-w64-x86_64.cmake
made+=($(pack "$win64" ZIP))
echo "== Windows zip, 32-bit ($win32)"
windows_build "$win32" mingw-w64-i686.cmake
made+=($(pack "$win32" ZIP))

for package in "${made[@]}"; do
  printf '%-44s %9d bytes\n' "$dist/$(basename "$package")" "$(stat -c %s "$package")"
done
