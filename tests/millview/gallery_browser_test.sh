#!/usr/bin/env bash
# Opens millview's galleries of a generated folder in headless Chromium and
# checks that every picture on every page loads; writes a screenshot of the
# top gallery. Opens every 3D page with software WebGL: it must show its
# model (the page's data-state) without a console message, and in its
# screenshot at least 5% of the pixels right of the legend must differ
# from the background. Skips (status 77) where no Chromium is installed.
#   gallery_browser_test.sh <millview> <pixmill> <tools dir> <work dir>
set -euo pipefail
millview=$(realpath "$1") pixmill=$(realpath "$2") tools=$(realpath "$3") work=$(realpath -m "$4")
browser=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$browser" ]; then
  echo "chromium not installed (Debian: chromium); browser check skipped"
  exit 77
fi
if ! command -v node >/dev/null; then
  echo "node not installed (Debian: nodejs); browser check skipped"
  exit 77
fi

rm -rf "$work"
mkdir -p "$work/in/textures/walls" "$work/in/tracks/alpha"
"$tools/make_picture" tga-alpha "$work/in/textures/glow.tga" --width 64 --height 64
"$tools/make_picture" pcx-window "$work/in/textures/walls/window.pcx" --width 64 --height 64
(cd "$work/in/textures" && "$pixmill" -srb -transl glow.tga -width 2 -height 2 >/dev/null)
(cd "$work/in/textures/walls" && "$pixmill" -4 -palStart 64 window.pcx >/dev/null)
"$tools/make_track" "$work/in/tracks/alpha/alpha.trk" --sections 24 --laterals 4 --seed 3
"$tools/make_track" "$work/in/tracks/bravo.trk" --format mota --sections 30 --seed 4
"$millview" -q --html -o "$work/out" "$work/in"

# Only the browser's own switches that keep it off the network and away
# from any profile but a fresh one.
run_browser() {
  local profile
  profile=$(mktemp -d)
  timeout 120 "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$profile" "$@" 2>/dev/null
  rm -rf "$profile"
}

# The galleries hold no script; a check page beside each one loads the
# same sources and lists the size each decoded to (0: broken).
pages=0 failed=0
while IFS= read -r page; do
  dir=$(dirname "$page")
  srcs=$( (grep -o 'src="[^"]*"' "$page" || true) | sed 's/^src="//; s/"$//' | sort -u)
  [ -n "$srcs" ] || continue
  {
    echo '<!DOCTYPE html><html><body><pre id="r"></pre><script>'
    echo 'const srcs = ['
    for s in $srcs; do echo "  \"$s\","; done
    echo '];'
    cat <<'JS'
let left = srcs.length;
const lines = [];
for (const s of srcs) {
  const img = new Image();
  const done = () => {
    lines.push((img.naturalWidth > 0 ? "loaded " : "BROKEN ") + s + " " + img.naturalWidth);
    if (--left === 0) document.getElementById("r").textContent = lines.sort().join("\n") + "\nend";
  };
  img.onload = done;
  img.onerror = done;
  img.src = s;
}
JS
    echo '</script></body></html>'
  } >"$dir/.check.html"
  dom=$(run_browser --virtual-time-budget=10000 --dump-dom "file://$dir/.check.html")
  rm -f "$dir/.check.html"
  pages=$((pages + 1))
  expected=$(echo "$srcs" | wc -l)
  results=$(echo "$dom" | grep -oE '(loaded|BROKEN) [^ <]+ [0-9]+' || true)
  loaded=$(echo "$results" | grep -c '^loaded ' || true)
  if ! echo "$dom" | grep -q 'end</pre>' || [ "$loaded" -ne "$expected" ]; then
    echo "FAIL: ${page#$work/}: $loaded of $expected pictures loaded"
    echo "$results"
    failed=1
  else
    echo "ok: ${page#$work/}: all $expected pictures loaded"
  fi
done < <(find "$work/out" -name index.html | sort)

# WebGL in software: SwiftShader through ANGLE, nothing from a GPU.
run_webgl() {
  local profile
  profile=$(mktemp -d)
  timeout 120 "$browser" --headless --no-sandbox --use-angle=swiftshader --enable-unsafe-swiftshader \
    --disable-quic --no-first-run --disable-background-networking --disable-component-update \
    --disable-sync --user-data-dir="$profile" --enable-logging=stderr --v=0 "$@"
  rm -rf "$profile"
}
here=$(dirname "$(realpath "$0")")
min_share=0.05
views=0
while IFS= read -r page; do
  name=${page#$work/out/}
  log=$(run_webgl --virtual-time-budget=15000 --dump-dom "file://$page" 2>&1 >"$work/dom.html" || true)
  state=$(grep -o 'data-state="[^"]*"' "$work/dom.html" | head -1 || true)
  console=$(echo "$log" | grep 'CONSOLE' || true)
  run_webgl --virtual-time-budget=15000 --window-size=1000,700 --screenshot="$work/view.png" "file://$page" \
    >/dev/null 2>&1 || true
  share=0
  [ -s "$work/view.png" ] && share=$(node "$here/screenshot_share.js" "$work/view.png" dfe6ee 300)
  views=$((views + 1))
  if [ "$state" != 'data-state="shown"' ] || [ -n "$console" ] ||
     ! awk -v s="$share" -v m="$min_share" 'BEGIN { exit !(s >= m) }'; then
    echo "FAIL: $name: ${state:-no state}, $share of the pixels show the track"
    [ -n "$console" ] && echo "$console"
    failed=1
  else
    echo "ok: $name: shown, no console messages, $share of the pixels show the track"
  fi
  cp "$work/view.png" "$work/${name//\//_}.png" 2>/dev/null || true
done < <(find "$work/out" -name '*.3d.html' | sort)
[ "$views" -ge 2 ] || { echo "FAIL: only $views 3D pages"; failed=1; }

run_browser --window-size=1200,1000 --screenshot="$work/gallery.png" "file://$work/out/textures/index.html" >/dev/null || true
[ -s "$work/gallery.png" ] && echo "screenshot: $work/gallery.png"
[ "$pages" -ge 3 ] || { echo "FAIL: only $pages galleries with pictures"; failed=1; }
exit $failed
