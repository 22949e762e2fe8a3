#!/usr/bin/env bash
# Regenerates the pictures the README shows, from our synthetic examples:
#   docs/pictures/window4.mip.png   millview's sheet of a 4-bit MIP that pixmill
#                                   makes from examples/pictures/window.pcx
#   docs/pictures/BRAVO.DAT.svg     millview's plan of the MOTA track inside
#                                   examples/tracks/Bravo/BRAVO.DAT
#   docs/pictures/bravo-3d.png      headless Chromium's screenshot of that
#                                   track's 3D page (software WebGL)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-tools.sh
ensure_tools chromium libjs-three

build=${BUILD_DIR:-build/release}
release_build "$build" pixmill millview
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp examples/pictures/window.pcx "$work/"
pixmill=$PWD/$build/pixmill/pixmill
(cd "$work" && "$pixmill" -4 -palStart 64 window.pcx window4.mip >/dev/null)
mkdir -p docs/pictures
"$build/millview/millview" -q --sheet -o docs/pictures "$work/window4.mip" examples/tracks/Bravo/BRAVO.DAT
"$build/millview/millview" -q --html -o "$work/view" examples/tracks/Bravo/BRAVO.DAT
page=$(find "$work/view" -name '*.3d.html' | sort | head -1)
browser=$(command -v chromium || command -v chromium-browser)
mkdir -p "$work/profile"
timeout 120 "$browser" --headless --no-sandbox --use-angle=swiftshader --enable-unsafe-swiftshader \
  --disable-quic --no-first-run --disable-background-networking --disable-component-update \
  --disable-sync --user-data-dir="$work/profile" --hide-scrollbars --window-size=1000,640 \
  --virtual-time-budget=15000 --screenshot="$work/shot.png" "file://$page" >/dev/null 2>&1
cp "$work/shot.png" docs/pictures/bravo-3d.png
ls -l docs/pictures
