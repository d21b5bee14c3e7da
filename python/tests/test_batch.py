"""search_many against search: a seeded random table of tasks (options, limits, held
dimensions and operating points, some not given) answered at once gives, row for row, the
columns of each search on its own; bad tasks are named by their index before anything runs."""

import math
import random

import numpy
import pandas
import pytest

import cpuwidget

CORES = [1, 2, 4, 8, 16, 32, 64, 128, 192]
CACHES = [1, 4, 16, 64, 256, 512]
SCALES = [1.0, 0.9, 0.7, 0.5, 0.3]


def random_tasks(count, seed):
    names = cpuwidget.model_info()
    pick = random.Random(seed)

    def maybe(value):
        return value if pick.random() < 0.5 else None

    tasks = []
    for _ in range(count):
        task = {key: maybe(pick.choice(names[key])) for key in ("workload", "memory", "transistor", "core", "node")}
        task.update(area=maybe(pick.uniform(0, 400)), power=maybe(pick.uniform(0, 250)),
                    bw=maybe(pick.uniform(0, 90)), tsv=maybe(pick.uniform(0, 600)),
                    cores=maybe(pick.choice(CORES)), cache=maybe(pick.choice(CACHES)))
        if pick.random() < 0.3:
            task["scale"] = pick.choice(SCALES)
        tasks.append(task)
    return tasks


def given(task):
    return {key: value for key, value in task.items() if value is not None}


@pytest.mark.parametrize("jobs", [1, 2])
def test_every_row_is_the_search_of_its_task(jobs):
    tasks = random_tasks(300, seed=18)
    frame = pandas.DataFrame(tasks)  # None becomes NaN in the number columns
    answered = pandas.DataFrame(cpuwidget.search_many(frame, jobs=jobs))
    one_by_one = pandas.concat([pandas.DataFrame(cpuwidget.search(**given(task))) for task in tasks],
                               ignore_index=True)
    pandas.testing.assert_frame_equal(answered, one_by_one, check_exact=True, check_dtype=False)


def test_a_dict_of_lists_and_arrays_is_a_table_of_tasks():
    tasks = {"node": ["32nm", None, "20nm"], "power": numpy.array([80.0, numpy.nan, 120]),
             "scale": [0.5, None, 0.7], "vdd": [0.45, None, None]}
    answered = cpuwidget.search_many(tasks)
    for row in range(3):
        task = given({name: values[row] for name, values in tasks.items()})
        task = {k: v for k, v in task.items() if not (isinstance(v, float) and math.isnan(v))}
        alone = cpuwidget.search(**task)
        for name, values in alone.items():
            assert repr(answered[name][row]) == repr(values[0]), (row, name)


@pytest.mark.parametrize("tasks,error,message", [
    ({"power": [10, -1]}, ValueError, "tasks[1]: power: -1 is out of range"),
    ({"node": ["32nm", "20nm", "7nm"]}, ValueError, "tasks[2]: node: '7nm' is not a technology node"),
    ({"cores": [3]}, ValueError, "tasks[0]: cores: 3 is not a core count"),
    ({"vdd": [None, 0.5]}, ValueError, "tasks[1]: vdd: needs a held scale step"),
    ({"power": [1, 2], "area": [1]}, ValueError, "tasks: column area has 1 values"),
    ({"nodes": ["32nm"]}, TypeError, "unexpected column 'nodes'"),
    ([{"node": "32nm"}], TypeError, "tasks: list"),
])
def test_bad_tasks_are_named_by_their_index(tasks, error, message):
    with pytest.raises(error) as raised:
        cpuwidget.search_many(tasks)
    assert message in str(raised.value)
