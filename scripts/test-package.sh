#!/usr/bin/env bash
# Builds the packages with scripts/package.sh and tries them out as their
# users would:
#   - the Debian package holds exactly the programs, their manual pages and
#     its documents (no test programs, tools or sample data), and lintian
#     finds no error in it;
#   - unpacked into a temporary root, its trackconv and pixmill convert the
#     examples to the same bytes as the programs of the release build;
#   - every manual page lints clean, the sources and the packed pages alike;
#   - each Windows zip holds the .exe programs, README.txt, LICENSE.txt and
#     the rendered manual pages, and unpacked, its pixmill and trackconv
#     convert the same examples under Wine to the same bytes.
# Where no 32-bit Wine runs, the 32-bit zip is only checked for its contents.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-tools.sh
source scripts/wine-session.sh
ensure_tools lintian mandoc groff-base unzip wine64

scripts/package.sh
release=${BUILD_DIR:-build/release}
win64=${BUILD_DIR_WIN64:-build/win64}
win32=${BUILD_DIR_WIN32:-build/win32}

work=$(mktemp -d)
cleanup() {
  wine_session_stop
  rm -rf "$work"
}
trap cleanup EXIT

passed=0
failed=0
check() {  # <description> <command>...
  local output
  if output=$("${@:2}" 2>&1); then
    passed=$((passed + 1))
    echo "ok    $1"
  else
    failed=$((failed + 1))
    echo "FAIL  $1"
    [ -z "$output" ] || echo "$output" | sed 's/^/      /'
  fi
}

# The user programs this checkout has: trackconv and pixmill, and the newer
# ones whose sources are here.
programs=(trackconv pixmill)
for program in millview modbatch datpack; do
  [ -d "$program" ] && programs+=("$program")
done

same_lists() {  # <expected list file> <actual list file>
  diff -u "$1" "$2"
}

# --- Debian package ---------------------------------------------------------
deb=$(ls dist/racingtools_*.deb)
root=$work/root
dpkg-deb -x "$deb" "$root"
{
  for program in "${programs[@]}"; do
    echo "usr/bin/$program"
    echo "usr/share/man/man1/$program.1.gz"
  done
  echo usr/share/doc/racingtools/README.md
  echo usr/share/doc/racingtools/changelog.Debian.gz
  echo usr/share/doc/racingtools/copyright
  echo usr/share/lintian/overrides/racingtools
} | sort >"$work/deb-expected"
dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's|^\./||' | sort >"$work/deb-files"
check "$(basename "$deb") holds the programs, their manual pages and documents, nothing else" \
  same_lists "$work/deb-expected" "$work/deb-files"
check "lintian finds no error in $(basename "$deb")" \
  lintian --fail-on error "$deb"
# What lintian still says (warnings, overridden findings), for the log.
echo "      lintian: $(lintian --show-overrides "$deb" 2>&1 | sed -n 's/^\([EWO]\): [^:]*: \([^ ]*\).*/\1 \2/p' |
  sort -u | paste -sd ',' - | sed 's/,/, /g')"
check "manual pages in docs/man lint clean" scripts/lint-man.sh docs/man
check "manual pages in the package lint clean" scripts/lint-man.sh "$root/usr/share/man/man1"

# The examples, converted by <trackconv> and <pixmill> into <dir>, with the
# messages of each run in <dir>/messages. <runner> starts a program (empty
# for Linux programs, the Wine wrapper with its loader and prefix for Windows).
convert_examples() {  # <dir> <trackconv> <pixmill> [<runner>...]
  local dir=$1 trackconv=$2 pixmill=$3 track
  shift 3
  mkdir -p "$dir/tracks" "$dir/pictures"
  cp -r examples/tracks/. "$dir/tracks/"
  cp examples/pictures/window.pcx examples/pictures/glow.tga "$dir/pictures/"
  for track in "$dir"/tracks/*/; do
    (cd "$track" && "$@" "$trackconv") >>"$dir/messages" 2>&1 || return 1
  done
  local -a runs=("window.pcx" "-4 -palStart 64 window.pcx window4.mip"
    "-4 -heck -transl glow.tga glow4.mip" "-srb -transl glow.tga -width 2 -height 2")
  local run
  for run in "${runs[@]}"; do
    # shellcheck disable=SC2086
    (cd "$dir/pictures" && "$@" "$pixmill" $run) >>"$dir/messages" 2>&1 || return 1
  done
}

same_trees() {  # <expected dir> <actual dir>
  diff -r "$1" "$2"
}

check "release build converts the examples" \
  convert_examples "$work/expected" "$PWD/$release/trackconv/trackconv" "$PWD/$release/pixmill/pixmill"
check "installed trackconv and pixmill convert the examples from the unpacked root" \
  convert_examples "$work/deb" "$root/usr/bin/trackconv" "$root/usr/bin/pixmill"
check "the installed programs' outputs and messages are those of the release build" \
  same_trees "$work/expected" "$work/deb"

# --- Windows zips -------------------------------------------------------------
zip_contents() {  # <zip> <top folder> <expected list file>
  local program
  {
    for program in "${programs[@]}"; do
      echo "$2/$program.exe"
      echo "$2/doc/$program.txt"
    done
    echo "$2/README.txt"
    echo "$2/LICENSE.txt"
    # three.js for millview's 3D pages, as libjs-three lays it out.
    if [[ " ${programs[*]} " == *" millview "* ]]; then
      echo "$2/javascript/three/three.min.js"
      echo "$2/javascript/three/examples/js/loaders/GLTFLoader.js"
      echo "$2/javascript/three/examples/js/controls/OrbitControls.js"
      echo "$2/javascript/three/copyright.txt"
    fi
  } | sort >"$3"
}

for bits in 64 32; do
  zip=$(ls dist/racingtools-*-win$bits.zip)
  top=$(basename "$zip" .zip)
  zip_contents "$zip" "$top" "$work/zip$bits-expected"
  unzip -Z1 "$zip" | grep -v '/$' | sort >"$work/zip$bits-files"
  check "$(basename "$zip") holds the programs, their manual pages as text, README and licence" \
    same_lists "$work/zip$bits-expected" "$work/zip$bits-files"
  unzip -q "$zip" -d "$work/zip$bits"
  folder=$work/zip$bits/$top
  if [ "$bits" = 64 ]; then
    wine=/usr/lib/wine/wine64 build=$win64
  else
    wine=/usr/lib/wine/wine build=$win32
  fi
  if ! "$wine" --version >/dev/null 2>&1; then
    echo "skip  $(basename "$zip") under Wine: $wine cannot run here (test-windows.sh says why)"
    continue
  fi
  wine_session_start "$wine" "$build/wineprefix"
  check "the unpacked $(basename "$zip")'s programs convert the examples under Wine" \
    convert_examples "$work/win$bits" "$folder/trackconv.exe" "$folder/pixmill.exe" \
    "$PWD/scripts/wine-run.sh" "$wine" "$(cd "$build" && pwd)/wineprefix"
  wine_session_stop
  check "their outputs and messages are those of the Linux programs" \
    same_trees "$work/expected" "$work/win$bits"
done

echo "package: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
