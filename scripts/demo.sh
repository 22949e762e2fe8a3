#!/usr/bin/env bash
# Builds the tools and runs trackconv on each sample track directory in
# examples/tracks/, working on a copy so that the samples stay as they are.
# For each it lists what the directory holds, what trackconv wrote (with
# sizes) and a summary of the .xq file.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-tools.sh
# libjs-three: three.js for millview's 3D pages.
ensure_tools libjs-three

build=${BUILD_DIR:-build/release}
release_build "$build" trackconv xq_summary
trackconv=$PWD/$build/trackconv/trackconv
summary=$PWD/$build/tools/xq_summary

# "name (size bytes)" for each file of a directory, on one line.
sizes() {
  local file out=()
  for file in "$1"/*; do out+=("$(basename "$file") ($(stat -c %s "$file") bytes)"); done
  echo "${out[*]:-nothing}"
}

work=$build/demo
rm -rf "$work"
mkdir -p "$work"
shopt -s nullglob
tracks=(examples/tracks/*/)
if [ ${#tracks[@]} -eq 0 ]; then
  echo "No sample tracks in examples/tracks/ (scripts/make-examples.sh makes them)."
fi
for sample in "${tracks[@]}"; do
  name=$(basename "$sample")
  dir=$work/$name
  cp -r "$sample" "$dir"
  echo "== $name/ holds: $(sizes "$dir")"
  before=$(ls "$dir")
  if message=$(cd "$dir" && "$trackconv" 2>&1); then
    for out in $(cd "$dir" && ls | grep -vxF "$before"); do
      echo "   trackconv wrote $out ($(stat -c %s "$dir/$out") bytes)"
      (cd "$dir" && "$summary" "$out") | sed 's/^/   /'
    done
  else
    echo "   trackconv failed: $message"
  fi
done

# A directory with no track shows how a failure looks: one message, status 1.
mkdir -p "$work/empty"
echo "== empty/ holds nothing"
set +e
message=$(cd "$work/empty" && "$trackconv" 2>&1)
status=$?
set -e
echo "   trackconv failed with status $status: $message"

# pixmill converts the sample pictures of examples/pictures/ in a copy of
# that directory: a 16-bit MIP, a 4-bit MIP from the PCX's 16-colour palette
# window, a 4-bit MIP by median cut and an SRB sprite from the Targa's alpha.
if ! release_build "$build" pixmill make_picture 2>/dev/null; then
  echo "== pixmill could not be built (cmake --build $build --target pixmill shows why)"
  exit 0
fi
pixmill=$PWD/$build/pixmill/pixmill
pictures=$work/pictures
mkdir -p "$pictures"
if [ -e examples/pictures/window.pcx ] && [ -e examples/pictures/glow.tga ]; then
  cp examples/pictures/window.pcx examples/pictures/glow.tga "$pictures/"
else
  "$PWD/$build/tools/make_picture" pcx-window "$pictures/window.pcx" --width 64 --height 64 --window 64
  "$PWD/$build/tools/make_picture" tga-alpha "$pictures/glow.tga" --width 64 --height 64
fi
echo "== pictures/ holds: $(sizes "$pictures")"

# The chunk tree of a pixmill output: ids as their constants spell them, sizes,
# and the fields of the mip, level and sprite headers.
dump() {
  python3 - "$1" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
containers = {b"PIM ", b"PAMB", b" BRS"}
def walk(start, end, depth):
    while start + 12 <= end:
        tag, _, size = struct.unpack_from("<4sIi", data, start)
        name = tag[::-1].decode("latin-1").strip()
        body = data[start + 12:start + 12 + size]
        line = "   " + "  " * depth + "%s %d bytes" % (name, size)
        if name == "MPHD":
            fmt, lw, lh, avg, flags, count = struct.unpack("<BiiIBi", body)
            line += ": format %d, %dx%d, average #%08x, clamp flags %d, %d levels" % (
                fmt, 1 << lw, 1 << lh, avg, flags, count)
        elif name == "BMHD":
            fmt, w, h, stride, _ = struct.unpack("<BiiiB", body)
            line += ": format %d, %dx%d, stride %d" % (fmt, w, h, stride)
        elif name == "SRHD":
            line += ": %gm x %gm, %gx%g pixels, centre %g %g" % struct.unpack("<6f", body)
        elif name == "SRH2":
            line += ": flat %d" % body[0]
        print(line)
        if tag in containers:
            walk(start + 12, start + 12 + size, depth + 1)
        start += 12 + size + (-size % 4)
walk(0, len(data), 0)
PY
}

convert() {  # output-file pixmill-arguments...
  local out=$1
  shift
  echo "-- pixmill $*"
  (cd "$pictures" && "$pixmill" "$@") | sed 's/^/   | /'
  echo "   wrote $out ($(stat -c %s "$pictures/$out") bytes)"
  dump "$pictures/$out"
}
convert window.mip window.pcx
convert window4.mip -4 -palStart 64 window.pcx window4.mip
convert glow4.mip -4 -transl -heck glow.tga glow4.mip
convert glow.srb -srb -transl glow.tga -width 2 -height 2

# modbatch converts the whole examples folder (a copy): every picture with
# pixmill, every track directory with trackconv, two at a time. The second
# run finds every output newer than its input and made with the same
# switches, and converts nothing.
if release_build "$build" modbatch pixmill trackconv 2>/dev/null; then
  modbatch=$PWD/$build/modbatch/modbatch
  mod=$work/mod
  rm -rf "$mod"
  cp -r examples "$mod"
  echo "== modbatch -j 2 mod   (first run)"
  "$modbatch" -j 2 "$mod" | sed 's/^/   /'
  echo "== the same again (second run: nothing to convert)"
  "$modbatch" -j 2 "$mod" | sed 's/^/   /'
  find "$mod" -name '*.mip' -o -name '*.xq' | sort | sed "s|^$mod/|   wrote |"
  echo "== and with other switches it would convert the pictures again:"
  "$modbatch" --dry-run "$mod" -- -4 -hist | sed "s|^$mod/||; s/^/   /"
else
  echo "== modbatch could not be built (cmake --build $build --target modbatch shows why)"
fi

# datpack takes the example archive apart and puts it together again: the
# archive it packs is the same file, byte for byte.
if release_build "$build" datpack 2>/dev/null; then
  datpack=$PWD/$build/datpack/datpack
  rm -rf "$work/BRAVO" "$work/BRAVO.DAT"
  echo "== datpack unpack examples/tracks/Bravo/BRAVO.DAT -o BRAVO"
  "$datpack" unpack examples/tracks/Bravo/BRAVO.DAT -o "$work/BRAVO" | sed "s|$work/||; s/^/   /"
  (cd "$work/BRAVO" && ls) | sed 's/^/   /'
  echo "== datpack pack BRAVO -o BRAVO.DAT   (nothing edited)"
  "$datpack" pack "$work/BRAVO" -o "$work/BRAVO.DAT" | sed "s|$work/||; s/^/   /"
  echo "== cmp examples/tracks/Bravo/BRAVO.DAT BRAVO.DAT"
  cmp examples/tracks/Bravo/BRAVO.DAT "$work/BRAVO.DAT" && echo "   the same bytes"
  echo "== datpack list -l BRAVO.DAT"
  "$datpack" list -l "$work/BRAVO.DAT" | sed 's/^/   /'
else
  echo "== datpack could not be built (cmake --build $build --target datpack shows why)"
fi

# millview turns the samples and pixmill's outputs into PNG pictures, SVG
# track plans and glTF track models with galleries and 3D pages to browse,
# all in one folder.
if ! release_build "$build" millview 2>/dev/null; then
  echo "== millview could not be built (cmake --build $build --target millview shows why)"
  exit 0
fi
shown=$work/millview-input
mkdir -p "$shown"
cp -r "$pictures" "$shown/pictures"
# The track directories as trackconv left them: each track beside its .xq.
mkdir -p "$shown/tracks"
for sample in "${tracks[@]}"; do cp -r "$work/$(basename "$sample")" "$shown/tracks/"; done
echo "-- millview --html -o $build/demo/millview $shown"
"$PWD/$build/millview/millview" --html -o "$work/millview" "$shown" | sed 's/^/   | /'
echo "   sheets: $(cd "$work/millview" && find . -name '*.mip.png' -o -name '*.srb.png' | sort | tr '\n' ' ')"
echo "   plans:  $(cd "$work/millview" && find . -name '*.svg' | sort | tr '\n' ' ')"
echo "   models: $(cd "$work/millview" && find . -name '*.glb' -printf '%p (%s bytes)\n' | sort | tr '\n' ' ')"
for page in $(cd "$work/millview" && find . -name '*.3d.html' | sort); do
  echo "== 3D page: $PWD/$work/millview/${page#./}"
done
echo "== open $PWD/$work/millview/index.html in a browser to see them"
