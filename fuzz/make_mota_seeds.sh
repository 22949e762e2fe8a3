#!/usr/bin/env bash
# Regenerates the seed corpus of mota_trk_fuzz from the synthetic track
# generator. Seeds stay small (a few sections and lines) so the fuzzer
# mutates structure, not bulk; between them they hold a lone curve, straights, single
# and thick walls, sections without strips, a track without lateral lines, and
# every wall kind the format stores. no_walls.trk (four_sections.trk without its
# wall records) and no_sections.trk (its header alone, length 0) are kept by hand.
#   fuzz/make_mota_seeds.sh <build dir holding tools/make_track>
set -euo pipefail
cd "$(dirname "$0")/.."
make_track=${1:-build/asan}/tools/make_track
out=fuzz/corpus/mota_trk
mkdir -p "$out"
make_mota() {
  "$make_track" "$@" --format mota --all-kinds
}
make_mota "$out/one_curve.trk" --sections 1 --laterals 1 --surfaces 1 --walls 0 --seed 11
make_mota "$out/four_sections.trk" --sections 4 --laterals 2 --surfaces 2 --walls 1 --seed 15
make_mota "$out/three_sections.trk" --sections 3 --laterals 3 --surfaces 2 --walls 2 --seed 13 --thick-walls
make_mota "$out/no_strips.trk" --sections 2 --laterals 1 --surfaces 0 --walls 2 --seed 14
make_mota "$out/no_laterals.trk" --sections 2 --laterals 0 --surfaces 2 --walls 1 --seed 16
