"""The research functions (pareto, sensitivity, uncertainty, and the objectives, energy
columns and power terms of search, sweep, space and explain) against the command-line tool's
CSV to the bit, their bad arguments worded as the tool words them, and uncertainty on Dask
against one call."""

import subprocess

import pandas
import pytest

import cpuwidget
import cpuwidget.dask
from conftest import CLI, cli_rows, differences

OPTIONS = {"memory": "3d", "transistor": "LOP/HP", "core": "ARM", "node": "20nm"}
OPTION_ARGS = ["--memory", "3d", "--transistor", "LOP/HP", "--core", "ARM", "--node", "20nm"]

CALLS = [
    ("pareto", {}, []),
    ("pareto", dict(OPTIONS, objectives=["energy", "area"], power=80), OPTION_ARGS + ["--objectives", "energy,area", "--power", "80"]),
    ("pareto", {"objectives": "speedup,bandwidth,speedup_per_watt", "scale": 0.6}, ["--objectives", "speedup,bandwidth,speedup_per_watt", "--scale", "0.6"]),
    ("sensitivity", OPTIONS, OPTION_ARGS),
    ("sensitivity", {"spread": 25, "node": "32nm", "jobs": 1}, ["--spread", "25", "--node", "32nm", "--jobs", "1"]),
    ("uncertainty", dict(OPTIONS, samples=300, seed=9), OPTION_ARGS + ["--samples", "300", "--seed", "9"]),
    ("uncertainty", {"samples": 200, "spread": 5, "per_sample": True}, ["--samples", "200", "--spread", "5", "--per-sample"]),
    ("search", dict(OPTIONS, objective="edp"), OPTION_ARGS + ["--objective", "edp"]),
    ("search", {"energy": True, "scale": 0.5}, ["--energy", "--scale", "0.5"]),
    ("space", dict(OPTIONS, energy=True, cores=16), OPTION_ARGS + ["--energy", "--cores", "16"]),
    ("search", dict(OPTIONS, energy=True, breakdown=True), OPTION_ARGS + ["--energy", "--breakdown"]),
    ("space", {"breakdown": True, "cache": 16}, ["--breakdown", "--cache", "16"]),
    ("explain", {"breakdown": True, "memory": "3d", "node": "32nm"}, ["--breakdown", "--memory", "3d", "--node", "32nm"]),
    ("sweep", {"objective": "speedup_per_watt", "power": 50}, ["--objective", "speedup_per_watt", "--power", "50"]),
    ("budget", {"vary": "power=10:200:10", "series": "core", "objective": "energy"}, ["--vary", "power=10:200:10", "--series", "core", "--objective", "energy"]),
    ("budget", {"vary": "area=50:300:50,power=20:200:30", "objective": "edp"}, ["--vary", "area=50:300:50,power=20:200:30", "--objective", "edp"]),
]


@pytest.mark.parametrize("command,arguments,cli_arguments", CALLS)
def test_research_call_matches_the_tool(command, arguments, cli_arguments):
    columns = getattr(cpuwidget, command)(**arguments)
    rows = cli_rows(command, *cli_arguments)
    assert rows
    assert differences(rows, columns) == []


def test_default_search_sweep_and_space_keep_their_columns():
    assert list(cpuwidget.search(objective="speedup")) == list(cpuwidget.search())
    assert "energy_j" in cpuwidget.search(energy=True)
    assert "energy_j" not in cpuwidget.space(energy=False, cores=8)
    assert list(cpuwidget.search(breakdown=False)) == list(cpuwidget.search())
    assert "power_l2_leakage_w" in cpuwidget.search(breakdown=True)


