"""The multicore chip design-space explorer's model and searches in Python.

Every function is a command of the command-line tool and takes every option of that command as
a keyword argument of the same name, '_' for '-' (workload, memory, transistor, core, node; the
limits area, power, bw, tsv; the held dimensions cores, cache, scale, vdd, freq;
parallel_fraction; and, where the tool takes them, step, vary, series, best_over, binding,
pairs, flags, objective, energy, breakdown, jobs ...), but the model file (load_model), the
output format and pictures; it returns a dict
of numpy arrays, one per column of the tool's CSV output, that pandas.DataFrame takes as it is.
Every figure is the tool's, bit for bit. Bad arguments raise ValueError naming the argument and
what it accepts.

One model is active per process: load_model replaces it for every thread, after the calls in
flight have ended. Searches release the GIL, so threads run them in parallel.
"""

import numpy

from ._cpuwidget import budget, explain, export_model, load_model, model_info
from ._cpuwidget import pareto, search, sensitivity, space, sweep, uncertainty
from ._cpuwidget import calibrate, evaluate, validate
from ._cpuwidget import search_many as _search_many


def _column(values):
    """A pandas column (Series, Index or array) as numpy holds it: the numbers of a nullable
    integer or float column as float64 with NaN for pandas.NA; any other as its own numpy array
    (objects with pandas.NA where a value is missing). Anything else as it is."""
    if not hasattr(values, "to_numpy"):
        return values
    dtype = getattr(values, "dtype", None)  # a frame has none: its 2-D array is refused
    if dtype is not None and getattr(dtype, "kind", "") in "iuf" and not isinstance(dtype, numpy.dtype):
        # pandas' nullable Int64, UInt64, Float64 ...: NA is a value not given.
        return values.to_numpy(dtype=numpy.float64, na_value=numpy.nan)
    return values.to_numpy()


def search_many(tasks, jobs=None):
    """The best configuration of many searches at once, on threads with the GIL released.

    tasks: a pandas DataFrame or a dict of equal-length columns (numpy arrays or lists), a row
    per search, the columns named as search's keyword arguments (workload, memory, transistor,
    core, node, area, power, bw, tsv, cores, cache, scale, vdd, freq); a None or NaN in a row is
    an argument not given. Returns search's columns with a row per task, in task order. A bad
    value raises ValueError naming the task ("tasks[3]: power: ...") before any search runs.
    """
    if hasattr(tasks, "columns") and hasattr(tasks, "__getitem__") and not isinstance(tasks, dict):
        names = [str(name) for name in tasks.columns]
        for name in names:
            if names.count(name) > 1:
                raise ValueError(f"tasks: column {name} is given {names.count(name)} times; "
                                 "accepted: each column once")
        if not names and len(tasks) > 0:
            raise ValueError(
                f"tasks: {len(tasks)} rows and no columns; accepted: a column per argument "
                "(workload, memory, transistor, core, node, area, power, bw, tsv, cores, cache, "
                "scale, vdd, freq), a value per task"
            )
        tasks = {name: tasks[column] for name, column in zip(names, tasks.columns)}
    if not isinstance(tasks, dict):
        raise TypeError(
            f"tasks: {type(tasks).__name__}; accepted: a pandas DataFrame or a dict of columns"
        )
    tasks = {name: _column(values) for name, values in tasks.items()}
    return _search_many(tasks, jobs)


__all__ = [
    "budget",
    "calibrate",
    "evaluate",
    "explain",
    "export_model",
    "load_model",
    "model_info",
    "pareto",
    "search",
    "search_many",
    "sensitivity",
    "space",
    "sweep",
    "uncertainty",
    "validate",
]
