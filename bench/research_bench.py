"""Whole-process times of the research commands, written to /dev/null: a Pareto front beyond
process start (the front's median time less that of --version), a sensitivity over every number
the option set uses on one thread, and uncertainty studies of 10,000 samples on two threads;
then an uncertainty study of 100,000 samples on Dask (a LocalCluster of two worker processes,
one thread each). Medians of REPEATS runs (the Dask study's of 3).

Usage: PYTHONPATH=build/release/python python3 bench/research_bench.py build/release/cli/cpu-widget-cli
"""

import os
import statistics
import subprocess
import sys
import time

REPEATS = 9

RUNS = [
    ("pareto, DB2/TPCC Niagara LOP 32nm, CSV", ["pareto", "--node", "32nm", "--format", "csv"]),
    ("pareto, ARM LOP/HP 3D memory 20nm, CSV",
     ["pareto", "--core", "ARM", "--transistor", "LOP/HP", "--memory", "3d", "--node", "20nm", "--format", "csv"]),
    ("sensitivity, 32nm, --jobs 1", ["sensitivity", "--node", "32nm", "--jobs", "1"]),
    ("sensitivity, ARM LOP/HP 3D memory 20nm, --jobs 1",
     ["sensitivity", "--core", "ARM", "--transistor", "LOP/HP", "--memory", "3d", "--node", "20nm", "--jobs", "1"]),
    ("uncertainty, 10,000 samples, 32nm, --jobs 2", ["uncertainty", "--node", "32nm", "--samples", "10000", "--jobs", "2"]),
    ("uncertainty, 10,000 samples, ARM LOP/HP 3D memory 20nm, --jobs 2",
     ["uncertainty", "--core", "ARM", "--transistor", "LOP/HP", "--memory", "3d", "--node", "20nm",
      "--samples", "10000", "--jobs", "2"]),
]


def median_seconds(command, repeats=REPEATS):
    times = []
    for _ in range(repeats):
        with open(os.devnull, "wb") as sink:
            start = time.perf_counter()
            subprocess.run(command, stdout=sink, check=True)
            times.append(time.perf_counter() - start)
    return statistics.median(times)


def dask_study():
    from distributed import Client, LocalCluster

    import cpuwidget.dask

    with LocalCluster(n_workers=2, threads_per_worker=1) as cluster, Client(cluster) as client:
        times = []
        for _ in range(3):
            start = time.perf_counter()
            summary = cpuwidget.dask.uncertainty(client=client, node="32nm", samples=100_000, seed=1)
            times.append(time.perf_counter() - start)
    return statistics.median(times), summary


def main(cli):
    start_up = median_seconds([cli, "--version"])
    print(f"process start (--version): {start_up * 1e3:.1f} ms")
    for name, arguments in RUNS:
        seconds = median_seconds([cli, *arguments])
        beyond = f" ({(seconds - start_up) * 1e3:.1f} ms beyond process start)" if arguments[0] == "pareto" else ""
        print(f"{name}: {seconds * 1e3:.1f} ms{beyond}")
    seconds, summary = dask_study()
    print(f"uncertainty on Dask, 100,000 samples, LocalCluster of 2 workers: {seconds:.2f} s, "
          f"{len(summary)} configurations ever the best")


if __name__ == "__main__":
    main(sys.argv[1])
