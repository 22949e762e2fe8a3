#!/usr/bin/env bash
# Converts a set of generated pictures with many switch combinations using
# two pixmill binaries and compares what they print, their exit codes and
# every file they write, byte for byte. Use it to show that a change (a
# faster code path, say) leaves every output as it was.
#
#   bench/compare_outputs.sh REFERENCE_PIXMILL [PIXMILL_UNDER_TEST]
#
# Without a second binary the release build in $BUILD_DIR (default
# build/release) is built and used. Pictures come from tools/make_picture
# (PCX and Targa) plus Targa variants written here: 16, 24 and 32 bits,
# raw and run-length coded, each orientation, an id field and a colour map
# to skip, a depth without pixels, and files cut short.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-tools.sh
ensure_tools python3

[ $# -ge 1 ] || { echo "usage: $0 REFERENCE_PIXMILL [PIXMILL_UNDER_TEST]" >&2; exit 2; }
reference=$(realpath "$1")
build=${BUILD_DIR:-build/release}
release_build "$build" pixmill make_picture || { echo "compare_outputs: the release build failed" >&2; exit 1; }
candidate=$(realpath "${2:-$build/pixmill/pixmill}")
make_picture=$PWD/$build/tools/make_picture

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pictures=$work/pictures
mkdir -p "$pictures"

for size in 256x256 200x100 5x3 64x64 37x61 8x8 16x4; do
  w=${size%x*} h=${size#*x}
  "$make_picture" tga-alpha "$pictures/alpha$size.tga" --width "$w" --height "$h"
  "$make_picture" pcx-window "$pictures/window$size.pcx" --width "$w" --height "$h" --window 64
done
for size in 256x256 200x100 128x32 5x3; do
  w=${size%x*} h=${size#*x}
  "$make_picture" tga-distinct "$pictures/distinct$size.tga" --width "$w" --height "$h"
done
"$make_picture" pcx-window "$pictures/window240.pcx" --width 100 --height 60 --window 240
"$make_picture" pcx-window "$pictures/window0.pcx" --width 33 --height 17 --window 0

# Targa variants of the 32-bit pictures.
python3 - "$pictures" <<'PY'
import os, struct, sys
directory = sys.argv[1]

def read_targa(path):
    data = open(path, "rb").read()
    width, height = struct.unpack_from("<HH", data, 12)
    pixels = data[18:]
    rows = [[tuple(pixels[(y * width + x) * 4:(y * width + x) * 4 + 4]) for x in range(width)]
            for y in range(height)]
    return width, height, rows  # rows top first, pixels (b, g, r, a)

def encode(pixel, depth):
    b, g, r, a = pixel
    if depth == 32:
        return bytes((b, g, r, a))
    if depth == 24:
        return bytes((b, g, r))
    if depth in (15, 16):
        word = ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3) | (0x8000 if a >= 128 else 0)
        return struct.pack("<H", word)
    return b""

def run_length(pixels, depth):
    out, i = bytearray(), 0
    while i < len(pixels):
        run = 1
        while i + run < len(pixels) and run < 128 and pixels[i + run] == pixels[i]:
            run += 1
        if run > 1:
            out.append(0x80 | (run - 1))
            out += encode(pixels[i], depth)
            i += run
            continue
        start = i
        while i < len(pixels) and i - start < 128 and (
                i + 1 >= len(pixels) or pixels[i + 1] != pixels[i]):
            i += 1
        if i == start:
            i += 1
        out.append(i - start - 1)
        for p in pixels[start:i]:
            out += encode(p, depth)
    return bytes(out)

def write_targa(name, width, height, rows, depth, rle=False, top_down=True,
                right_to_left=False, id_field=b"", colormap_entries=0, cut=0, extra=b""):
    descriptor = (0x20 if top_down else 0) | (0x10 if right_to_left else 0) | (8 if depth == 32 else 0)
    header = bytearray(18)
    header[0] = len(id_field)
    header[1] = 1 if colormap_entries else 0
    header[2] = 10 if rle else 2
    struct.pack_into("<H", header, 5, colormap_entries)
    header[7] = 24 if colormap_entries else 0
    struct.pack_into("<HH", header, 12, width, height)
    header[16] = depth
    header[17] = descriptor
    ordered = rows if top_down else rows[::-1]
    if right_to_left:
        ordered = [row[::-1] for row in ordered]
    pixels = [p for row in ordered for p in row]
    body = run_length(pixels, depth) if rle else b"".join(encode(p, depth) for p in pixels)
    data = bytes(header) + id_field + bytes(3 * colormap_entries) + body + extra
    if cut:
        data = data[:-cut]
    open(os.path.join(directory, name), "wb").write(data)

def blocky(width, height):
    # Runs along rows, including runs that cross from one row to the next.
    return [[(16 * ((x // 5 + y // 3) % 9), 200 - y % 50, 40 * (x // 7 % 6), 255 if x % 11 else 0)
             for x in range(width)] for y in range(height)]

for source in ("alpha200x100", "alpha37x61", "alpha5x3"):
    width, height, rows = read_targa(os.path.join(directory, source + ".tga"))
    for depth in (16, 24):
        write_targa("%s_raw%d.tga" % (source, depth), width, height, rows, depth)
    write_targa(source + "_bottomup.tga", width, height, rows, 32, top_down=False)
    write_targa(source + "_rtl.tga", width, height, rows, 32, right_to_left=True)
    write_targa(source + "_rtl_bottomup.tga", width, height, rows, 24, top_down=False,
                right_to_left=True)
    write_targa(source + "_fields.tga", width, height, rows, 32, id_field=b"hello",
                colormap_entries=3)
for width, height in ((200, 100), (64, 64), (33, 7), (5, 3)):
    rows = blocky(width, height)
    tag = "blocky%dx%d" % (width, height)
    for depth in (15, 16, 24, 32):
        write_targa("%s_rle%d.tga" % (tag, depth), width, height, rows, depth, rle=True)
    write_targa(tag + "_rle32_bottomup.tga", width, height, rows, 32, rle=True, top_down=False)
    write_targa(tag + "_rle24_rtl.tga", width, height, rows, 24, rle=True, right_to_left=True)
    write_targa(tag + "_raw32.tga", width, height, rows, 32)
    write_targa(tag + "_rle32_cut.tga", width, height, rows, 32, rle=True, cut=7)
    write_targa(tag + "_raw24_cut.tga", width, height, rows, 24, cut=1)
# A packet running past the last pixel, and one past the end of the file.
rows = blocky(8, 8)
pixels = [p for row in rows for p in row]
header = bytearray(18)
header[2], header[16], header[17] = 10, 32, 0x28
struct.pack_into("<HH", header, 12, 8, 8)
for name, tail in (("overrun_rle32.tga", bytes((0x85, 1, 2, 3, 4))),
                   ("overrun_raw_rle32.tga", bytes((0x05,)) + bytes(range(24)))):
    open(os.path.join(directory, name), "wb").write(
        bytes(header) + run_length(pixels[:-2], 32) + tail)
data = bytearray(open(os.path.join(directory, "blocky5x3_rle32.tga"), "rb").read())
data += bytes((0xFF, 9, 9, 9, 9))
open(os.path.join(directory, "longrun_rle32.tga"), "wb").write(bytes(data))
# A depth with no pixel bytes: every pixel is the fallback colour.
write_targa("depth8.tga", 12, 8, blocky(12, 8), 8)
write_targa("depth8_rle.tga", 12, 8, blocky(12, 8), 8, rle=True)
PY

switch_sets=(
  ""
  "-noblend"
  "-ptsamp"
  "-tile"
  "-tileU -levels 2"
  "-levels 0"
  "-single"
  "-transp"
  "-transl"
  "-transl -ptsamp -noblend"
  "-rgb 0 0 0"
  "-rgb 255 255 255 -transp"
  "-rgb 128 200 40 -transl"
  "-srb"
  "-srb -width 2 -height 3 -centerX 4 -flat"
  "-savepbfs"
  "-noCmap"
  "-info"
  "-4"
  "-4 -info"
  "-4 -hist"
  "-4 -hist -info"
  "-4 -heck"
  "-4 -heck -info"
  "-4 -hist -mask 0"
  "-4 -hist -mask 1"
  "-4 -hist -mask 2"
  "-4 -hist -mask 3"
  "-4 -hist -mask 4"
  "-4 -hist -mask 5"
  "-4 -hist -mask 6"
  "-4 -hist -mask 7"
  "-4 -heck -mask 0"
  "-4 -heck -mask 3"
  "-4 -heck -mask 7"
  "-4 -transp -hist"
  "-4 -transp -heck"
  "-4 -transl -hist"
  "-4 -transl -heck -mask 2"
  "-4 -transl -hist -noblend -ptsamp"
  "-4 -transp -rgb 0 0 0 -hist"
  "-4 -heck -noblend"
  "-4 -hist -ptsamp"
  "-4 -hist -levels 3"
  "-4 -heck -savepbfs"
  "-4 -hist -noCmap"
  "-4 -hist -srb"
  "-4 -palStart 64"
  "-4 -palStart 240 -transp"
  "-4 -transl -palStart 64"
  "-4 -hist -tile"
)

runs=0
differences=0
compare_run() {  # picture switches...
  local picture=$1
  shift
  local a=$work/a b=$work/b
  rm -rf "$a" "$b"
  mkdir -p "$a" "$b"
  local extension=${picture##*.}
  cp "$pictures/$picture" "$a/in.$extension"
  cp "$pictures/$picture" "$b/in.$extension"
  local status_a=0 status_b=0
  (cd "$a" && "$reference" "$@" "in.$extension" out.mip >stdout 2>stderr) || status_a=$?
  (cd "$b" && "$candidate" "$@" "in.$extension" out.mip >stdout 2>stderr) || status_b=$?
  runs=$((runs + 1))
  local problem=""
  [ "$status_a" = "$status_b" ] || problem="exit $status_a vs $status_b"
  if [ -z "$problem" ] && ! diff -r "$a" "$b" >/dev/null; then
    problem=$(diff -rq "$a" "$b" | head -n 3 | tr '\n' ' ')
  fi
  if [ -n "$problem" ]; then
    differences=$((differences + 1))
    echo "DIFFERENT: $picture $*: $problem"
  fi
}

for picture in $(ls "$pictures"); do
  for switches in "${switch_sets[@]}"; do
    # shellcheck disable=SC2086
    compare_run "$picture" $switches
  done
done

echo "compare_outputs: $runs conversions, $differences with different results"
[ "$differences" -eq 0 ]
