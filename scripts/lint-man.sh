#!/usr/bin/env bash
# Lints manual pages with both renderers Debian uses: each page must pass
# `mandoc -T lint` and `groff -man -ww -z` without a single message.
# Usage: scripts/lint-man.sh <page or directory>...
#        scripts/lint-man.sh --usage <program> <page>
# The second form checks that every switch the usage text of <program> (run
# without arguments) lists has an entry in the OPTIONS of <page>.
# Exit status 0 all clean, 1 a page has findings, 77 a linter is missing.
set -uo pipefail

if [ "${1:-}" = "--usage" ] && [ $# -eq 3 ]; then
  missing=0
  # Usage lines that describe a switch begin with it, after at most one space.
  switches=$("$2" 2>/dev/null | sed -n 's/^ \{0,1\}\(-[A-Za-z0-9]*\).*/\1/p')
  if [ -z "$switches" ]; then
    echo "$2 printed no usage text"
    exit 1
  fi
  for switch in $switches; do
    if ! grep -qE "^\.BI? \\\\$switch( |\$)" "$3"; then
      echo "$3: no entry for $switch"
      missing=1
    fi
  done
  exit $missing
fi
for tool in mandoc groff; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "$tool is missing (Debian: mandoc, groff-base); manual pages not linted" >&2
    exit 77
  fi
done

shopt -s nullglob
pages=()
for arg in "$@"; do
  if [ -d "$arg" ]; then
    pages+=("$arg"/*.[1-9] "$arg"/*.[1-9].gz)
  else
    pages+=("$arg")
  fi
done
if [ ${#pages[@]} -eq 0 ]; then
  echo "no manual pages in: $*" >&2
  exit 1
fi

status=0
for page in "${pages[@]}"; do
  # A compressed page (as installed) is linted as what it unpacks to, under
  # its own name: mandoc checks the section against the file name's suffix.
  if [[ $page == *.gz ]]; then
    unpacked=$(mktemp -d)
    source=$unpacked/$(basename "${page%.gz}")
    gzip -dc "$page" >"$source"
  else
    source=$page
  fi
  findings=$( { mandoc -T lint "$source" 2>&1; groff -man -ww -z "$source" 2>&1; } )
  [ "$source" != "$page" ] && rm -rf "$unpacked"
  if [ -n "$findings" ]; then
    echo "$page:"
    echo "$findings" | sed 's/^/  /'
    status=1
  else
    echo "$page: clean"
  fi
done
exit $status
