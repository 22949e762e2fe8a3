#!/usr/bin/env bash
# Times trackconv on a large generated track of each game family against
# the floor of copying the same input file with cp, and measures its peak
# memory against the input's size.
#
#   bench/bench_trackconv.sh [runs]      (default 21 runs per measurement)
#
# Every run is a new process, for trackconv and for cp alike, so both pay
# the same start-up. Targets: trackconv's median at most 3x cp's, and peak
# memory (max RSS) at most 4x the input file's size.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-tools.sh
ensure_tools time python3

runs=${1:-21}
# MOTA track files hold at most 10 lateral lines, so MOTA and K5 get 10.
sections=5000 surfaces=8 walls=2

build=${BUILD_DIR:-build/release}
release_build "$build" trackconv make_track make_game_file
trackconv=$PWD/$build/trackconv/trackconv
tools=$PWD/$build/tools

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

# Medians over $runs runs of "$@" in directory $1, each run a new process
# started directly (no shell in between): wall time and CPU time (user +
# system) in milliseconds. CPU time suffers less from other load on a
# shared machine.
medians_ms() {
  python3 - "$runs" "$@" <<'PY'
import resource, statistics, subprocess, sys, time
runs, directory, command = int(sys.argv[1]), sys.argv[2], sys.argv[3:]
wall, cpu = [], []
for _ in range(runs):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(command, cwd=directory, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wall.append(time.perf_counter() - start)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu.append(after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime)
print("%.2f %.2f" % (statistics.median(wall) * 1000, statistics.median(cpu) * 1000))
PY
}

# Peak resident memory in KiB and minor page faults of one run of "$@" in
# directory $1. Each fault is a page touched for the first time, which costs
# far more than the work done in it on some virtual machines.
memory_use() {
  local dir=$1
  shift
  (cd "$dir" && /usr/bin/time -f '%M %R' -o "$work/rss" "$@" >/dev/null 2>&1) || true
  tail -n 1 "$work/rss"
}

read -r baseline baseline_faults < <(memory_use "$work/empty/none" "$trackconv")
echo "trackconv on $sections sections with $surfaces surfaces and $walls walls each;" \
     "16 laterals (VTR, no walls) or 10 (MOTA, K5)"
echo "times are medians of $runs runs, each a new process"
echo "baseline: trackconv failing at once in an empty directory peaks at $baseline KiB" \
     "($baseline_faults page faults)"
printf '%-6s %8s %8s | %9s %7s %6s | %9s %7s %6s | %8s %8s %6s %6s | %6s %5s\n' family "in MB" "out MB" \
  "trackconv" cp ratio "trackconv" cp ratio "max RSS" "- base" "/in" "net/in" "trackconv" cp
printf '%-6s %8s %8s | %-24s | %-24s | %-31s | %s\n' "" "" "" "wall time, ms" "CPU time (user+sys), ms" \
  "memory, KiB" "page faults"
for family in vtr mota k5; do
  dir=$work/$family/big
  rm -f "$dir/big.xq"
  (cd "$dir" && "$trackconv") || { echo "$family: trackconv failed" >&2; exit 1; }
  input=$(stat -c %s "$dir/big.trk")
  output=$(stat -c %s "$dir/big.xq")
  read -r wall_conv cpu_conv < <(medians_ms "$dir" "$trackconv")
  read -r wall_copy cpu_copy < <(medians_ms "$dir" cp big.trk "$work/copy.trk")
  read -r rss faults < <(memory_use "$dir" "$trackconv")
  read -r _ copy_faults < <(memory_use "$dir" cp big.trk "$work/copy.trk")
  awk -v f="$family" -v in_b="$input" -v out_b="$output" -v wc="$wall_conv" -v wp="$wall_copy" \
      -v cc="$cpu_conv" -v cpc="$cpu_copy" -v rss="$rss" -v base="$baseline" \
      -v faults="$faults" -v copy_faults="$copy_faults" 'BEGIN {
    cr = cpc > 0 ? sprintf("%5.2fx", cc / cpc) : "   -  "
    printf "%-6s %8.2f %8.2f | %9.1f %7.1f %5.2fx | %9.1f %7.1f %s | %8d %8d %5.2fx %5.2fx | %6d %5d\n",
      f, in_b / 1e6, out_b / 1e6, wc, wp, wc / wp, cc, cpc, cr, rss, rss - base,
      rss * 1024 / in_b, (rss - base) * 1024 / in_b, faults, copy_faults
  }'
done
