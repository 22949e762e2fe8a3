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
# and examples/mod/, a small mod that modbatch builds by its rules files:
#   modbatch.ini                 Targa walls tile, drafts are skipped, the
#                                palette window of sky.pcx goes to 4 bits,
#                                and TEX.dat packs the results
#   textures/wall.tga, glass.png, sky.pcx, draft_wall.tga (skipped)
#   textures/sprites/modbatch.ini  every Targa there becomes an SRB sprite
#   textures/sprites/tree1.tga, lamp.tga
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

mod=examples/mod
rm -rf "$mod"
mkdir -p "$mod/textures/sprites"
"$tools/make_picture" tga-distinct "$mod/textures/wall.tga" --width 32 --height 32
"$tools/make_picture" png-alpha "$mod/textures/glass.png" --width 16 --height 16
"$tools/make_picture" pcx-window "$mod/textures/sky.pcx" --width 64 --height 32 --window 64
"$tools/make_picture" tga-distinct "$mod/textures/draft_wall.tga" --width 16 --height 16
"$tools/make_picture" tga-alpha "$mod/textures/sprites/tree1.tga" --width 32 --height 64
"$tools/make_picture" tga-alpha "$mod/textures/sprites/lamp.tga" --width 16 --height 32
cat >"$mod/modbatch.ini" <<'EOF'
; Rules for the whole mod: every folder below takes them too.
[**/*.tga]
pixmill = -tile

; The sky uses the 16 colours from palette entry 64 on.
[textures/sky.pcx]
pixmill = -4 -palStart 64

; Work in progress stays out of the build.
[**/draft_*]
skip = yes

; One archive of everything that was made, the sprites first.
[pack TEX.dat]
members = textures/*.mip textures/sprites/*.srb
order = textures/sprites/*
EOF
cat >"$mod/textures/sprites/modbatch.ini" <<'EOF'
; Sprites: translucent SRBs of 2.5 x 4 metres, centred near their foot.
[*.tga]
pixmill = -srb -transl -width 2.5 -height 4 -centerY 60

; Trees keep one name whatever their number.
[tree?.tga]
output = tree
EOF

find "$out" examples/pictures "$mod" -type f | sort | while read -r file; do
  printf '%-36s %7d bytes\n' "$file" "$(stat -c %s "$file")"
done
