#!/usr/bin/env bash
# Runs two trackconv builds on many generated track directories and
# compares what they print, their exit statuses and every file they leave
# in the directory, byte for byte. Use it to show that a change (a faster
# code path, say) leaves every result as it was.
#
#   bench/compare_trackconv.sh REFERENCE [TRACKCONV_UNDER_TEST]
#
# REFERENCE is a trackconv program or a git revision (a commit, a branch),
# which is then exported with git archive and built in a temporary
# directory. Without a second program the release build in $BUILD_DIR
# (default build/release) is built and used.
#
# The directories: tracks of both formats from tools/make_track for each
# game family (VTR, MOTA, K5, loose and packed in a .dat archive), with odd
# and sparse sizes (one section, one lateral line, no strips or walls),
# every surface and wall kind, thick walls and full sections; the large
# tracks of bench/bench_trackconv.sh; cut, lengthened and altered copies
# whose readers must refuse them with the same message; an existing output
# and directories that are not a track at all; and examples/tracks.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-tools.sh
ensure_tools python3

[ $# -ge 1 ] || { echo "usage: $0 REFERENCE [TRACKCONV_UNDER_TEST]" >&2; exit 2; }
build=${BUILD_DIR:-build/release}
release_build "$build" trackconv make_track make_game_file make_dat ||
  { echo "compare_trackconv: the release build failed" >&2; exit 1; }
candidate=$(realpath "${2:-$build/trackconv/trackconv}")
tools=$PWD/$build/tools

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ -f "$1" ] && [ -x "$1" ]; then
  reference=$(realpath "$1")
else
  revision=$(git rev-parse --verify --quiet "$1^{commit}") ||
    { echo "compare_trackconv: $1 is neither a program nor a git revision" >&2; exit 2; }
  echo "building trackconv of ${revision:0:12} for reference"
  mkdir -p "$work/reference-source"
  git archive "$revision" | tar -x -C "$work/reference-source"
  (cd "$work/reference-source" && release_build "$work/reference-build" trackconv) ||
    { echo "compare_trackconv: the reference build failed" >&2; exit 1; }
  reference=$work/reference-build/trackconv/trackconv
fi

# Every case is a directory $cases/<case>/<track name>/.
cases=$work/cases
mkdir -p "$cases"
count=0
new_case() {  # track-name; sets dir to the new track directory
  count=$((count + 1))
  dir=$cases/$(printf '%04d' $count)/$1
  mkdir -p "$dir"
}

marker_for() {  # family -> make_game_file kind and file name
  case $1 in
    vtr) echo "vtr-3do car.3do" ;;
    vtr-rpy) echo "vtr-rpy lap.rpy" ;;
    mota) echo "mota-3do car.3do" ;;
    k5) echo "k5-rpl lap.rpl" ;;
    k5-3do) echo "k5-3do car.3do" ;;
  esac
}

loose_track() {  # family format name make_track-options...
  local family=$1 format=$2 name=$3
  shift 3
  local kind file
  new_case "$name"
  read -r kind file < <(marker_for "$family")
  "$tools/make_game_file" "$kind" "$dir/$file"
  "$tools/make_track" "$dir/$(echo "$name" | tr 'A-Z' 'a-z').trk" --format "$format" "$@" \
    2>/dev/null || rm -rf "$(dirname "$dir")"
}

