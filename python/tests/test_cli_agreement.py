"""Every figure of the module against the command-line tool's CSV, to the bit."""

import os

import pytest

import cpuwidget
from conftest import SOURCE_DIR, cli_rows, differences

PARALLEL_95 = os.path.join(SOURCE_DIR, "models", "parallel-0.95.toml")

# (module call, its keyword arguments, the tool's arguments)
SWEEPS = [
    ({}, []),
    ({"area": 150, "power": 60, "jobs": 2}, ["--area", "150", "--power", "60", "--jobs", "2"]),
    ({"cores": 16, "scale": "0.8"}, ["--cores", "16", "--scale", "0.8"]),
    ({"bw": 1, "tsv": 0, "cache": 8}, ["--bw", "1", "--tsv", "0", "--cache", "8"]),
]

OPTIONS = {"workload": "DB2/TPCH", "memory": "3d", "transistor": "HP", "core": "ASIC", "node": "32nm"}
OPTION_ARGS = ["--workload", "DB2/TPCH", "--memory", "3d", "--transistor", "HP", "--core", "ASIC", "--node", "32nm"]

CALLS = [
    ("search", {}, []),
    ("search", OPTIONS, OPTION_ARGS),
    ("search", {"memory": "3D", "scale": 0.7, "vdd": 0.6, "cores": 32, "cache": 4},
     ["--memory", "3D", "--scale", "0.7", "--vdd", "0.6", "--cores", "32", "--cache", "4"]),
    ("search", {"area": 10, "power": 1}, ["--area", "10", "--power", "1"]),
    ("space", OPTIONS, OPTION_ARGS),
    ("space", {"cores": 8, "power": 30}, ["--cores", "8", "--power", "30"]),
    ("explain", {}, []),
    ("explain", dict(OPTIONS, step=25), OPTION_ARGS + ["--step", "25"]),
    ("explain", {"area": 5}, ["--area", "5"]),
    ("budget", {"vary": "power=20:300:7", "series": "memory"}, ["--vary", "power=20:300:7", "--series", "memory"]),
    ("budget", {"vary": "area=50:400:50,power=20:200:30", "jobs": 1}, ["--vary", "area=50:400:50,power=20:200:30", "--jobs", "1"]),
]


@pytest.mark.parametrize("model", [None, PARALLEL_95])
@pytest.mark.parametrize("arguments,cli_arguments", SWEEPS)
def test_sweep_matches_the_tool_on_every_option_set(model, arguments, cli_arguments):
    model_args = ["--model", model] if model else []
    cpuwidget.load_model(model)
    columns = cpuwidget.sweep(**arguments)
    rows = cli_rows("sweep", *cli_arguments, *model_args)
    assert len(rows) == 360
    assert differences(rows, columns) == []


@pytest.mark.parametrize("command,arguments,cli_arguments", CALLS)
def test_each_command_matches_the_tool(command, arguments, cli_arguments):
    columns = getattr(cpuwidget, command)(**arguments)
    rows = cli_rows(command, *cli_arguments)
    if command == "space":
        # The module adds the option columns to every row; the tool's rows hold the figures.
        options = cli_rows("search", *cli_arguments)[0]
        for name in ("workload", "memory", "transistor", "core", "node"):
            assert set(columns[name]) == {options[name]}
        columns = {name: values for name, values in columns.items() if name in rows[0]}
    assert differences(rows, columns) == []


def test_results_make_a_data_frame_with_the_tool_s_columns():
    import pandas

    frame = pandas.DataFrame(cpuwidget.sweep(jobs=1))
    assert list(frame.columns) == list(cli_rows("sweep")[0])
    assert frame.shape == (360, 21)
    assert frame["feasible"].dtype == bool
    assert frame["speedup"].dtype == float
