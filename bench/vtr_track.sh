#!/usr/bin/env bash
# Times generating, writing, reading and rewriting a large VTR track
# (5000 sections, 16 lateral lines, 8 strips and 2 walls per section), and
# runs the exhaustive length-unit sweep. Use an optimised build:
#   cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
#   cmake --build build/release -j2 && bench/vtr_track.sh build/release
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

timed() {
  local label=$1; shift
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null
  end=$(date +%s.%N)
  printf '%-34s %8.3f s\n' "$label" "$(echo "$end - $start" | bc)"
}

timed "generate + build + write" "$build/tools/make_track" "$work/big.trk" \
  --sections 5000 --laterals 16 --surfaces 8 --walls 2 --seed 1
printf '%-34s %8d bytes\n' "file size" "$(stat -c %s "$work/big.trk")"
timed "read + check" "$build/tools/read_track" "$work/big.trk"
timed "read + check + rebuild + write" "$build/tools/read_track" "$work/big.trk" --rewrite "$work/copy.trk"
cmp "$work/big.trk" "$work/copy.trk" && echo "rewritten file is identical"
timed "length unit sweep (2^32 values)" "$build/tools/sweep_length_units"
