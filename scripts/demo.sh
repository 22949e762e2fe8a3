#!/usr/bin/env bash
# Builds the tools and runs them on the bundled samples in examples/,
# working on a copy so that the samples stay as they are.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-tools.sh
ensure_tools

build=${BUILD_DIR:-build/release}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DRT_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target trackconv xq_summary >/dev/null
trackconv=$PWD/$build/trackconv/trackconv
summary=$PWD/$build/tools/xq_summary

work=$build/demo
rm -rf "$work"
mkdir -p "$work"
shopt -s nullglob
tracks=(examples/tracks/*/)
if [ ${#tracks[@]} -eq 0 ]; then
  echo "No sample tracks in examples/tracks/."
fi
for sample in "${tracks[@]}"; do
  name=$(basename "$sample")
  cp -r "$sample" "$work/$name"
  echo "== trackconv in $name/ (holds: $(cd "$work/$name" && ls | tr '\n' ' '))"
  if message=$(cd "$work/$name" && "$trackconv" 2>&1); then
    for out in "$work/$name"/*.xq; do
      echo "   wrote $(basename "$out"), $(stat -c %s "$out") bytes"
      "$summary" "$out" | sed 's/^/   /'
    done
  else
    echo "   trackconv failed: $message"
  fi
done

# A directory with no track shows how a failure looks: one message, status 1.
mkdir -p "$work/empty"
echo "== trackconv in empty/ (no track at all)"
set +e
message=$(cd "$work/empty" && "$trackconv" 2>&1)
status=$?
set -e
echo "   exit status $status, message: $message"
