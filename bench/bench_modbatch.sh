#!/usr/bin/env bash
# Times modbatch on a generated mod of 400 pictures (64 x 64 to 256 x 256,
# PCX, Targa and PNG in eight folders) and 4 track directories:
#   full -j 1    every input converted, one at a time (--force)
#   full -j 2    the same, two at a time (aim: at least 1.7x faster than -j 1)
#   up to date   a second run with nothing changed (aim: under 5 % of full -j 1)
#   shell loop   pixmill and trackconv started one by one from a shell loop
#                (aim: full -j 1 within 10 % of it)
#
#   bench/bench_modbatch.sh [runs]      (default 3 runs per measurement)
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
