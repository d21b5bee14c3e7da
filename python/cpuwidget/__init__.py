"""The multicore chip design-space explorer's model and searches in Python.

Every function takes the command-line tool's options as keyword arguments (workload, memory,
transistor, core, node; the limits area, power, bw, tsv; the held dimensions cores, cache,
scale, vdd, freq; and, where the tool takes them, step, vary, series, jobs) and returns a dict
of numpy arrays, one per column of the tool's CSV output, that pandas.DataFrame takes as it is.
Every figure is the tool's, bit for bit. Bad arguments raise ValueError naming the argument and
what it accepts.

One model is active per process: load_model replaces it for every thread, after the calls in
flight have ended. Searches release the GIL, so threads run them in parallel.
"""

from ._cpuwidget import budget as _budget, explain, export_model, load_model, model_info
from ._cpuwidget import calibrate, evaluate, validate
from ._cpuwidget import pareto, sensitivity, uncertainty
from ._cpuwidget import search as _search, space as _space, sweep as _sweep
from ._cpuwidget import _budget_by, _search_by, _space_energy, _sweep_by
from ._cpuwidget import search_many as _search_many


def search(**arguments):
    """The best configuration of one option set within its limits: one row. objective
    ("speedup", the default, "speedup_per_watt", "energy" or "edp") says what the best is;
    energy=True, or any other objective, adds the columns speedup_per_watt, energy_j, edp_js;
    breakdown=True adds the power's terms, power_core_switching_w to power_memory_stack_w, which
    add up to power_w in the order docs/model.md gives."""
    if "objective" in arguments or "energy" in arguments or "breakdown" in arguments:
        return _search_by(**arguments)
    return _search(**arguments)


def sweep(**arguments):
    """The best configuration of every option combination (360 rows with the built-in model);
    objective and energy as in search."""
    if "objective" in arguments or "energy" in arguments:
        return _sweep_by(**arguments)
    return _sweep(**arguments)


def budget(**arguments):
    """The best configuration as one limit varies over a range (a curve, or a curve per value of
    series) or as two limits vary (a map): a row per point; objective as in search."""
    if "objective" in arguments:
        return _budget_by(**arguments)
    return _budget(**arguments)


def space(**arguments):
    """Every configuration of one option set (18,760 rows) with its figures and the limits it
    breaks; energy=True adds the energy columns, breakdown=True the power's terms (as in
    search)."""
    if "energy" in arguments or "breakdown" in arguments:
        return _space_energy(**arguments)
    return _space(**arguments)


def search_many(tasks, jobs=None):
    """The best configuration of many searches at once, on threads with the GIL released.

    tasks: a pandas DataFrame or a dict of equal-length columns (numpy arrays or lists), a row
    per search, the columns named as search's keyword arguments (workload, memory, transistor,
    core, node, area, power, bw, tsv, cores, cache, scale, vdd, freq); a None or NaN in a row is
    an argument not given. Returns search's columns with a row per task, in task order. A bad
    value raises ValueError naming the task ("tasks[3]: power: ...") before any search runs.
    """
    if hasattr(tasks, "columns") and hasattr(tasks, "__getitem__") and not isinstance(tasks, dict):
        tasks = {str(name): tasks[name].to_numpy() for name in tasks.columns}
    if not isinstance(tasks, dict):
        raise TypeError(
            f"tasks: {type(tasks).__name__}; accepted: a pandas DataFrame or a dict of columns"
        )
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
