#!/usr/bin/env bash
# Lints manual pages with both renderers Debian uses: each page must pass
# `mandoc -T lint` and `groff -man -ww -z` without a single message.
# Usage: scripts/lint-man.sh <page or directory>...
# Exit status 0 all clean, 1 a page has findings, 77 a linter is missing.
set -uo pipefail
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
  # A compressed page (as installed) is linted as what it unpacks to.
  if [[ $page == *.gz ]]; then
    source=$(mktemp)
    gzip -dc "$page" >"$source"
  else
    source=$page
  fi
  findings=$( { mandoc -T lint "$source" 2>&1; groff -man -ww -z "$source" 2>&1; } )
  [ "$source" != "$page" ] && rm -f "$source"
  if [ -n "$findings" ]; then
    echo "$page:"
    echo "$findings" | sed 's/^/  /'
    status=1
  else
    echo "$page: clean"
  fi
done
exit $status
