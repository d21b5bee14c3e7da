"""How search_many reads its columns: through numpy's own conversion, whatever the strides,
dtype, mask or nullable type, or refused with the column (and the row) named; never read
outside the array. A seeded random table of frames checks both against search row by row."""

import random
import re

import numpy
import pandas
import pytest

import cpuwidget


def limits(result):
    return result["power_limit_w"].tolist()


def searched(powers):
    """What search_many answers for a contiguous float64 column of these powers."""
    return limits(cpuwidget.search_many({"power": numpy.ascontiguousarray(powers, dtype=float)}))


POWERS = pandas.DataFrame({"power": [50.0, 60, 70, 80, 90, 100], "cores": [8, 16, 32, 64, 128, 192]})
BLOCK = pandas.DataFrame(numpy.array([[150.0, 8], [160, 16], [170, 32]]), columns=["power", "cores"])


@pytest.mark.parametrize("tasks,powers", [
    (POWERS.iloc[::2], [50, 70, 90]),
    (POWERS.iloc[::-1], [100, 90, 80, 70, 60, 50]),
    (POWERS.iloc[1::3], [60, 90]),
    (BLOCK, [150, 160, 170]),  # a column of a 2-D block: strided
    ({"power": numpy.arange(50.0, 110.0, 10.0)[::-2]}, [100, 80, 60]),
    ({"power": numpy.array([50, 70], dtype=">f8")}, [50, 70]),  # the other byte order
    ({"power": numpy.array([50, 70], dtype=numpy.float32)}, [50, 70]),
    ({"power": numpy.array([50, 70], dtype=numpy.uint8)[::-1]}, [70, 50]),
])
def test_any_layout_of_a_column_reads_its_own_values(tasks, powers):
    assert limits(cpuwidget.search_many(tasks)) == [float(p) for p in powers]


def test_a_frame_from_a_2d_array_reads_down_its_columns():
    answered = pandas.DataFrame(cpuwidget.search_many(BLOCK))
    alone = pandas.concat([pandas.DataFrame(cpuwidget.search(power=p, cores=c)) for p, c in [(150, 8), (160, 16), (170, 32)]],
                          ignore_index=True)
    pandas.testing.assert_frame_equal(answered, alone, check_exact=True)


def test_a_long_reversed_column_is_read_whole():
    powers = numpy.linspace(10.0, 200.0, 300_000)
    answered = cpuwidget.search_many({"power": powers[::-1]}, jobs=2)
    assert answered["power_limit_w"].tobytes() == powers[::-1].copy().tobytes()


def test_a_full_reversed_column_is_its_value_everywhere():
    rows = 2_000_000  # every dimension held: a configuration each, no search
    held = {"cores": numpy.full(rows, 8)[::-1], "cache": numpy.full(rows, 4.0), "scale": numpy.full(rows, 1.0)}
    answered = cpuwidget.search_many({"power": numpy.full(rows, 100.0)[::-1], **held}, jobs=2)
    assert set(answered["power_limit_w"].tolist()) == {100.0}
    assert set(answered["cores"].tolist()) == {8}


