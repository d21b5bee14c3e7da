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

from ._cpuwidget import budget, explain, export_model, load_model, model_info, search, space, sweep

__all__ = [
    "budget",
    "explain",
    "export_model",
    "load_model",
    "model_info",
    "search",
    "space",
    "sweep",
]
