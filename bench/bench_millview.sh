#!/usr/bin/env bash
# Times millview over a folder of 400 MIP textures of 256 x 256 pixels
# (made by pixmill from pictures of tools/make_picture), each written as
# one PNG per level:
#   -j 1 and -j 2 wall times (median of 3 runs) and the speed-up (aim: 1.7
#   or more on two processors), the same with --sheet (one PNG per
#   texture instead of one per level), and the time per file against pixmill's
#   own conversion of the same picture (one process per picture).
# Then a MOTA track of 5,000 sections with walls: the time for its SVG plan
# alone and for the plan plus its glTF model (--3d), the model's own share
# (aim: no more than the plan's), and the model's size per section.
#
#   bench/bench_millview.sh [files]      (default 400)
#   RUNS=7 STAT=best bench/bench_millview.sh   fastest of 7 runs each
#
# The machine should be quiet: other work on the processors lowers the
# speed-up. The load average is printed with the figures.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-tools.sh
ensure_tools python3

files=${1:-400}
build=${BUILD_DIR:-build/release}
release_build "$build" millview pixmill make_picture make_track || { echo "bench_millview: the release build failed" >&2; exit 1; }
millview=$PWD/$build/millview/millview
pixmill=$PWD/$build/pixmill/pixmill
make_picture=$PWD/$build/tools/make_picture
make_track=$PWD/$build/tools/make_track

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/pictures" "$work/textures"
"$make_picture" tga-alpha "$work/pictures/a.tga" --width 256 --height 256
"$make_picture" tga-distinct "$work/pictures/b.tga" --width 256 --height 256
"$make_picture" pcx-window "$work/pictures/c.pcx" --width 256 --height 256
(cd "$work/pictures" && "$pixmill" a.tga a565.mip >/dev/null && "$pixmill" -transl a.tga a4444.mip >/dev/null &&
  "$pixmill" b.tga b565.mip >/dev/null && "$pixmill" -4 -palStart 64 c.pcx c4.mip >/dev/null)
sources=("$work"/pictures/*.mip)
# Two halves in two subfolders, for the two-process reference below.
mkdir -p "$work/textures/h0" "$work/textures/h1"
for ((n = 0; n < files; ++n)); do
  cp "${sources[n % ${#sources[@]}]}" "$work/textures/h$((n % 2))/t$(printf %04d "$n").mip"
done

# Wall seconds of "$@": the median of $RUNS runs (default 3), or with
# STAT=best the fastest, which comes nearest a quiet machine on a busy one.
median_s() {
  python3 - "${RUNS:-3}" "${STAT:-median}" "$@" <<'PY'
import shutil, statistics, subprocess, sys, time
times = []
out = sys.argv[sys.argv.index("-o") + 1]
for _ in range(int(sys.argv[1])):
    # Every run writes into a new folder, as a first conversion does.
    shutil.rmtree(out, ignore_errors=True)
    start = time.perf_counter()
    subprocess.run(sys.argv[3:], stdout=subprocess.DEVNULL, check=True)
    times.append(time.perf_counter() - start)
print("%.3f" % (min(times) if sys.argv[2] == "best" else statistics.median(times)))
PY
}

echo "millview over $files MIP textures of 256 x 256, ${STAT:-median} of ${RUNS:-3} runs ($(nproc) processors, load average$(uptime | sed 's/.*load average//'))"
j1=$(median_s "$millview" -q -j 1 -o "$work/out1" "$work/textures")
j2=$(median_s "$millview" -q -j 2 -o "$work/out2" "$work/textures")
pngs=$(find "$work/out1" -name '*.png' | wc -l)
# What the machine gives two processors' worth of work right now: two
# separate -j 1 runs, one per half, at the same time (the ceiling for -j 2).
pair=$(median_s bash -c "'$millview' -q -j 1 -o '$work/pair/a' '$work/textures/h0' &
  '$millview' -q -j 1 -o '$work/pair/b' '$work/textures/h1'; wait" -o "$work/pair")
s1=$(median_s "$millview" -q --sheet -j 1 -o "$work/sheet1" "$work/textures")
s2=$(median_s "$millview" -q --sheet -j 2 -o "$work/sheet2" "$work/textures")
per_pixmill=$(python3 - "$pixmill" "$work/pictures" <<'PY'
import statistics, subprocess, sys, time
times = []
for _ in range(21):
    start = time.perf_counter()
    subprocess.run([sys.argv[1], "a.tga", "bench.mip"], cwd=sys.argv[2], stdout=subprocess.DEVNULL, check=True)
    times.append(time.perf_counter() - start)
print("%.2f" % (statistics.median(times) * 1000))
PY
)
python3 - "$j1" "$j2" "$files" "$pngs" "$per_pixmill" "$s1" "$s2" "$pair" <<'PY'
import sys
j1, j2, files, pngs, pixmill = float(sys.argv[1]), float(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), float(sys.argv[5])
s1, s2, pair = float(sys.argv[6]), float(sys.argv[7]), float(sys.argv[8])
print("  one PNG per level: -j 1: %.2f s   -j 2: %.2f s   speed-up %.2f (aim 1.7)" % (j1, j2, j1 / j2))
print("  reference: two -j 1 processes on one half each, at once: %.2f s, speed-up %.2f" % (pair, j1 / pair))
print("  %d PNG files; per MIP: %.2f ms with -j 1, %.2f ms with -j 2" % (pngs, j1 / files * 1000, j2 / files * 1000))
print("  --sheet (one PNG per MIP): -j 1: %.2f s   -j 2: %.2f s   speed-up %.2f" % (s1, s2, s1 / s2))
print("  pixmill converting the 256 x 256 Targa into a MIP: %.2f ms per picture (median of 21 runs)" % pixmill)
PY

mkdir -p "$work/track"
"$make_track" "$work/track/long.trk" --format mota --sections 5000 --laterals 4 --surfaces 3 --walls 2 --seed 9
plan=$(median_s "$millview" -q -j 1 -o "$work/plan" "$work/track/long.trk")
both=$(median_s "$millview" -q -j 1 --3d -o "$work/model" "$work/track/long.trk")
python3 - "$plan" "$both" "$(stat -c %s "$work/model/long.trk.glb")" "$(stat -c %s "$work/model/long.trk.svg")" <<'PY'
import sys
plan, both, glb, svg = float(sys.argv[1]), float(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
model = both - plan
print("  MOTA track of 5,000 sections: SVG alone %.3f s, SVG and model %.3f s: the model %.3f s, %.2f of the plan's time (aim 1.0 or less)"
      % (plan, both, model, model / plan))
print("  model %d bytes, %.0f bytes per section (plan %d bytes, %.0f per section)" % (glb, glb / 5000, svg, svg / 5000))
PY
