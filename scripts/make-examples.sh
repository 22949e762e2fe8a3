#!/usr/bin/env bash
# Regenerates examples/tracks/ with our own generators: one track
# directory per game family, each named after its track.
#   Alpha/    VTR: loose alpha.trk beside a model with the VTR tag
#   Bravo/    MOTA: only BRAVO.DAT, holding BRAVO.TRK and a MOTA model
#   Charlie/  K5 family: loose charlie.trk (MOTA track format) beside a
#             replay that passes the K5 size rule
# and examples/pictures/ with pixmill's synthetic pictures:
#   window.pcx  64 x 64, 256-colour palette; the texture uses entries 64-79
#   glow.tga    64 x 64, 32 bits with an alpha channel
#   badge.png   32 x 32 RGBA PNG with the same round alpha falloff
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-tools.sh
ensure_tools

build=${BUILD_DIR:-build/release}
release_build "$build" make_track make_dat make_game_file make_picture
tools=$PWD/$build/tools

out=examples/tracks
rm -rf "$out"
mkdir -p "$out/Alpha" "$out/Bravo" "$out/Charlie"

"$tools/make_track" "$out/Alpha/alpha.trk" --format vtr --sections 24 --laterals 5 \
  --surfaces 3 --walls 0 --seed 11
"$tools/make_game_file" vtr-3do "$out/Alpha/car.3do"

staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
"$tools/make_track" "$staging/BRAVO.TRK" --format mota --sections 28 --laterals 6 \
  --surfaces 3 --walls 2 --seed 22
"$tools/make_game_file" mota-3do "$staging/CAR.3DO"
"$tools/make_dat" "$out/Bravo/BRAVO.DAT" "$staging/CAR.3DO" "$staging/BRAVO.TRK"

"$tools/make_track" "$out/Charlie/charlie.trk" --format mota --sections 20 --laterals 4 \
  --surfaces 2 --walls 1 --seed 33
"$tools/make_game_file" k5-rpl "$out/Charlie/lap.rpl"

mkdir -p examples/pictures
"$tools/make_picture" pcx-window examples/pictures/window.pcx --width 64 --height 64 --window 64
"$tools/make_picture" tga-alpha examples/pictures/glow.tga --width 64 --height 64
"$tools/make_picture" png-alpha examples/pictures/badge.png --width 32 --height 32

find "$out" examples/pictures -type f | sort | while read -r file; do
  printf '%-36s %7d bytes\n' "$file" "$(stat -c %s "$file")"
done
