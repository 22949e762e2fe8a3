#!/usr/bin/env bash
# Times datpack on a generated archive of 2,000 members, about 100 MB:
#   unpack + pack   the archive unpacked into a new folder, then packed
#                   again from it (checked to be the same bytes)
#   cp -r           the same bytes copied twice the same way: the unpacked
#                   folder copied, then the archive copied
# in alternating pairs (bench/paired_runs.py); aim: the median ratio within 2x.
#
#   bench/bench_datpack.sh [pairs]      (default 5 pairs)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-tools.sh
ensure_tools python3

pairs=${1:-5}
build=${BUILD_DIR:-build/release}
release_build "$build" datpack make_dat || { echo "bench_datpack: the release build failed" >&2; exit 1; }
datpack=$PWD/$build/datpack/datpack
make_dat=$PWD/$build/tools/make_dat

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/members"
# 2,000 members of 10 to 90 kB of incompressible bytes, named like game data.
python3 - "$work/members" <<'PY'
import os, random, sys
rng = random.Random(24)
kinds = ["mip", "pbf", "3do", "wav", "srb"]
for i in range(2000):
    name = "m%04d.%s" % (i, kinds[i % len(kinds)])
    with open(os.path.join(sys.argv[1], name), "wb") as f:
        f.write(rng.randbytes(rng.randint(10000, 90000)))
PY
(cd "$work/members" && "$make_dat" "$work/game.dat" $(ls))
size=$(stat -c %s "$work/game.dat")

cat >"$work/datpack_round.sh" <<SH
#!/bin/sh
rm -rf "$work/out" "$work/again.dat"
"$datpack" unpack -q "$work/game.dat" -o "$work/out" && "$datpack" pack -q "$work/out" -o "$work/again.dat"
SH
cat >"$work/cp_round.sh" <<SH
#!/bin/sh
rm -rf "$work/copy" "$work/copy.dat"
cp -r "$work/members" "$work/copy" && cp "$work/game.dat" "$work/copy.dat"
SH
chmod +x "$work/datpack_round.sh" "$work/cp_round.sh"
"$work/datpack_round.sh"
cmp "$work/game.dat" "$work/again.dat" || { echo "bench_datpack: the round trip changed the archive" >&2; exit 1; }

echo "datpack unpack + pack against cp -r on 2000 members, $size bytes; $pairs pairs"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
read -r ratio wall_a wall_b cpu_a cpu_b n < <(python3 bench/paired_runs.py "$pairs" "$work" \
  "$work/datpack_round.sh" -- "$work/cp_round.sh")
printf 'unpack + pack  %8.0f ms wall %8.0f ms cpu\n' "$wall_a" "$cpu_a"
printf 'cp -r          %8.0f ms wall %8.0f ms cpu\n' "$wall_b" "$cpu_b"
printf 'median ratio   %8.2f (aim: at most 2.00)\n' "$ratio"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
