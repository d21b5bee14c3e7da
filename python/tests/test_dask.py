"""A study on a LocalCluster of two workers: the same rows as the calls made here, in task
order, under each task's model."""

import numpy
import pandas
import pytest
from distributed import Client, LocalCluster

import cpuwidget
from cpuwidget.dask import run_study

P95 = 'format_version = 1\nextends = "built-in"\n[constants]\nparallel_fraction = 0.95\n'

TASKS = [
    {"node": "32nm", "memory": "3d"},
    {"model": "p95", "node": "32nm", "memory": "3d"},
    {"command": "explain", "model": "p95", "workload": "Apache/Web"},
    {"command": "budget", "vary": "power=20:200:20", "series": "core"},
    {"model": "p95", "area": 1},
] + [{"model": m, "core": c, "power": p} for m in (None, "p95") for c in ("ARM", "FPGA") for p in (30, 90)] + [
    # Every command, and searches with keywords beyond search_many's columns.
    {"command": "sweep", "node": ["32nm", "20nm"], "core": "ARM", "flags": True},
    {"command": "space", "node": "20nm", "cores": 8, "cache": 4, "energy": True},
    {"command": "pareto", "model": "p95", "node": "32nm", "objectives": "speedup,power"},
    {"command": "sensitivity", "node": "32nm"},
    {"command": "uncertainty", "samples": 5, "per_sample": True},
    {"objective": "energy", "node": "32nm"},
    {"model": "p95", "parallel_fraction": 0.9, "flags": True},
]


def expected():
    frames = []
    for index, task in enumerate(TASKS):
        arguments = dict(task)
        command = arguments.pop("command", "search")
        model = arguments.pop("model", None)
        cpuwidget.load_model(text=P95) if model else cpuwidget.load_model()
        frame = pandas.DataFrame(getattr(cpuwidget, command)(**arguments))
        frame.insert(0, "command", command)
        frame.insert(0, "model", model)
        frame.insert(0, "task", index)
        frames.append(frame)
    cpuwidget.load_model()
    return pandas.concat(frames, ignore_index=True)


@pytest.fixture(scope="module")
def client():
    with LocalCluster(n_workers=2, threads_per_worker=2, dashboard_address=None) as cluster:
        with Client(cluster) as client:
            yield client


@pytest.mark.parametrize("batch_size", [1, 3, 250])
def test_study_on_two_workers_gives_the_rows_of_the_calls(client, batch_size):
    got = run_study(TASKS, models={"p95": P95}, client=client, batch_size=batch_size)
    want = expected()
    assert list(got["task"]) == list(want["task"])
    assert set(got.columns) == set(want.columns)
    for name in want.columns:
        a, b = got[name].to_numpy(), want[name].to_numpy()
        if a.dtype.kind == "f" and b.dtype.kind == "f":
            assert numpy.array_equal(a, b, equal_nan=True), name
        else:
            assert [x if x == x else None for x in a] == [x if x == x else None for x in b], name


def test_study_without_a_client_uses_dask_s_default_scheduler():
    got = run_study(TASKS[:2], models={"p95": P95})
    assert got["speedup"][0] > got["speedup"][1]


@pytest.mark.parametrize(
    "tasks,models,words",
    [
        ([{"command": "plot"}], None, "command 'plot'"),
        ([{"model": "p90"}], {"p95": P95}, "model 'p90'"),
        (["search"], None, "accepted: a dict"),
        ([{}], {"p95": 0.95}, "models: 'p95'"),
        ([{}, {"model": "p95", "power": "x"}], {"p95": P95}, r"tasks\[1\]: power: 'x' is not a number"),
        ([{"node": "7nm"}], None, r"tasks\[0\]: node: '7nm' is not a technology node"),
        ([{"command": "budget"}], None, r"tasks\[0\]: vary: missing"),
        ([{}], {None: P95}, "models: None is not a name"),
        ([{}], {"p95": "models/parallel-0.95.toml"}, "models: 'p95' is 'models/parallel-0.95.toml', a file name"),
        ([{}], {"p95": P95 + "speed = 1\n"}, "models: 'p95': <text>:5"),
    ],
)
def test_bad_study_is_refused_before_anything_runs(tasks, models, words):
    with pytest.raises(ValueError, match=words):
        run_study(tasks, models=models)


def test_bad_task_argument_raises_the_module_s_error(client):
    with pytest.raises(ValueError, match="node: '7nm' is not a technology node"):
        run_study([{"node": "7nm"}], client=client)
    with pytest.raises(TypeError, match=r"tasks\[2\]: search\(\) got an unexpected keyword argument 'speed'"):
        run_study([{}, {}, {"speed": 1}], client=client)
    assert cpuwidget.model_info()["source"] == "built-in"