archived_track() {  # family format name make_track-options...
  local family=$1 format=$2 name=$3
  shift 3
  local kind file staging=$work/staging
  new_case "$name"
  read -r kind file < <(marker_for "$family")
  rm -rf "$staging" && mkdir -p "$staging"
  "$tools/make_game_file" "$kind" "$staging/$(echo "$file" | tr 'a-z' 'A-Z')"
  "$tools/make_track" "$staging/$(echo "$name" | tr 'a-z' 'A-Z').TRK" --format "$format" "$@"
  "$tools/make_dat" "$dir/$(echo "$name" | tr 'a-z' 'A-Z').DAT" "$staging"/*
}

seed=1
# VTR: odd and sparse sizes; the format keeps no walls.
for sections in 1 2 3 7 64 333; do
  for laterals in 1 2 5 16; do
    for surfaces in 0 1 3 9; do
      seed=$((seed + 1))
      loose_track vtr vtr Vee --sections $sections --laterals $laterals --surfaces $surfaces \
        --walls 2 --seed $seed
    done
  done
done
# MOTA and K5: walls too, up to a full section and one beyond.
for family in mota k5; do
  for sections in 1 2 5 64 333; do
    for laterals in 1 3 10; do
      for strips_walls in "0 0" "1 0" "0 1" "3 2" "8 2" "9 1" "9 2" "4 6"; do
        read -r surfaces walls <<<"$strips_walls"
        seed=$((seed + 1))
        loose_track $family mota Emm --sections $sections --laterals $laterals \
          --surfaces $surfaces --walls $walls --seed $seed
      done
    done
  done
done
# Every kind, including those the XQ format has no type for, and walls
# with a far side of their own.
for sections in 3 40 200; do
  for kinds_seed in 1 2 3 4; do
    seed=$((seed + 1))
    loose_track vtr vtr Kinds --sections $sections --laterals 4 --surfaces 9 --seed $seed --all-kinds
    loose_track mota mota Kinds --sections $sections --laterals 4 --surfaces 5 --walls 5 \
      --seed $seed --all-kinds
    loose_track k5 mota Kinds --sections $sections --laterals 4 --surfaces 3 --walls 3 \
      --seed $seed --thick-walls
    loose_track mota mota Thick --sections $sections --laterals 6 --surfaces 2 --walls 4 \
      --seed $seed --thick-walls --all-kinds
  done
done
# The other markers and the archive form of each family.
loose_track vtr-rpy vtr Replay --sections 30 --laterals 3 --surfaces 2 --seed 5
loose_track k5-3do mota Model --sections 30 --laterals 3 --surfaces 2 --walls 1 --seed 6
for family_format in "vtr vtr" "mota mota" "k5 mota" "k5-3do mota"; do
  read -r family format <<<"$family_format"
  archived_track $family $format Packed --sections 50 --laterals 4 --surfaces 3 --walls 2 --seed 8
  archived_track $family $format Single --sections 1 --laterals 1 --surfaces 1 --walls 0 --seed 9
done
# The benchmark's large tracks.
loose_track vtr vtr Big --sections 5000 --laterals 16 --surfaces 8 --walls 2 --seed 7
loose_track mota mota Big --sections 5000 --laterals 10 --surfaces 8 --walls 2 --seed 7
loose_track k5 mota Big --sections 5000 --laterals 10 --surfaces 8 --walls 2 --seed 7

# Altered copies of a few tracks: cut at and around every block boundary,
# lengthened, each header word changed, and bytes changed at random.
count=$(python3 - "$cases" "$((count + 1))" <<'PY'
import os, random, shutil, struct, sys
cases, number = sys.argv[1], int(sys.argv[2])
candidates = []
for case in sorted(os.listdir(cases)):
    for name in os.listdir(os.path.join(cases, case)):
        directory = os.path.join(cases, case, name)
        track = [f for f in os.listdir(directory) if f.endswith(".trk")]
        if track and name in ("Vee", "Emm") and \
                2000 < os.path.getsize(os.path.join(directory, track[0])) < 200000:
            candidates.append(directory)
# A few of each format, spread over the sizes.
sources = candidates[::max(1, len(candidates) // 6)][:6]

def emit(source, data):
    global number
    name = os.path.basename(source)
    target = os.path.join(cases, "%04d" % number, name)
    number += 1
    shutil.copytree(source, target)
    track = [f for f in os.listdir(target) if f.endswith(".trk")][0]
    open(os.path.join(target, track), "wb").write(data)

rng = random.Random(19)
for source in sources:
    track = [f for f in os.listdir(source) if f.endswith(".trk")][0]
    data = open(os.path.join(source, track), "rb").read()
    vtr = struct.unpack_from("<I", data, 4)[0] == 3000
    header = 92 if vtr else 68
    lateral_count, section_count, surface_bytes = struct.unpack_from("<III", data, 12)
    index_end = header + 4 * section_count
    lines_end = index_end + 32 * lateral_count * section_count
    surfaces_end = lines_end + surface_bytes
    cuts = {0, 1, 4, header - 1, header, len(data) // 2, len(data) - 1}
    for boundary in (index_end, lines_end, surfaces_end):
        cuts.update({boundary - 1, boundary, boundary + 1})
    for cut in sorted(c for c in cuts if 0 <= c < len(data)):
        emit(source, data[:cut])
    emit(source, data + b"\0" * 4)
    for offset in range(0, header, 4):
        for value in (0, 0xFFFFFFFF, struct.unpack_from("<I", data, offset)[0] + 1):
            changed = bytearray(data)
            struct.pack_into("<I", changed, offset, value & 0xFFFFFFFF)
            emit(source, bytes(changed))
    for _ in range(30):
        changed = bytearray(data)
        for _ in range(rng.choice((1, 1, 2, 8))):
            changed[rng.randrange(header, len(data))] ^= 1 << rng.randrange(8)
        emit(source, bytes(changed))
print(number - 1)
PY
)

# An old output to replace, an output name taken by a directory, and
# directories that hold no track.
new_case Old
cp -r "$cases/0001/Vee/." "$dir/"
mv "$dir/vee.trk" "$dir/old.trk"
printf 'old' >"$dir/old.xq"
new_case Taken
cp -r "$cases/0001/Vee/." "$dir/"
mv "$dir/vee.trk" "$dir/taken.trk"
mkdir "$dir/taken.xq"
new_case Empty
new_case Marker
"$tools/make_game_file" mota-3do "$dir/car.3do"
for example in examples/tracks/*/; do
  new_case "$(basename "$example")"
  cp -r "$example." "$dir/"
done

# Each program runs in a fresh copy at the same path, so messages that
# name files are comparable; what it prints, its status and every file of
# the directory afterwards must be the same.
python3 - "$cases" "$work/run" "$reference" "$candidate" <<'PY'
import os, shutil, subprocess, sys
cases, run, programs = sys.argv[1], sys.argv[2], sys.argv[3:5]

def contents(directory):
    found = {}
    for root, dirs, files in os.walk(directory):
        for name in dirs + files:
            path = os.path.join(root, name)
            key = os.path.relpath(path, directory)
            found[key] = None if os.path.isdir(path) else open(path, "rb").read()
    return found

def run_in(program, case):
    name = os.listdir(case)[0]
    shutil.rmtree(run, ignore_errors=True)
    shutil.copytree(case, run)
    result = subprocess.run([program], cwd=os.path.join(run, name), capture_output=True)
    return result.returncode, result.stdout, result.stderr, contents(run)

runs = converted = differences = 0
for case in sorted(os.listdir(cases)):
    path = os.path.join(cases, case)
    a, b = run_in(programs[0], path), run_in(programs[1], path)
    runs += 1
    converted += a[0] == 0
    if a != b:
        differences += 1
        what = [label for label, x, y in zip(("status", "stdout", "stderr", "files"), a, b) if x != y]
        print("DIFFERENT: %s/%s: %s; status %d vs %d; %r vs %r" % (
            case, os.listdir(path)[0], ", ".join(what), a[0], b[0], a[2][:200], b[2][:200]))
print("compare_trackconv: %d track directories (%d converted, %d refused), %d with different results"
      % (runs, converted, runs - converted, differences))
sys.exit(1 if differences else 0)
PY
