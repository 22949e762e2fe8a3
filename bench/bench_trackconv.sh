#!/usr/bin/env bash
# Times trackconv on a large generated track of each game family against
# the floor of copying the same input file with cp, and measures its peak
# memory against the input's size.
#
#   bench/bench_trackconv.sh [pairs]      (default 31 pairs per family)
#
# The VTR track has 5,000 sections, 16 lateral lines and 9 surface records
# a section (4.3 MB); the MOTA form and the K5 family's copy of it hold 10
# lateral lines, as many as the format allows. trackconv and cp run in
# pairs, each run a new process started directly, alternating which goes
# first (bench/paired_runs.py); the figure is the median of the pairs'
# ratios of wall time, which holds up on a shared machine far better than
# a ratio of two separate medians. Targets: within 2x cp, and peak memory
# (max RSS) at most 4x the input file's size.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-tools.sh
ensure_tools time python3

pairs=${1:-31}
sections=5000 surfaces=8 walls=2

build=${BUILD_DIR:-build/release}
release_build "$build" trackconv make_track make_game_file ||
  { echo "bench_trackconv: the release build failed" >&2; exit 1; }
trackconv=$PWD/$build/trackconv/trackconv
tools=$PWD/$build/tools
paired=$PWD/bench/paired_runs.py

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One directory per family, named after its track.
make_family() {  # family format laterals marker-kind marker-file
  local dir=$work/$1/big
  mkdir -p "$dir"
  "$tools/make_track" "$dir/big.trk" --format "$2" --sections $sections --laterals "$3" \
    --surfaces $surfaces --walls $walls --seed 7
  "$tools/make_game_file" "$4" "$dir/$5"
}
make_family vtr vtr 16 vtr-3do car.3do
make_family mota mota 10 mota-3do car.3do
make_family k5 mota 10 k5-rpl lap.rpl
mkdir -p "$work/empty/none"

# Peak resident memory in KiB and minor page faults of one run of "$@" in
# directory $1. Each fault is a page touched for the first time, which costs
# far more than the work done in it on some virtual machines.
memory_use() {
  local dir=$1
  shift
  (cd "$dir" && /usr/bin/time -f '%M %R' -o "$work/rss" "$@" >/dev/null 2>&1) || true
  tail -n 1 "$work/rss"
}

# trackconv failing at once: the start-up and exit every run pays.
read -r base_rss base_faults < <(memory_use "$work/empty/none" "$trackconv")

echo "trackconv on $sections sections with $surfaces surfaces and $walls walls each;" \
     "16 laterals (VTR, no walls) or 10 (MOTA, K5); $pairs pairs each"
echo "baseline: trackconv failing at once in an empty directory peaks at $base_rss KiB" \
     "($base_faults page faults)"
printf '%-6s %6s %6s | %6s %9s %7s | %9s %7s | %8s %7s %6s %6s | %6s %5s | %s\n' family \
  "in MB" "out MB" ratio trackconv cp trackconv cp "max RSS" "cp" "/in" "net/in" trackconv cp \
  "within 2x"
printf '%-6s %6s %6s | %-25s | %-17s | %-31s | %-12s |\n' "" "" "" "wall time, ms (medians)" \
  "CPU time, ms" "memory, KiB" "page faults"
for family in vtr mota k5; do
  dir=$work/$family/big
  rm -f "$dir/big.xq"
  (cd "$dir" && "$trackconv") || { echo "$family: trackconv failed" >&2; exit 1; }
  read -r ratio wall_conv wall_copy cpu_conv cpu_copy _ < <(
    python3 "$paired" "$pairs" "$dir" "$trackconv" -- cp big.trk "$work/copy.trk")
  read -r rss faults < <(memory_use "$dir" "$trackconv")
  read -r rss_copy faults_copy < <(memory_use "$dir" cp big.trk "$work/copy.trk")
  awk -v f="$family" -v in_b="$(stat -c %s "$dir/big.trk")" -v out_b="$(stat -c %s "$dir/big.xq")" \
      -v r="$ratio" -v wc="$wall_conv" -v wp="$wall_copy" -v cc="$cpu_conv" -v cp_="$cpu_copy" \
      -v rss="$rss" -v rssc="$rss_copy" -v base="$base_rss" -v fa="$faults" -v fc="$faults_copy" 'BEGIN {
    printf "%-6s %6.2f %6.2f | %5.2fx %9.1f %7.1f | %9.1f %7.1f | %8d %7d %5.2fx %5.2fx | %6d %5d | %s\n",
      f, in_b / 1e6, out_b / 1e6, r, wc, wp, cc, cp_, rss, rssc, rss * 1024 / in_b,
      (rss - base) * 1024 / in_b, fa, fc, (r <= 2 ? "yes" : "NO")
  }'
done
