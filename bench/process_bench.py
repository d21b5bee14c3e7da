"""Whole-process times of the command-line tool measured side by side, as ratios:

- `search` against `/bin/true` (a command that draws nothing loads no drawing library);
- `plot --chart scaling -o FILE.png` against `/bin/true` (a picture command loads them when it
  draws);
- `sweep --model FILE` with a model file that changes nothing against `sweep` on the built-in
  model (the scan for figures that are not finite that a model file brings).

With a second program (an earlier build), each of those commands also runs against the same
command of that build: the figures before and after a change.

The commands of a pair run alternately, REPEATS times each, so that whatever else the machine
does weighs on both alike; the figures are the medians. Nothing is written but /dev/null and
one scratch folder.

Usage: python3 bench/process_bench.py build/release/cli/cpu-widget-cli [EARLIER_CPU_WIDGET_CLI]
"""

import os
import statistics
import subprocess
import sys
import tempfile
import time

REPEATS = 41


def run_once(command):
    with open(os.devnull, "wb") as sink:
        start = time.perf_counter()
        status = subprocess.call(command, stdout=sink, stderr=sink)
        seconds = time.perf_counter() - start
    if status != 0:
        sys.exit(f"{' '.join(command)} failed with status {status}")
    return seconds


def side_by_side(first, second):
    """Medians of the two commands run alternately."""
    times = ([], [])
    for _ in range(REPEATS):
        times[0].append(run_once(first))
        times[1].append(run_once(second))
    return statistics.median(times[0]), statistics.median(times[1])


def main(cli, earlier=None):
    with tempfile.TemporaryDirectory() as folder:
        same = os.path.join(folder, "same.toml")
        with open(same, "w") as f:
            f.write('format_version = 1\nextends = "built-in"\n')
        picture = os.path.join(folder, "scaling.png")
        pairs = [
            ("search against /bin/true", [cli, "search"], ["/bin/true"]),
            ("plot --chart scaling -o scaling.png against /bin/true",
             [cli, "plot", "--chart", "scaling", "-o", picture], ["/bin/true"]),
            ("sweep --model FILE (changes nothing) against sweep",
             [cli, "sweep", "--model", same], [cli, "sweep"]),
        ]
        if earlier:
            pairs += [
                ("search against the earlier build", [cli, "search"], [earlier, "search"]),
                ("plot --chart scaling -o scaling.png against the earlier build",
                 [cli, "plot", "--chart", "scaling", "-o", picture],
                 [earlier, "plot", "--chart", "scaling", "-o", picture]),
                ("sweep --model FILE against the earlier build", [cli, "sweep", "--model", same],
                 [earlier, "sweep", "--model", same]),
            ]
        for name, command, reference in pairs:
            measured, base = side_by_side(command, reference)
            print(f"{name}: {measured * 1e3:.1f} ms against {base * 1e3:.1f} ms, "
                  f"{measured / base:.2f}x")


if __name__ == "__main__":
    main(*sys.argv[1:3])
