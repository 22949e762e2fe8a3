#!/usr/bin/env bash
# Regenerates the seed corpus of datpack_archive_fuzz: small archives made by
# make_dat and datpack from synthetic files, then laid out the way archives
# of other tools can be (bytes between and after members, members sharing
# bytes, upper-case names with bytes after the NUL). Round trips must give
# each back byte for byte.
#   fuzz/make_datpack_seeds.sh <build dir holding tools/make_dat and datpack/datpack>
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/asan}
make_dat=$build/tools/make_dat
out=fuzz/corpus/datpack_archive
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

printf 'track bytes' >"$work/a.trk"
printf 'mip' >"$work/WALL.MIP"
: >"$work/empty.wav"
printf 'twelve chars' >"$work/twelve12.3do"

# Writes the 32-bit little-endian value $3 at offset $2 of file $1.
put_u32() {
  printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($3 & 255)) $((($3 >> 8) & 255)) \
    $((($3 >> 16) & 255)) $((($3 >> 24) & 255)))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

"$make_dat" "$out/one.dat" "$work/a.trk"
"$make_dat" "$work/three.dat" "$work/a.trk" "$work/WALL.MIP" "$work/empty.wav"
cp "$work/three.dat" "$out/three.dat"
# Trailing bytes.
{ cat "$work/three.dat"; printf 'tail'; } >"$out/trailing.dat"
# The second member shares the first's bytes (entry 2's offset is at 2 + 27 + 23).
cp "$work/three.dat" "$out/shared.dat"
put_u32 "$out/shared.dat" 52 83
# A gap: the last member moved four bytes on, over bytes of its own.
{ cat "$work/three.dat"; printf 'gap!'; } >"$out/gap.dat"
put_u32 "$out/gap.dat" $((2 + 27 * 2 + 23)) 101
# Bytes after the NUL of a name field.
cp "$work/three.dat" "$out/name_tail.dat"
printf 'junk' | dd of="$out/name_tail.dat" bs=1 seek=$((2 + 10 + 7)) conv=notrunc status=none
"$make_dat" "$out/twelve.dat" "$work/twelve12.3do" "$work/WALL.MIP"
