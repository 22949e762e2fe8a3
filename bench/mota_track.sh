#!/usr/bin/env bash
# Times generating, writing, reading and rewriting a large MOTA track
# (5000 sections, 10 lateral lines, 8 strips and 4 walls per section). Use an
# optimised build:
#   cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
#   cmake --build build/release -j2 && bench/mota_track.sh build/release
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

timed "generate + build + write" "$build/tools/mota_track" make "$work/big.trk" \
  --sections 5000 --laterals 10 --surfaces 8 --walls 4 --seed 1
printf '%-34s %8d bytes\n' "file size" "$(stat -c %s "$work/big.trk")"
timed "read + check" "$build/tools/mota_track" read "$work/big.trk"
timed "read + check + rebuild + write" "$build/tools/mota_track" read "$work/big.trk" --rewrite "$work/copy.trk"
cmp "$work/big.trk" "$work/copy.trk" && echo "rewritten file is identical"
