#!/usr/bin/env bash
# Cross-builds every program (trackconv, pixmill, millview, modbatch), the
# tools and every test suite for Windows with mingw-w64 and runs all the
# unit and end-to-end tests under Wine: 64-bit always; 32-bit is built always
# and run when a 32-bit capable Wine is installed (as root on Debian the script
# installs it: wine32 of the i386 architecture).
# Wine's prefix lives inside each build folder, so nothing depends on $HOME.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-tools.sh
source scripts/wine-session.sh
# The glTF headers (libtinygltf-dev, nlohmann-json3-dev) compile for Windows too.
ensure_tools g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine64 googletest libz-mingw-w64-dev \
  libtinygltf-dev nlohmann-json3-dev

jobs=${JOBS:-$(nproc)}
build_type=${BUILD_TYPE:-Release}
win64=${BUILD_DIR_WIN64:-build/win64}
win32=${BUILD_DIR_WIN32:-build/win32}
wine64=/usr/lib/wine/wine64
wine32=/usr/lib/wine/wine

# Whether the kernel runs 32-bit x86 programs at all (some are built or
# booted without that, and then no 32-bit Wine can start): a 93-byte 32-bit
# program that only exits with status 0.
runs_32bit_programs() {
  local probe=$win32/ia32-probe status
  mkdir -p "$win32"
  printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\135\000\000\000\135\000\000\000\005\000\000\000\000\020\000\000\270\001\000\000\000\061\333\315\200' >"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null
  status=$?
  rm -f "$probe"
  return $status
}

wine32_note=
if ! runs_32bit_programs; then
  wine32_note="this kernel does not run 32-bit programs (no IA32 emulation)"
elif [ ! -x "$wine32" ]; then
  if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null 2>&1 && command -v dpkg >/dev/null 2>&1; then
    echo "Installing 32-bit Wine: wine32:i386"
    if ! { dpkg --add-architecture i386 && apt-get update -qq &&
           DEBIAN_FRONTEND=noninteractive apt-get install -y -qq wine32:i386 >/dev/null; }; then
      echo "wine32:i386 could not be installed" >&2
    fi
  fi
  [ -x "$wine32" ] || wine32_note="no 32-bit Wine here (Debian: dpkg --add-architecture i386; apt-get install wine32:i386)"
fi

build() {  # <build dir> <toolchain file>
  cmake -S . -B "$1" -G Ninja -DCMAKE_BUILD_TYPE="$build_type" \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/$2" >/dev/null
  cmake --build "$1" -j "$jobs"
}

trap wine_session_stop EXIT
run_tests() {  # <build dir> <wine loader>
  # One Wine server for the prefix through the whole run (see wine-session.sh).
  wine_session_start "$2" "$1/wineprefix"
  ctest --test-dir "$1" --output-on-failure -j "$jobs"
  wine_session_stop
}

echo "== Windows x86_64: build"
build "$win64" mingw-w64-x86_64.cmake
echo "== Windows x86_64: tests under Wine ($wine64)"
run_tests "$win64" "$wine64"

echo "== Windows i686: build"
build "$win32" mingw-w64-i686.cmake
if [ -z "$wine32_note" ]; then
  echo "== Windows i686: tests under Wine ($wine32)"
  run_tests "$win32" "$wine32"
else
  echo "== Windows i686: built; tests not run: $wine32_note"
fi
echo "trackconv.exe: $win64/trackconv/trackconv.exe (64-bit), $win32/trackconv/trackconv.exe (32-bit)"
for program in pixmill millview modbatch datpack; do
  echo "$program.exe: $win64/$program/$program.exe (64-bit), $win32/$program/$program.exe (32-bit)"
done
