#!/usr/bin/env bash
# Times modbatch on a generated mod of 400 pictures (64 x 64 to 256 x 256,
# PCX, Targa and PNG in eight folders) and 4 track directories:
#   full -j 1    every input converted, one at a time (--force)
#   full -j 2    the same, two at a time (aim: at least 1.7x faster than -j 1)
#   up to date   a second run with nothing changed (aim: under 5 % of full -j 1)
#   shell loop   pixmill and trackconv started one by one from a shell loop
#                (aim: full -j 1 within 10 % of it)
# and then on a mod of 2,000 pictures with rules files in 20 folders:
#   rules full     a clean build (--force), the default -j
#   rules again    nothing changed (aim: at most 5 % of the full build)
#   rules touched  every file touched first (aim: at most 10 %)
#   watch          --watch: from saving a picture to its rebuilt output
#                  (aim: under 1 s)
#
#   bench/bench_modbatch.sh [runs]      (default 3 runs per measurement)
#   MODBATCH_BENCH=rules bench/bench_modbatch.sh   the rules mod alone
#
# Prints the median wall time of each and the ratios. The machine should be
# otherwise idle: parallel runs measure the cores that are free.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-tools.sh
ensure_tools python3

runs=${1:-3}
build=${BUILD_DIR:-build/release}
release_build "$build" modbatch pixmill trackconv make_picture make_track make_game_file ||
  { echo "bench_modbatch: the release build failed" >&2; exit 1; }
modbatch=$PWD/$build/modbatch/modbatch
pixmill=$PWD/$build/pixmill/pixmill
trackconv=$PWD/$build/trackconv/trackconv
tools=$PWD/$build/tools

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mod=$work/mod

# The median wall time in seconds of $runs runs of "$@".
median_s() {
  local times=() start end
  for _ in $(seq "$runs"); do
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1 || true
    end=$(date +%s%N)
    times+=("$(((end - start) / 1000000))")
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{ a[NR] = $1 } END { printf "%.3f", a[int((NR + 1) / 2)] / 1000 }'
}

if [ "${MODBATCH_BENCH:-all}" != rules ]; then
kinds=(pcx-window tga-alpha png-alpha tga-distinct png-distinct)
extensions=(pcx tga png tga png)
sizes=(64 96 128 160 192 256)
for i in $(seq 0 399); do
  folder=$mod/textures/set$((i % 8))
  mkdir -p "$folder"
  k=$((i % 5))
  "$tools/make_picture" "${kinds[$k]}" "$folder/pic$i.${extensions[$k]}" \
    --width "${sizes[$((i % 6))]}" --height "${sizes[$(((i / 6) % 6))]}"
done
for t in 1 2 3 4; do
  dir=$mod/tracks/Track$t
  mkdir -p "$dir"
  if [ $((t % 2)) -eq 1 ]; then
    "$tools/make_track" "$dir/track$t.trk" --format vtr --sections 120 --laterals 6 --seed $t
    "$tools/make_game_file" vtr-3do "$dir/car.3do"
  else
    "$tools/make_track" "$dir/track$t.trk" --format mota --sections 120 --laterals 6 --seed $t
    "$tools/make_game_file" k5-rpl "$dir/lap.rpl"
  fi
done
mapfile -t pictures < <(cd "$mod" && find . -name '*.pcx' -o -name '*.tga' -o -name '*.png' | sort)
mapfile -t tracks < <(cd "$mod" && find tracks -mindepth 1 -maxdepth 1 -type d | sort)

shell_loop() {
  cd "$mod"
  for picture in "${pictures[@]}"; do "$pixmill" "$picture" >/dev/null; done
  for track in "${tracks[@]}"; do (cd "$track" && "$trackconv"); done
}

echo "modbatch on ${#pictures[@]} pictures and ${#tracks[@]} track directories; medians of $runs runs"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
"$modbatch" -q "$mod"
j1=$(median_s "$modbatch" -q --force -j 1 "$mod")
j2=$(median_s "$modbatch" -q --force -j 2 "$mod")
fresh=$(median_s "$modbatch" -q "$mod")
loop=$(median_s shell_loop)
echo "load after:  $(cut -d' ' -f1-3 /proc/loadavg)"
"$modbatch" "$mod" | sed 's/^/second run says: /'
awk -v j1="$j1" -v j2="$j2" -v fresh="$fresh" -v loop="$loop" 'BEGIN {
  printf "%-12s %8s  %s\n", "case", "seconds", "against the aim"
  printf "%-12s %8.3f\n", "full -j 1", j1
  printf "%-12s %8.3f  %.2fx faster than -j 1 (aim >= 1.7x)\n", "full -j 2", j2, j1 / j2
  printf "%-12s %8.3f  %.1f %% of full -j 1 (aim < 5 %%)\n", "up to date", fresh, 100 * fresh / j1
  printf "%-12s %8.3f  full -j 1 is %+.1f %% of it (aim within 10 %%)\n", "shell loop", loop, 100 * (j1 - loop) / loop
}'

