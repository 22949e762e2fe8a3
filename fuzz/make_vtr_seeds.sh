#!/usr/bin/env bash
# Regenerates the seed corpus of vtr_trk_fuzz from the synthetic track
# generator. Seeds stay small (a few sections and lines) so the fuzzer
# mutates structure, not bulk; between them they hold every surface kind
# the format stores, the one the XQ format lacks included.
#   fuzz/make_vtr_seeds.sh <build dir holding tools/make_track>
set -euo pipefail
cd "$(dirname "$0")/.."
make_track=${1:-build/asan}/tools/make_track
out=fuzz/corpus/vtr_trk
mkdir -p "$out"
make_vtr() {
  "$make_track" "$@" --format vtr --all-kinds
}
make_vtr "$out/two_sections.trk" --sections 2 --laterals 1 --surfaces 1 --seed 1
make_vtr "$out/three_sections.trk" --sections 3 --laterals 2 --surfaces 2 --seed 2
make_vtr "$out/four_sections.trk" --sections 4 --laterals 2 --surfaces 3 --seed 3
make_vtr "$out/one_section.trk" --sections 1 --laterals 1 --surfaces 1 --seed 4
make_vtr "$out/no_strips.trk" --sections 2 --laterals 1 --surfaces 0 --seed 5
