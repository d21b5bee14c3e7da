"""Times of the Python package against the command-line tool: the 360-set sweep; one search
call's cost beyond the engine's (bench_batch's time for the same search); search_many over 10,080 searches on one thread and on two; a
study of 10,080 searches on a LocalCluster of one worker and of two (the cluster's start not
counted); and the searches a second beside a thread that exports the model. Medians of REPEATS
runs.

Usage: PYTHONPATH=build/release/python /usr/bin/python3 bench/python_bench.py build/release/cli/cpu-widget-cli
"""

import json
import subprocess
import sys
import threading
import time
from pathlib import Path

import pandas
from distributed import Client, LocalCluster

import cpuwidget
import timing
from cpuwidget.dask import run_study

REPEATS = 5


def median_seconds(work, repeats=REPEATS):
    return timing.median_seconds(work, repeats)


def engine_seconds(cli):
    """The engine's time for each of bench_batch's one_search cases, in seconds."""
    bench = Path(cli).resolve().parent.parent / "bench" / "bench_batch"
    output = subprocess.run([bench, "--benchmark_filter=one_search", "--benchmark_format=json",
                             "--benchmark_repetitions=5", "--benchmark_report_aggregates_only=true"],
                            capture_output=True, text=True, check=True).stdout
    medians = [b for b in json.loads(output)["benchmarks"] if b.get("aggregate_name") == "median"]
    return [b["real_time"] * {"us": 1e-6, "ns": 1e-9, "ms": 1e-3}[b["time_unit"]] for b in medians]


def main(cli):
    for jobs in (1, 2):
        python = median_seconds(lambda: cpuwidget.sweep(jobs=jobs))
        frame = median_seconds(lambda: pandas.DataFrame(cpuwidget.sweep(jobs=jobs)))
        tool = median_seconds(
            lambda: subprocess.run([cli, "sweep", "--jobs", str(jobs), "--format", "csv"],
                                   stdout=subprocess.DEVNULL, check=True))
        print(f"sweep, jobs {jobs}: cpuwidget.sweep {python * 1e3:.1f} ms, with DataFrame "
              f"{frame * 1e3:.1f} ms, cpu-widget-cli sweep --format csv {tool * 1e3:.1f} ms")

    # One call's cost beyond the engine's: a search call against the same search run by the
    # engine alone (bench_batch's one_search, beside the tool: the study layer's search_best,
    # in C++ without Python).
    engine = engine_seconds(cli)
    for case, arguments in enumerate(({}, {"node": "32nm", "memory": "3d", "power": 100},
                                      {"cores": 16, "cache": 8, "scale": 0.5})):
        calls = 3000
        call = median_seconds(lambda: [cpuwidget.search(**arguments) for _ in range(calls)]) / calls
        print(f"search({arguments}): {call * 1e6:.1f} us a call, {engine[case] * 1e6:.1f} us in "
              f"the engine: {(call - engine[case]) * 1e6:.1f} us beyond it")

    names = cpuwidget.model_info()
    many = pandas.DataFrame(
        [{"workload": w, "memory": me, "transistor": t, "core": c, "node": n, "power": p}
         for w in names["workload"] for me in names["memory"] for t in names["transistor"]
         for c in names["core"] for n in names["node"] for p in range(50, 190, 5)])
    times = {jobs: median_seconds(lambda: cpuwidget.search_many(many, jobs=jobs)) for jobs in (1, 2)}
    print(f"search_many over {len(many)} searches: {times[1] * 1e3:.0f} ms on one thread, "
          f"{times[2] * 1e3:.0f} ms on two ({times[1] / times[2]:.2f} x)")

    # Searches beside a thread that exports the model in a loop: export_model releases the GIL
    # while it works, so the searches go on (2,810 a second while it held it, 10,928 since).
    stop = threading.Event()

    def export_in_a_loop():
        while not stop.is_set():
            cpuwidget.export_model()

    exporter = threading.Thread(target=export_in_a_loop)
    exporter.start()
    searches, start = 0, time.perf_counter()
    while time.perf_counter() - start < 1.0:
        cpuwidget.search()
        searches += 1
    stop.set()
    exporter.join()
    print(f"searches in 1 s beside a thread exporting the model: {searches}")

    fractions = [0.9, 0.95, 0.97, 0.98, 0.99, 0.995, 0.999]
    models = {f"p{f}": f'format_version = 1\nextends = "built-in"\n[constants]\n'
                        f"parallel_fraction = {f}\n" for f in fractions}
    tasks = [{"model": m, "workload": w, "memory": me, "transistor": t, "core": c, "node": n,
              "power": p}
             for m in models for w in names["workload"] for me in names["memory"]
             for t in names["transistor"] for c in names["core"] for n in names["node"]
             for p in (50, 100, 150, 200)]
    seconds = {}
    for workers in (1, 2):
        with LocalCluster(n_workers=workers, threads_per_worker=1,
                          dashboard_address=None) as cluster, Client(cluster) as client:
            run_study(tasks[:500], models=models, client=client)  # workers warmed up
            seconds[workers] = median_seconds(
                lambda: run_study(tasks, models=models, client=client), 3)
        print(f"study of {len(tasks)} searches, {workers} worker(s): {seconds[workers]:.2f} s")
    print(f"2 workers against 1: {seconds[1] / seconds[2]:.2f} x")


if __name__ == "__main__":
    main(sys.argv[1])
