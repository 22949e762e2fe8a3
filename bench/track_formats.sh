#!/usr/bin/env bash
# Times generating, writing, reading and rewriting a large track in each
# game track format (5000 sections and 8 strips per section; VTR with 16
# lateral lines and 2 walls, MOTA with 10 lateral lines and 4 walls of
# every kind), checks that each rewritten file is identical to the first,
# and runs the exhaustive length-unit sweep.
#
#   bench/track_formats.sh [build dir]      (default build/release)
#
# The build dir is configured and built as a Release build first.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-tools.sh
ensure_tools bc

build=${1:-${BUILD_DIR:-build/release}}
release_build "$build" make_track read_track sweep_length_units
tools=$PWD/$build/tools

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

bench_format() {  # format, then the generation options
  local format=$1; shift
  local big=$work/$format.trk copy=$work/$format.copy.trk
  echo "$format:"
  timed "generate + build + write" "$tools/make_track" "$big" --format "$format" \
    --sections 5000 --surfaces 8 --seed 1 "$@"
  printf '%-34s %8d bytes\n' "file size" "$(stat -c %s "$big")"
  timed "read + check" "$tools/read_track" "$big" --format "$format"
  timed "read + check + rebuild + write" "$tools/read_track" "$big" --format "$format" \
    --rewrite "$copy"
  cmp "$big" "$copy" && echo "rewritten file is identical"
}

bench_format vtr --laterals 16 --walls 2
bench_format mota --laterals 10 --walls 4 --all-kinds
timed "length unit sweep (2^32 values)" "$tools/sweep_length_units"
