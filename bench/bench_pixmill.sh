#!/usr/bin/env bash
# Times pixmill against the floor of copying its input with cp, on 256 x 256
# Targa pictures made by tools/make_picture:
#   565        an opaque 16-bit conversion (target: within 2x cp)
#   4-bit hist -4 -hist -mask 0 on a picture of 65,536 distinct colours, the
#              worst case of histogram grouping (target: within 3x cp)
#   4-bit heck -4 -heck on the same picture (target: within 3x cp)
#
#   bench/bench_pixmill.sh [runs]      (default 21 runs per measurement)
#
# Every run is a new process, for pixmill and cp alike, so both pay the same
# start-up. Prints median wall and CPU times, their ratios and the peak
# memory (max RSS) of each conversion.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-tools.sh
ensure_tools time python3

runs=${1:-21}
build=${BUILD_DIR:-build/release}
release_build "$build" pixmill make_picture
pixmill=$PWD/$build/pixmill/pixmill
make_picture=$PWD/$build/tools/make_picture

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$make_picture" tga-alpha "$work/plain.tga" --width 256 --height 256
"$make_picture" tga-distinct "$work/distinct.tga" --width 256 --height 256

# Medians over $runs runs of "$@" in $work, each a new process started
# directly: wall time and CPU time (user + system) in milliseconds.
medians_ms() {
  python3 - "$runs" "$work" "$@" <<'PY'
import resource, statistics, subprocess, sys, time
runs, directory, command = int(sys.argv[1]), sys.argv[2], sys.argv[3:]
wall, cpu = [], []
for _ in range(runs):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(command, cwd=directory, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   check=True)
    wall.append(time.perf_counter() - start)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu.append(after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime)
print("%.2f %.2f" % (statistics.median(wall) * 1000, statistics.median(cpu) * 1000))
PY
}

# Peak resident memory in KiB of one run of "$@" in $work.
peak_kib() {
  (cd "$work" && /usr/bin/time -f '%M' -o "$work/rss" "$@" >/dev/null 2>&1) || true
  tail -n 1 "$work/rss"
}

echo "pixmill on 256 x 256 Targa pictures; medians of $runs runs, each a new process"
printf '%-11s %8s | %8s %7s %6s | %8s %7s %6s | %8s %8s | %s\n' case "in KB" \
  pixmill cp ratio pixmill cp ratio "RSS KiB" "cp KiB" target
printf '%-11s %8s | %-23s | %-23s | %-17s |\n' "" "" "wall time, ms" "CPU time, ms" "peak memory"
bench() {  # name input target pixmill-arguments...
  local name=$1 input=$2 target=$3
  shift 3
  (cd "$work" && "$pixmill" "$@" >/dev/null) || { echo "$name: pixmill failed" >&2; exit 1; }
  read -r wall_pix cpu_pix < <(medians_ms "$pixmill" "$@")
  read -r wall_cp cpu_cp < <(medians_ms cp "$input" copy.tga)
  local rss rss_cp
  rss=$(peak_kib "$pixmill" "$@")
  rss_cp=$(peak_kib cp "$input" copy.tga)
  awk -v n="$name" -v in_b="$(stat -c %s "$work/$input")" -v wp="$wall_pix" -v wc="$wall_cp" \
      -v cp_="$cpu_pix" -v cc="$cpu_cp" -v rss="$rss" -v rssc="$rss_cp" -v t="$target" 'BEGIN {
    cr = cc > 0 ? sprintf("%5.2fx", cp_ / cc) : "   -  "
    printf "%-11s %8.1f | %8.1f %7.1f %5.2fx | %8.1f %7.1f %s | %8d %8d | within %sx: %s\n",
      n, in_b / 1000, wp, wc, wp / wc, cp_, cc, cr, rss, rssc, t, (wp / wc <= t ? "yes" : "NO")
  }'
}
bench 565 plain.tga 2 plain.tga out565.mip
bench "4-bit hist" distinct.tga 3 -4 -hist -mask 0 distinct.tga hist.mip
bench "4-bit heck" distinct.tga 3 -4 -heck distinct.tga heck.mip
