"""Times of the commands that compare the model with real chips, as a person runs them:
`validate` of the shipped table and `calibrate` of three fields over it as whole processes,
less the process start (`--version`'s time), and one `cpuwidget.evaluate` call's cost beyond the
engine's (bench_chips' evaluate_one). Targets: 20 ms, 1 s and 20 us. Medians of REPEATS runs.

Usage: PYTHONPATH=build/release/python /usr/bin/python3 bench/chips_bench.py build/release/cli/cpu-widget-cli
"""

import json
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import cpuwidget
import timing

REPEATS = 9
FIELDS = "node.45nm.fmax_LOP,node.65nm.fmax_HP,reference_chip.Cgate"


def median_seconds(work, repeats=REPEATS):
    return timing.median_seconds(work, repeats)


def process(*arguments):
    return lambda: subprocess.run(arguments, stdout=subprocess.DEVNULL, check=True)


def engine_seconds(cli):
    bench = Path(cli).resolve().parent.parent / "bench" / "bench_chips"
    output = subprocess.run([bench, "--benchmark_filter=evaluate_one$", "--benchmark_format=json",
                             "--benchmark_repetitions=5", "--benchmark_report_aggregates_only=true"],
                            capture_output=True, text=True, check=True).stdout
    [median] = [b for b in json.loads(output)["benchmarks"] if b.get("aggregate_name") == "median"]
    return median["real_time"] * {"us": 1e-6, "ns": 1e-9, "ms": 1e-3}[median["time_unit"]]


def main(cli):
    start = median_seconds(process(cli, "--version"))
    validate = median_seconds(process(cli, "validate"))
    print(f"validate of the shipped table: {(validate - start) * 1e3:.1f} ms beyond the process "
          f"start ({start * 1e3:.1f} ms)")
    with tempfile.TemporaryDirectory() as folder:
        target = str(Path(folder) / "fitted.toml")
        calibrate = median_seconds(process(cli, "calibrate", "--fit", FIELDS, "-o", target), 5)
    print(f"calibrate of 3 fields ({FIELDS}): {(calibrate - start) * 1e3:.0f} ms beyond the "
          f"process start")
    calls = 20000
    arguments = dict(cores=9, cache=3, vdd=0.75, freq=2.0)
    call = median_seconds(lambda: [cpuwidget.evaluate(**arguments) for _ in range(calls)], 5) / calls
    # The processor time too: on a shared machine the wall clock counts other programs' turns.
    start_cpu = time.process_time()
    for _ in range(calls):
        cpuwidget.evaluate(**arguments)
    cpu = (time.process_time() - start_cpu) / calls
    engine = engine_seconds(cli)
    print(f"evaluate({arguments}): {call * 1e6:.1f} us a call ({cpu * 1e6:.1f} us of processor "
          f"time), {engine * 1e6:.1f} us in the engine, {(call - engine) * 1e6:.1f} us beyond it")


if __name__ == "__main__":
    main(sys.argv[1])
