#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs every test through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-tools.sh
# xmllint checks millview's SVG plans; Chromium opens its galleries;
# mandoc and groff lint the manual pages.
ensure_tools libxml2-utils chromium mandoc groff-base

build=${BUILD_DIR:-build/asan}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DRT_SANITIZE=ON >/dev/null
cmake --build "$build" -j "$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