# (command, keyword arguments, the tool's arguments): the same refusal, "--" left out.
REFUSED = [
    ("pareto", {"objectives": "speedup,latency"}, ["--objectives", "speedup,latency"]),
    ("pareto", {"objectives": ["speedup"]}, ["--objectives", "speedup"]),
    ("pareto", {"objectives": "speedup,power,area,energy"}, ["--objectives", "speedup,power,area,energy"]),
    ("search", {"objective": "fastest"}, ["--objective", "fastest"]),
    ("sensitivity", {"spread": -10}, ["--spread", "-10"]),
    ("uncertainty", {"samples": 0}, ["--samples", "0"]),
]


@pytest.mark.parametrize("command,arguments,cli_arguments", REFUSED)
def test_bad_argument_is_the_tools_refusal(command, arguments, cli_arguments):
    with pytest.raises(ValueError) as refused:
        getattr(cpuwidget, command)(**arguments)
    done = subprocess.run([CLI, command, *cli_arguments], capture_output=True, text=True)
    assert done.returncode == 2 and done.stdout == ""
    assert done.stderr == "cpu-widget-cli: --" + str(refused.value) + "\n"


def test_bad_types_and_ranges():
    with pytest.raises(ValueError, match="ranges: 'workload.Apache/Web.cpi' is not a number of the model"):
        cpuwidget.uncertainty(ranges={"workload.Apache/Web.cpi": (1, 2)})
    with pytest.raises(ValueError, match="is not a \\(low, high\\) pair"):
        cpuwidget.uncertainty(ranges={"constants.parallel_fraction": 0.9})
    with pytest.raises(ValueError, match="energy: 1 is not True or False"):
        cpuwidget.search(energy=1)
    with pytest.raises(TypeError, match="unexpected keyword argument 'spread'"):
        cpuwidget.pareto(spread=3)


def test_uncertainty_on_dask_is_one_call():
    arguments = {"node": "45nm", "samples": 2500, "seed": 11}
    rows = cpuwidget.dask.uncertainty(block_size=600, per_sample=True, **arguments)
    assert rows.equals(pandas.DataFrame(cpuwidget.uncertainty(per_sample=True, **arguments)))
    summary = cpuwidget.dask.uncertainty(block_size=700, **arguments)
    assert summary.equals(pandas.DataFrame(cpuwidget.uncertainty(**arguments)))
    with pytest.raises(ValueError, match="samples: 0 is out of range"):
        cpuwidget.dask.uncertainty(samples=0)


ASCENDING_SCALES = 'format_version = 1\nextends = "built-in"\n[axes]\nscale_steps = [0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 1.0]\n'


@pytest.mark.parametrize("model", [None, ASCENDING_SCALES])
def test_uncertainty_on_dask_orders_tied_rows_as_the_model_does(model):
    """Winners with equal counts come in the search's order of the model's axes."""
    arguments = {"samples": 40, "spread": 30, "node": "32nm"}
    cpuwidget.load_model(text=model) if model else cpuwidget.load_model()
    alone = pandas.DataFrame(cpuwidget.uncertainty(**arguments))
    cpuwidget.load_model()
    on_dask = cpuwidget.dask.uncertainty(model=model, block_size=7, **arguments)
    assert alone["samples"].duplicated().any()  # there are ties to order
    pandas.testing.assert_frame_equal(on_dask, alone, check_exact=True)


def test_empty_uncertainty_has_the_typed_columns_of_the_dask_study():
    alone = pandas.DataFrame(cpuwidget.uncertainty(power=0.001, samples=5))
    on_dask = cpuwidget.dask.uncertainty(power=0.001, samples=5)
    assert len(alone) == 0
    pandas.testing.assert_frame_equal(alone, on_dask)


def test_empty_pareto_front_has_space_s_typed_columns():
    empty = cpuwidget.pareto(node="32nm", memory="3d", power=0.001)
    full = cpuwidget.pareto(node="32nm", memory="3d")
    assert [(name, values.dtype) for name, values in empty.items()] == [
        (name, values.dtype) for name, values in full.items()]
    assert all(len(values) == 0 for values in empty.values())