fi

# ---- a mod of 2,000 pictures with rules in 20 folders ----------------------
rules=$work/rules
switches=("-tile" "-transp" "-4" "-4 -hist" "-noblend" "-tileU -ptsamp" "-transl" "-single"
          "-levels 3" "-4 -heck")
for f in $(seq 0 19); do
  folder=$rules/set$f
  mkdir -p "$folder"
  {
    echo "[*.tga]"
    echo "pixmill = ${switches[$((f % 10))]}"
    echo "[sprite*]"
    echo "pixmill = -srb -transl -width 2 -height 3"
  } >"$folder/modbatch.ini"
done
printf '[**/*.png]\npixmill = -transl\n[**/draft*]\nskip = yes\n' >"$rules/modbatch.ini"
for i in $(seq 0 1999); do
  f=$((i % 20))
  case $((i % 4)) in
    0) "$tools/make_picture" tga-alpha "$rules/set$f/wall$i.tga" --width 64 --height 64 ;;
    1) "$tools/make_picture" tga-distinct "$rules/set$f/sprite$i.tga" --width 32 --height 64 ;;
    2) "$tools/make_picture" png-alpha "$rules/set$f/glass$i.png" --width 32 --height 32 ;;
    3) "$tools/make_picture" pcx-window "$rules/set$f/sky$i.pcx" --width 64 --height 32 ;;
  esac
done
# The median of $runs runs of modbatch, each after every file was touched.
median_touched_s() {
  local times=() start end
  for _ in $(seq "$runs"); do
    find "$rules" -type f -exec touch {} +
    start=$(date +%s%N)
    "$modbatch" -q "$rules" >/dev/null 2>&1 || true
    end=$(date +%s%N)
    times+=("$(((end - start) / 1000000))")
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{ a[NR] = $1 } END { printf "%.3f", a[int((NR + 1) / 2)] / 1000 }'
}

"$modbatch" -q "$rules"
full=$(median_s "$modbatch" -q --force "$rules")
again=$(median_s "$modbatch" -q "$rules")
touched=$(median_touched_s)
"$modbatch" "$rules" | sed 's/^/rules mod again says: /'

# Save to rebuilt in watch mode: a picture is written over with other
# bytes and its output watched until it changes.
"$tools/make_picture" tga-distinct "$work/a.tga" --width 64 --height 64
"$tools/make_picture" tga-alpha "$work/b.tga" --width 64 --height 64
"$modbatch" --watch "$rules" >"$work/watch.log" 2>&1 &
watcher=$!
trap 'kill -INT "$watcher" 2>/dev/null; wait "$watcher" 2>/dev/null; rm -rf "$work"' EXIT
until grep -q '^watching' "$work/watch.log"; do sleep 0.05; done
target=$rules/set0/wall0.tga
output=$rules/set0/wall0.mip
latencies=()
for n in $(seq "$runs"); do
  before=$(cksum <"$output")
  if [ $((n % 2)) -eq 1 ]; then source_picture=$work/a.tga; else source_picture=$work/b.tga; fi
  start=$(date +%s%N)
  cp "$source_picture" "$target"
  while [ "$(cksum <"$output")" = "$before" ]; do sleep 0.005; done
  end=$(date +%s%N)
  latencies+=("$(((end - start) / 1000000))")
  sleep 0.5
done
kill -INT "$watcher"
wait "$watcher" || true
trap 'rm -rf "$work"' EXIT
watch=$(printf '%s\n' "${latencies[@]}" | sort -n | awk '{ a[NR] = $1 } END { printf "%.3f", a[int((NR + 1) / 2)] / 1000 }')
awk -v full="$full" -v again="$again" -v touched="$touched" -v watch="$watch" 'BEGIN {
  printf "%-14s %8s  %s\n", "rules mod", "seconds", "against the aim (2,000 pictures, 20 rules folders)"
  printf "%-14s %8.3f\n", "full build", full
  printf "%-14s %8.3f  %.1f %% of the full build (aim <= 5 %%)\n", "up to date", again, 100 * again / full
  printf "%-14s %8.3f  %.1f %% of the full build (aim <= 10 %%)\n", "all touched", touched, 100 * touched / full
  printf "%-14s %8.3f  save to rebuilt output (aim < 1 s)\n", "watch", watch
}'
