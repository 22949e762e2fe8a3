#!/usr/bin/env python3
"""Runs two commands in turn, pair after pair, and compares them.

    paired_runs.py RUNS DIRECTORY COMMAND_A... -- COMMAND_B...

Each run is a new process started directly (no shell in between) in
DIRECTORY with standard output and error discarded. The two commands of a
pair run back to back, the one of them first in even pairs and the other in
odd pairs, so that a slow spell of a shared machine weighs on both alike;
the ratio of each pair is A's wall time over B's, and the median of those
ratios is the figure to quote. One warm-up pair runs first and is not
counted.

Prints one line of six numbers: the median pair ratio, the medians of A's
and B's wall times and CPU times (user + system) in milliseconds, and the
number of pairs. (Peak memory is not measured here: a child started from
this interpreter counts the interpreter's memory as its own until it has
replaced itself with the command.)
"""
import os
import statistics
import sys
import time


def run_once(directory, command):
    """Wall seconds and the child's own resource use (from wait4)."""
    null = os.open(os.devnull, os.O_WRONLY)
    try:
        actions = [(os.POSIX_SPAWN_DUP2, null, 1), (os.POSIX_SPAWN_DUP2, null, 2)]
        cwd = os.getcwd()
        os.chdir(directory)
        try:
            start = time.perf_counter()
            pid = os.posix_spawnp(command[0], command, os.environ, file_actions=actions)
            _, status, usage = os.wait4(pid, 0)
            wall = time.perf_counter() - start
        finally:
            os.chdir(cwd)
    finally:
        os.close(null)
    return wall, usage, os.waitstatus_to_exitcode(status)


def main():
    runs, directory = int(sys.argv[1]), sys.argv[2]
    rest = sys.argv[3:]
    split = rest.index("--")
    commands = (rest[:split], rest[split + 1:])
    samples = ([], [])
    ratios = []
    for pair in range(-1, runs):
        order = (0, 1) if pair % 2 == 0 else (1, 0)
        walls = [0.0, 0.0]
        for which in order:
            wall, usage, _ = run_once(directory, commands[which])
            walls[which] = wall
            if pair >= 0:
                samples[which].append((wall, usage))
        if pair >= 0:
            ratios.append(walls[0] / walls[1])

    def median_ms(which, value):
        return statistics.median(value(s) for s in samples[which]) * 1000

    fields = [statistics.median(ratios)]
    fields += [median_ms(w, lambda s: s[0]) for w in (0, 1)]
    fields += [median_ms(w, lambda s: s[1].ru_utime + s[1].ru_stime) for w in (0, 1)]
    fields.append(runs)
    print(" ".join("%.3f" % f if isinstance(f, float) else str(f) for f in fields))


if __name__ == "__main__":
    main()