@pytest.mark.parametrize("tasks,message", [
    ({"cores": "12"}, "tasks: column cores is text ('12'), not a column"),
    ({"node": b"32nm"}, "tasks: column node is text"),
    ({"node": {"32nm", "20nm"}}, "tasks: column node is a set, which has no order"),
    ({"node": {"a": "32nm"}}, "tasks: column node is not a sequence (dict)"),
    ({"power": 5.0}, "tasks: column power is not a sequence (float)"),
    ({"power": numpy.zeros((2, 2))}, "tasks: column power has 2 dimensions"),
    ({"power": pandas.DataFrame({"a": [1.0], "b": [2.0]})}, "tasks: column power has 2 dimensions"),
    ({"power": numpy.float64(3.0)}, "tasks: column power is not a sequence (float64)"),
    ({"power": numpy.array(3.0)}, "tasks: column power has 0 dimensions"),
    ({"power": numpy.array([100, 200], dtype="m8[ns]")}, "tasks[0]: power: numpy.timedelta64(100,'ns') is not a number"),
    ({"power": pandas.Series(pandas.to_timedelta([1, 2], unit="s"))}, "tasks[0]: power: numpy.timedelta64(1000000000,'ns')"),
    ({"power": [None, numpy.datetime64("2020-01-01")]}, "tasks[1]: power: numpy.datetime64("),
    ({"power": numpy.array([True, False])}, "tasks[0]: power: True is not a number"),
    (pandas.DataFrame(index=range(3)), "tasks: 3 rows and no columns"),
    (pandas.DataFrame([[1.0, 2.0]], columns=["power", "power"]), "tasks: column power is given 2 times"),
])
def test_what_cannot_be_read_is_refused_naming_the_column(tasks, message):
    with pytest.raises(ValueError) as refused:
        cpuwidget.search_many(tasks)
    assert message in str(refused.value)
    assert "accepted: " in str(refused.value)


def test_a_time_span_is_no_number_for_search_either():
    with pytest.raises(ValueError, match=r"power: numpy.timedelta64\(100,'ns'\) is not a number"):
        cpuwidget.search(power=numpy.timedelta64(100, "ns"))


def test_masked_values_are_values_not_given():
    default = limits(cpuwidget.search())[0]
    powers = numpy.ma.masked_array([50.0, 100.0, 70.0], mask=[True, False, False])
    assert limits(cpuwidget.search_many({"power": powers[::-1]})) == [70.0, 100.0, default]
    nodes = numpy.ma.masked_array(["32nm", "7nm"], mask=[False, True])
    assert cpuwidget.search_many({"node": nodes})["node"].tolist() == ["32nm", "65nm"]


def test_pandas_na_in_nullable_columns_is_a_value_not_given():
    tasks = pandas.DataFrame({
        "cores": pandas.Series([8, None, 16], dtype="Int64"),
        "power": pandas.Series([50.5, None, None], dtype="Float64"),
        "node": pandas.Series(["32nm", None, "20nm"], dtype="string"),
        "cache": pandas.Series([None, 4, None], dtype="UInt16"),
    })
    with_none = {"cores": [8, None, 16], "power": [50.5, None, None], "node": ["32nm", None, "20nm"],
                 "cache": [None, 4, None]}
    assert pandas.DataFrame(cpuwidget.search_many(tasks)).equals(pandas.DataFrame(cpuwidget.search_many(with_none)))
    objects = {"power": [pandas.NA, 80.0], "node": numpy.array([pandas.NA, "32nm"], dtype=object)}
    assert limits(cpuwidget.search_many(objects))[1] == 80.0


def test_no_tasks_give_search_s_columns_without_rows():
    empty = cpuwidget.search_many({})
    assert list(empty) == list(cpuwidget.search())
    assert all(len(values) == 0 for values in empty.values())
    assert empty["speedup"].dtype == numpy.float64 and empty["cores"].dtype == numpy.int64


# --- the random table of frames ---------------------------------------------------------------

NAMES = cpuwidget.model_info()
CORES = [1, 2, 4, 8, 16, 32, 64, 128, 192]
CACHES = [1, 4, 16, 64, 256, 512]
NUMBER_TYPES = ["float64", "float32", ">f8", "int64", "int32", "uint16", "object", "Int64", "Float64", "masked"]


