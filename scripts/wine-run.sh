#!/usr/bin/env bash
# Runs a Windows program under Wine with a private prefix; the build uses it
# as the emulator for tests and test discovery.
# Usage: scripts/wine-run.sh <wine-loader> <prefix-dir> <program.exe> [args...]
set -uo pipefail
if [ $# -lt 3 ]; then
  echo "usage: $0 <wine-loader> <prefix-dir> <program.exe> [args...]" >&2
  exit 2
fi
wine=$1
prefix=$2
shift 2
if [ ! -x "$wine" ]; then
  echo "Wine loader $wine is missing (Debian: wine64 for 64-bit, wine32 for 32-bit programs)" >&2
  exit 2
fi

export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko prompts while the prefix is created; console tools need neither.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
unset DISPLAY WAYLAND_DISPLAY

# The first start creates the prefix; tests running in parallel must not race
# on that, so creation is serialised with a lock beside the prefix.
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$(dirname "$prefix")"
  (
    flock 9
    if [ ! -f "$prefix/system.reg" ]; then
      "$wine" wineboot --init >/dev/null 2>&1
      "$(dirname "$wine")/wineserver" -w 2>/dev/null || true
    fi
  ) 9>"$prefix.lock"
fi

# Wine on a busy machine now and then loses a new process while it sets it
# up: the program never runs, and the loader ends with a failure and (as
# WINEDEBUG silences it) without a word. Every program run through here
# (tests, test discovery) prints something, so a failure without any output
# is such a start and is tried again.
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
for attempt in 1 2 3; do
  "$wine" "$@" >"$out" 2>"$err"
  status=$?
  if [ "$status" -eq 0 ] || [ -s "$out" ] || [ -s "$err" ]; then
    break
  fi
  echo "wine-run: $1 did not start (status $status, attempt $attempt)" >&2
done
# The Windows runtime writes CR LF line ends; test discovery parses plain lines.
tr -d '\r' <"$out"
cat "$err" >&2
exit "$status"
