#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs every test through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-tools.sh
# xmllint checks millview's SVG plans; Chromium opens its galleries and
# their 3D pages (three.js from libjs-three); node runs the glTF validator;
# mandoc and groff lint the manual pages.
ensure_tools libxml2-utils chromium libjs-three nodejs mandoc groff-base
# Debian packs npm apart from nodejs; other builds of nodejs bring it along.
command -v npm >/dev/null 2>&1 || ensure_tools npm

# The Khronos glTF validator comes from the npm registry into a cache
# outside the sources; the model tests find it there.
npm_cache=${XDG_CACHE_HOME:-$HOME/.cache}/racingtools/npm
if [ ! -e "$npm_cache/node_modules/gltf-validator/package.json" ]; then
  mkdir -p "$npm_cache"
  npm install --prefix "$npm_cache" --no-audit --no-fund --no-save gltf-validator@2.0.0-dev.3.10 >/dev/null ||
    echo "warning: npm could not install gltf-validator; the model validation test will skip" >&2
fi

build=${BUILD_DIR:-build/asan}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DRT_SANITIZE=ON >/dev/null
cmake --build "$build" -j "$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