def number_column(pick, values):
    """values (None where not given) in a random numeric representation."""
    kind = pick.choice(NUMBER_TYPES)
    whole = all(v is None or float(v).is_integer() for v in values)
    if kind in ("int64", "int32", "uint16", "Int64") and not whole:
        kind = "float64"
    if kind == "object":
        return numpy.array([pick.choice([None, numpy.nan, pandas.NA]) if v is None else v for v in values], dtype=object)
    if kind == "Int64":
        return pandas.array([None if v is None else int(v) for v in values], dtype="Int64")
    if kind == "Float64":
        return pandas.array(values, dtype="Float64")
    if kind == "masked":
        return numpy.ma.masked_array([0.0 if v is None else v for v in values], mask=[v is None for v in values])
    if kind in ("int64", "int32", "uint16"):
        if any(v is None for v in values):
            return numpy.ma.masked_array([0 if v is None else v for v in values], mask=[v is None for v in values], dtype=kind)
        return numpy.array(values, dtype=kind)
    return numpy.array([numpy.nan if v is None else v for v in values], dtype=kind)


def text_column(pick, values):
    kind = pick.choice(["list", "object", "string", "unicode"])
    if kind == "string":
        return pandas.array(values, dtype="string")
    if kind == "unicode" and None not in values:
        return numpy.array(values)
    return values if kind == "list" else numpy.array(values, dtype=object)


def strided(pick, column, rows):
    """The column laid out in memory reversed or every other value, read back in task order."""
    layout = pick.choice(["plain", "reversed", "every other"])
    if layout == "plain" or not isinstance(column, numpy.ndarray):
        return column
    if layout == "reversed":
        spread = column[::-1].copy()
        return spread[::-1]
    spread = numpy.ma.concatenate([column, column]) if numpy.ma.isMaskedArray(column) else numpy.concatenate([column, column])
    spread[::2], spread[1::2] = column, column[::-1]
    return spread[::2]


def random_frame(pick, rows):
    columns, tasks = {}, [dict() for _ in range(rows)]

    def maybe(value):
        return value if pick.random() < 0.6 else None

    for name in pick.sample(["workload", "memory", "transistor", "core", "node"], pick.randint(0, 3)):
        values = [maybe(pick.choice(NAMES[name] + (["7nm"] if pick.random() < 0.02 else []))) for _ in range(rows)]
        columns[name] = text_column(pick, values)
    spans = {"area": 400, "power": 250, "bw": 90, "tsv": 600}
    for name in pick.sample(sorted(spans), pick.randint(0, 3)):
        values = [maybe(round(pick.uniform(-5 if pick.random() < 0.05 else 0, spans[name]), 1)) for _ in range(rows)]
        columns[name] = strided(pick, number_column(pick, values), rows)
    if pick.random() < 0.5:
        columns["cores"] = strided(pick, number_column(pick, [maybe(pick.choice(CORES + [3])) for _ in range(rows)]), rows)
    if pick.random() < 0.5 or not columns:
        columns["cache"] = number_column(pick, [maybe(pick.choice(CACHES)) for _ in range(rows)])
    for name, column in columns.items():
        for row in range(rows):
            value = column[row]
            missing = numpy.ma.is_masked(value) or pandas.isna(value)
            if not missing:
                tasks[row][name] = value.item() if hasattr(value, "item") else value
    return (pandas.DataFrame(columns) if pick.random() < 0.5 and columns else columns), tasks


def one_by_one(tasks):
    """search of each task in order, or the first refusal as search_many words it."""
    results = []
    for row, task in enumerate(tasks):
        try:
            results.append(pandas.DataFrame(cpuwidget.search(**task)))
        except ValueError as refused:
            return f"tasks[{row}]: {refused}"
    return pandas.concat(results, ignore_index=True)


@pytest.mark.parametrize("seed", range(60))
def test_random_frames_are_refused_as_search_refuses_or_answered_as_search_answers(seed):
    pick = random.Random(seed)
    frame, tasks = random_frame(pick, pick.randint(1, 25))
    expected = one_by_one(tasks)
    try:
        answered = pandas.DataFrame(cpuwidget.search_many(frame, jobs=pick.choice([1, 2])))
    except ValueError as refused:
        assert str(refused) == expected
        assert re.match(r"tasks\[\d+\]: \w+: ", str(refused))
        return
    assert not isinstance(expected, str), expected
    pandas.testing.assert_frame_equal(answered, expected, check_exact=True, check_dtype=False)
