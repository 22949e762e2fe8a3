#!/usr/bin/env bash
# Builds the tools and runs trackconv on each sample track directory in
# examples/tracks/, working on a copy so that the samples stay as they are.
# For each it lists what the directory holds, what trackconv wrote (with
# sizes) and a summary of the .xq file.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-tools.sh
ensure_tools

build=${BUILD_DIR:-build/release}
release_build "$build" trackconv xq_summary
trackconv=$PWD/$build/trackconv/trackconv
summary=$PWD/$build/tools/xq_summary

# "name (size bytes)" for each file of a directory, on one line.
sizes() {
  local file out=()
  for file in "$1"/*; do out+=("$(basename "$file") ($(stat -c %s "$file") bytes)"); done
  echo "${out[*]:-nothing}"
}

work=$build/demo
rm -rf "$work"
mkdir -p "$work"
shopt -s nullglob
tracks=(examples/tracks/*/)
if [ ${#tracks[@]} -eq 0 ]; then
  echo "No sample tracks in examples/tracks/ (scripts/make-examples.sh makes them)."
fi
for sample in "${tracks[@]}"; do
  name=$(basename "$sample")
  dir=$work/$name
  cp -r "$sample" "$dir"
  echo "== $name/ holds: $(sizes "$dir")"
  before=$(ls "$dir")
  if message=$(cd "$dir" && "$trackconv" 2>&1); then
    for out in $(cd "$dir" && ls | grep -vxF "$before"); do
      echo "   trackconv wrote $out ($(stat -c %s "$dir/$out") bytes)"
      (cd "$dir" && "$summary" "$out") | sed 's/^/   /'
    done
  else
    echo "   trackconv failed: $message"
  fi
done

# A directory with no track shows how a failure looks: one message, status 1.
mkdir -p "$work/empty"
echo "== empty/ holds nothing"
set +e
message=$(cd "$work/empty" && "$trackconv" 2>&1)
status=$?
set -e
echo "   trackconv failed with status $status: $message"
