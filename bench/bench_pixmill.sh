#!/usr/bin/env bash
# Times pixmill against the floor of copying its input with cp, on 256 x 256
# Targa pictures made by tools/make_picture:
#   565        an opaque 16-bit conversion
#   4-bit hist -4 -hist -mask 0 on a picture of 65,536 distinct colours, the
#              worst case of histogram grouping
#   4-bit heck -4 -heck on the same picture
# Target for each: within 2x cp.
#
#   bench/bench_pixmill.sh [pairs]      (default 31 pairs per case)
#
# pixmill and cp run in pairs, each run a new process started directly,
# alternating which goes first (bench/paired_runs.py); the figure is the
# median of the pairs' ratios of wall time. Also prints the medians of wall
# and CPU times and the peak memory (max RSS) of each conversion.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-tools.sh
ensure_tools time python3

pairs=${1:-31}
build=${BUILD_DIR:-build/release}
release_build "$build" pixmill make_picture || { echo "bench_pixmill: the release build failed" >&2; exit 1; }
pixmill=$PWD/$build/pixmill/pixmill
make_picture=$PWD/$build/tools/make_picture

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$make_picture" tga-alpha "$work/plain.tga" --width 256 --height 256
"$make_picture" tga-distinct "$work/distinct.tga" --width 256 --height 256

paired=$PWD/bench/paired_runs.py

# Peak resident memory in KiB of one run of "$@" in $work.
peak_kib() {
  (cd "$work" && /usr/bin/time -f '%M' -o "$work/rss" "$@" >/dev/null 2>&1) || true
  tail -n 1 "$work/rss"
}

echo "pixmill on 256 x 256 Targa pictures; $pairs pairs of runs each"
printf '%-11s %8s | %6s %8s %7s | %8s %7s | %8s %8s | %s\n' case "in KB" \
  ratio pixmill cp pixmill cp "RSS KiB" "cp KiB" target
printf '%-11s %8s | %-24s | %-16s | %-17s |\n' "" "" "wall time, ms (medians)" "CPU time, ms" \
  "peak memory"
bench() {  # name input target pixmill-arguments...
  local name=$1 input=$2 target=$3
  shift 3
  (cd "$work" && "$pixmill" "$@" >/dev/null) || { echo "$name: pixmill failed" >&2; exit 1; }
  local ratio wall_pix wall_cp cpu_pix cpu_cp
  read -r ratio wall_pix wall_cp cpu_pix cpu_cp _ < <(
    python3 "$paired" "$pairs" "$work" "$pixmill" "$@" -- cp "$input" copy.tga)
  local rss rss_cp
  rss=$(peak_kib "$pixmill" "$@")
  rss_cp=$(peak_kib cp "$input" copy.tga)
  awk -v n="$name" -v in_b="$(stat -c %s "$work/$input")" -v r="$ratio" -v wp="$wall_pix" \
      -v wc="$wall_cp" -v cp_="$cpu_pix" -v cc="$cpu_cp" -v rss="$rss" -v rssc="$rss_cp" -v t="$target" 'BEGIN {
    printf "%-11s %8.1f | %5.2fx %8.1f %7.1f | %8.1f %7.1f | %8d %8d | within %sx: %s\n",
      n, in_b / 1000, r, wp, wc, cp_, cc, rss, rssc, t, (r <= t ? "yes" : "NO")
  }'
}
bench 565 plain.tga 2 plain.tga out565.mip
bench "4-bit hist" distinct.tga 2 -4 -hist -mask 0 distinct.tga hist.mip
bench "4-bit heck" distinct.tga 2 -4 -heck distinct.tga heck.mip
