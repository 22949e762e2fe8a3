#!/usr/bin/env bash
# Builds every libFuzzer target in fuzz/ with clang, then fuzzes each one in
# turn on a copy of its seed corpus, or replays the stored corpora once.
#
#   scripts/fuzz.sh [seconds]   fuzz each target that many seconds (default 60)
#                               and print executions, executions per second
#                               and findings per target
#   scripts/fuzz.sh --replay    run each target once over every input of its
#                               stored corpus, without new fuzzing (CI)
#
# Targets are found as fuzz/<name>_fuzz.cpp with their corpus in
# fuzz/corpus/<name>/; a target whose libraries are not built yet is skipped.
# FUZZ_BUILD_DIR (default build/fuzz), FUZZ_TARGETS (names such as
# "vtr_trk_fuzz", default all) and JOBS (build jobs) adjust a run. Findings
# are kept in <build dir>/findings/<target>/; fix them, then add each input
# to the target's corpus so that the replay keeps it fixed.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-tools.sh

mode=fuzz
seconds=60
case "${1:-}" in
  --replay) mode=replay ;;
  "") ;;
  *[!0-9]*) echo "usage: scripts/fuzz.sh [seconds] | --replay" >&2; exit 2 ;;
  *) seconds=$1 ;;
esac

if ! command -v clang++ >/dev/null 2>&1; then
  ensure_tools clang || exit 1
fi
ensure_tools

# clang links libFuzzer and the sanitizers from its runtime package, which
# Debian ships apart from the compiler.
fuzzer_links() {
  local dir status
  dir=$(mktemp -d)
  printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' >"$dir/probe.cpp"
  clang++ -fsanitize=fuzzer,address,undefined "$dir/probe.cpp" -o "$dir/probe" >/dev/null 2>&1
  status=$?
  rm -rf "$dir"
  return $status
}
if ! fuzzer_links; then
  runtime=libclang-rt-$(clang++ -dumpversion | cut -d. -f1)-dev
  ensure_tools "$runtime" || exit 1
  fuzzer_links || { echo "clang++ cannot link libFuzzer programs (Debian: $runtime)" >&2; exit 1; }
fi

build=${FUZZ_BUILD_DIR:-build/fuzz}
CXX=clang++ cmake -S . -B "$build" -G Ninja -DRT_BUILD_FUZZERS=ON -DRT_BUILD_TESTS=OFF >/dev/null

names=()
for source in fuzz/*_fuzz.cpp; do
  name=$(basename "$source" .cpp)
  if [ -n "${FUZZ_TARGETS:-}" ] && [[ " $FUZZ_TARGETS " != *" $name "* ]]; then continue; fi
  if ! cmake --build "$build" --target help | grep -q "^$name: "; then
    echo "$name: skipped, its libraries are not built yet"
    continue
  fi
  names+=("$name")
done
[ ${#names[@]} -gt 0 ] || { echo "no fuzz targets to run" >&2; exit 1; }
cmake --build "$build" -j "${JOBS:-$(nproc)}" --target "${names[@]}" >/dev/null

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

if [ "$mode" = replay ]; then
  failed=0
  for name in "${names[@]}"; do
    corpus=fuzz/corpus/${name%_fuzz}
    count=$(find "$corpus" -type f 2>/dev/null | wc -l)
    if [ "$count" -eq 0 ]; then
      echo "$name: no stored inputs in $corpus"
      continue
    fi
    log=$(mktemp)
    if find "$corpus" -type f -print0 | sort -z | xargs -0 "$build/fuzz/$name" >"$log" 2>&1; then
      echo "$name: $count stored inputs replayed cleanly"
    else
      echo "$name: replay of $corpus failed:" >&2
      tail -n 40 "$log" >&2
      failed=1
    fi
    rm -f "$log"
  done
  exit $failed
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
results=()
total_findings=0
for name in "${names[@]}"; do
  corpus=fuzz/corpus/${name%_fuzz}
  mkdir -p "$work/$name"
  [ -d "$corpus" ] && cp -R "$corpus/." "$work/$name/"
  findings=$build/findings/$name
  mkdir -p "$findings"
  before=$(find "$findings" -type f | wc -l)
  log=$build/findings/$name.log
  echo "fuzzing $name for ${seconds}s (log: $log)"
  "$build/fuzz/$name" -max_total_time="$seconds" -timeout=25 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$work/$name" >"$log" 2>&1 || true
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  found=$(( $(find "$findings" -type f | wc -l) - before ))
  total_findings=$((total_findings + found))
  results+=("$(printf '%-28s %12s %10s %9s' "$name" "${executions:-?}" "${rate:-?}" "$found")")
done

printf '\n%-28s %12s %10s %9s\n' target executions exec/s findings
printf '%s\n' "${results[@]}"
if [ "$total_findings" -gt 0 ]; then
  echo
  echo "Findings (reproduce with <build dir>/fuzz/<target> <file>):"
  find "$build/findings" -mindepth 2 -type f -newer "$work" -print
  exit 1
fi
