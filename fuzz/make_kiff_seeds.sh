#!/usr/bin/env bash
# Writes the seed corpus of runtime_kiff_fuzz: small kiff files that between
# them reach every entry of the fuzzer's parse list, padding, nesting and a
# second container after the first.
#   fuzz/make_kiff_seeds.sh
set -euo pipefail
cd "$(dirname "$0")/.."
out=fuzz/corpus/runtime_kiff
mkdir -p "$out"

# A 32-bit little-endian word as printf escapes.
word() {
  local v=$(( $1 & 0xFFFFFFFF ))
  printf '\\x%02x\\x%02x\\x%02x\\x%02x' $((v & 255)) $((v >> 8 & 255)) $((v >> 16 & 255)) $((v >> 24 & 255))
}
# An id from its four characters, first character in the top byte.
id() { printf '%d' "$(( $(printf '%d' "'${1:0:1}") << 24 | $(printf '%d' "'${1:1:1}") << 16 | $(printf '%d' "'${1:2:1}") << 8 | $(printf '%d' "'${1:3:1}") ))"; }
# chunk TAG BODY-ESCAPES BODY-LENGTH: header, body and 0x20 padding.
chunk() {
  local pad=$(( (4 - $3 % 4) % 4 )) padding=""
  for ((i = 0; i < pad; i++)); do padding+='\x20'; done
  printf '%s%s%s%s%s' "$(word "$(id "$1")")" "$(word 0)" "$(word "$3")" "$2" "$padding"
}
# container TAG CHILD-ESCAPES...: the size counts the children's bytes.
container() {
  local tag=$1 body="" bytes
  shift
  for child in "$@"; do body+=$child; done
  bytes=$(printf "$body" | wc -c)
  printf '%s%s%s%s' "$(word "$(id "$tag")")" "$(word 0)" "$(word "$bytes")" "$body"
}
seed() { local name=$1; shift; printf "$(printf '%s' "$@")" > "$out/$name"; }

data5=$(chunk DATA '\x01\x02\x03\x04\x05' 5)
fixed=$(chunk FIXD '\x10\x11\x12\x13\x14\x15\x16\x17' 8)
typed=$(chunk TYPD '\xfe\xff\x78\x56\x34\x12\x00\x00\xc0\x3f\x00\x00\x00\x00\x00\x00\x02\xc0\x2a' 19)
other=$(chunk OTHR 'abc' 3)
empty=$(chunk DATA '' 0)

seed empty.kif "$(container FORM)"
seed flat.kif "$(container FORM "$data5" "$fixed" "$typed" "$other")"
seed nested.kif "$(container FORM "$data5" "$(container LIST "$empty" "$(container LIST "$other")")")"
seed inner.kif "$(container FORM "$(container INNR "$fixed" "$data5")" "$typed")"
seed two.kif "$(container FORM "$other")$(container FORM "$fixed")"
