"""Whole-process times and peak memory of the command-line tool's streamed output: the budget
map of 200 x 200 points as CSV and JSON, a budget of 1,000,000 points as CSV, and the sweep,
each written to /dev/null. Medians of REPEATS runs; peak memory is the largest resident size
of any run (from wait4).

Usage: python3 bench/output_bench.py build/release/cli/cpu-widget-cli
"""

import os
import statistics
import subprocess
import sys
import time

REPEATS = 7

RUNS = [
    ("budget map 200 x 200, CSV", ["budget", "--vary", "area=2:400:2,power=1.5:300:1.5", "--format", "csv"]),
    ("budget map 200 x 200, JSON", ["budget", "--vary", "area=2:400:2,power=1.5:300:1.5", "--format", "json"]),
    ("budget map 200 x 200, text", ["budget", "--vary", "area=2:400:2,power=1.5:300:1.5"]),
    ("budget of 1,000,000 points, CSV", ["budget", "--vary", "power=0.0003:300:0.0003", "--format", "csv"]),
    ("budget map of 1,000,000 points, CSV", ["budget", "--vary", "area=0.4:400:0.4,power=0.3:300:0.3", "--format", "csv"]),
    ("sweep, CSV", ["sweep", "--format", "csv"]),
]


def run_once(command):
    with open(os.devnull, "wb") as sink:
        start = time.perf_counter()
        child = subprocess.Popen(command, stdout=sink)
        _, status, usage = os.wait4(child.pid, 0)
        seconds = time.perf_counter() - start
    if status != 0:
        sys.exit(f"{' '.join(command)} failed with status {status}")
    return seconds, usage.ru_maxrss  # KiB


def main(cli):
    for name, arguments in RUNS:
        runs = [run_once([cli, *arguments]) for _ in range(REPEATS)]
        seconds = statistics.median(s for s, _ in runs)
        peak = max(kib for _, kib in runs) / 1024
        print(f"{name}: {seconds * 1e3:.0f} ms, peak {peak:.1f} MB")


if __name__ == "__main__":
    main(sys.argv[1])
