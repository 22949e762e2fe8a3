#!/usr/bin/env bash
# Regenerates the seed corpus of xq_trk_fuzz: small generated tracks
# converted by trackconv, so the seeds are .xq files as trackconv writes
# them, with curves both ways, surfaces and walls.
#   fuzz/make_xq_seeds.sh <build dir holding tools/make_track, tools/make_game_file and trackconv/trackconv>
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build/asan}" && pwd)
out=$PWD/fuzz/corpus/xq_trk
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
seed() {  # name make_track-arguments...
  local name=$1
  shift
  mkdir -p "$work/$name"
  "$build/tools/make_track" "$work/$name/$name.trk" "$@"
  # A MOTA track is read as such in a K5 family folder.
  case " $* " in *" mota "*) "$build/tools/make_game_file" k5-rpl "$work/$name/lap.rpl" ;; esac
  (cd "$work/$name" && "$build/trackconv/trackconv")
  cp "$work/$name/$name.xq" "$out/$name.xq"
}
seed two --sections 2 --laterals 1 --surfaces 1 --seed 1
seed three --sections 3 --laterals 2 --surfaces 2 --seed 2
seed walls --format mota --sections 4 --laterals 2 --surfaces 2 --walls 2 --seed 3
seed one --sections 1 --laterals 1 --surfaces 1 --seed 4
seed bare --sections 2 --laterals 1 --surfaces 0 --seed 5
