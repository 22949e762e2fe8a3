#!/usr/bin/env bash
# Regenerates the pictures the README shows, from our synthetic examples:
#   docs/pictures/window4.mip.png   millview's sheet of a 4-bit MIP that pixmill
#                                   makes from examples/pictures/window.pcx
#   docs/pictures/BRAVO.DAT.svg     millview's plan of the MOTA track inside
#                                   examples/tracks/Bravo/BRAVO.DAT
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-tools.sh
ensure_tools

build=${BUILD_DIR:-build/release}
release_build "$build" pixmill millview
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp examples/pictures/window.pcx "$work/"
pixmill=$PWD/$build/pixmill/pixmill
(cd "$work" && "$pixmill" -4 -palStart 64 window.pcx window4.mip >/dev/null)
mkdir -p docs/pictures
"$build/millview/millview" -q --sheet -o docs/pictures "$work/window4.mip" examples/tracks/Bravo/BRAVO.DAT
ls -l docs/pictures
