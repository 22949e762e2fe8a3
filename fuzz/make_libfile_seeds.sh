#!/usr/bin/env bash
# Regenerates the seed corpus of runtime_libfile_fuzz with the make_dat tool:
# well-formed archives and copies with one fault each (directory cut short,
# too many entries, a member past the end, a foreign member type, a name
# without its terminator).
#   fuzz/make_libfile_seeds.sh <build dir holding tools/make_dat>
set -euo pipefail
cd "$(dirname "$0")/.."
make_dat=$(realpath "${1:-build/asan}/tools/make_dat")
out=$(realpath -m fuzz/corpus/runtime_libfile)
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
printf 'first member' > one.txt
printf 'second' > TWO.TXT
: > empty
seq 1 800 | tr -d '\n' | head -c 3000 > twelve12.big
"$make_dat" "$out/two_members.dat" one.txt TWO.TXT
"$make_dat" "$out/four_members.dat" one.txt TWO.TXT twelve12.big empty
good="$out/two_members.dat"
patch() {  # <name> <offset> <bytes as printf escapes>
  cp "$good" "$out/$1"
  printf "$3" | dd of="$out/$1" bs=1 seek="$2" conv=notrunc status=none
}
head -c 40 "$good" > "$out/cut_directory.dat"
head -c -3 "$good" > "$out/cut_member.dat"
patch count_501.dat 0 '\365\001'
patch foreign_type.dat 3 '\001'
patch unterminated_name.dat 12 'ooooooooooooo'
patch offset_beyond.dat 52 '\377\377\377\177'
