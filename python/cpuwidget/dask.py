"""Studies on a Dask cluster: many searches, explanations and budgets over model variants,
gathered into one pandas DataFrame; and uncertainty studies of many samples (uncertainty).

    from distributed import Client, LocalCluster
    from cpuwidget.dask import run_study

    with LocalCluster(n_workers=2, threads_per_worker=1) as cluster, Client(cluster) as client:
        frame = run_study(tasks, models={"p95": text}, client=client)

A task is a dict: "command" (a function of cpuwidget: "search", the default, "sweep", "space",
"explain", "budget", "pareto", "sensitivity" or "uncertainty"), "model" (a name in models, or
None, the default, for the built-in model), and the command's keyword arguments, every one the
function takes.
models maps names other than None to a model file's text or its path as pathlib.Path (read
here); a name's text that is one line and no model file is refused as a file name given as
text. Every task's arguments are checked before anything runs: a bad one raises the module's
error with "tasks[INDEX]: " before it.
Tasks are sent in batches of one model each; Dask schedules them, and a batch's searches are
answered by one cpuwidget.search_many call (those with keywords other than search_many's
columns, such as objective or parallel_fraction, by cpuwidget.search each). Each row of the result
carries "task" (the task's index), "model" and "command", then the command's columns.
"""

import numbers
import os
import threading

import dask
import numpy
import pandas

import cpuwidget
from cpuwidget._cpuwidget import _check_call, _check_tasks, _keywords

# Every command of the package, each with every keyword its function takes.
COMMANDS = tuple(_keywords)
# The keywords search_many takes as columns; a search with others runs on its own.
_SEARCH_MANY_COLUMNS = frozenset(("workload", "memory", "transistor", "core", "node", "area", "power", "bw", "tsv",
                                  "cores", "cache", "scale", "vdd", "freq"))


def _whole(value):
    """Whether value is a whole number as Python or numpy write one (not a bool)."""
    return isinstance(value, numbers.Integral) and not isinstance(value, (bool, numpy.bool_))

# One model is active per process: a batch of another model waits until the batches running on
# the process's other threads have ended. The first batch of a run loads its model even when
# the text is the same, since the process's own code may have loaded another in between.
_model_changed = threading.Condition()
_model_in_use = None  # the text of the model loaded, None for the built-in one
_batches_running = 0


def _acquire_model(text):
    global _model_in_use, _batches_running
    with _model_changed:
        while _model_in_use != text and _batches_running > 0:
            _model_changed.wait()
        if _batches_running == 0:
            # A study's models say nothing of figures outside their typical ranges.
            cpuwidget.load_model(text=text, quiet=True) if text is not None else cpuwidget.load_model()
            _model_in_use = text
        _batches_running += 1


def _release_model():
    global _batches_running
    with _model_changed:
        _batches_running -= 1
        _model_changed.notify_all()


class _Batch:
    """Tasks of one model. Not a list, which Dask would walk item by item looking for tasks."""

    def __init__(self, items):
        self.items = items


def _searches(model_name, searches):
    """The rows of a batch's searches, answered by one search_many call: a DataFrame."""
    names = []
    for _, arguments in searches:
        names += [name for name in arguments if name not in names]
    columns = {name: [arguments.get(name) for _, arguments in searches] for name in names}
    if not columns:
        columns = {"workload": [None] * len(searches)}
    try:
        result = cpuwidget.search_many(columns, jobs=1)  # the cluster gives the parallelism
    except ValueError as error:
        # search_many names the task by its place in the batch; the study names it by its index.
        place, _, why = str(error).partition("]: ")
        if not place.startswith("tasks["):
            raise
        raise ValueError(f"tasks[{searches[int(place[6:])][0]}]: {why}") from None
    frame = pandas.DataFrame(result)
    frame.insert(0, "command", "search")
    frame.insert(0, "model", model_name)
    frame.insert(0, "task", [index for index, _ in searches])
    return frame


def _run_batch(model_name, model_text, batch):
    """The rows of a batch of tasks of one model, as a list of DataFrames (one per column set)."""
    groups = {}
    searches = []
    _acquire_model(model_text)
    try:
        for index, command, arguments in batch.items:
            if command == "search" and _SEARCH_MANY_COLUMNS.issuperset(arguments):
                searches.append((index, arguments))
                continue
            result = getattr(cpuwidget, command)(**arguments)
            rows = len(next(iter(result.values()))) if result else 0
            if rows == 0:
                continue  # columns with no rows: nothing to gather
            key = (command,) + tuple(result)
            group = groups.setdefault(key, {"task": [], "model": [], "command": []})
            group["task"] += [index] * rows
            group["model"] += [model_name] * rows
            group["command"] += [command] * rows
            for name, values in result.items():
                group.setdefault(name, []).extend(values.tolist())
        frames = [_searches(model_name, searches)] if searches else []
    finally:
        _release_model()
    return frames + [pandas.DataFrame(columns) for columns in groups.values()]


def _model_texts(models):
    """The text of each model (None for the built-in one), each checked as a whole here."""
    texts = {None: None}
    for name, model in (models or {}).items():
        if name is None:
            raise ValueError(
                "models: None is not a name: None stands for the built-in model; accepted: a "
                "name other than None"
            )
        if isinstance(model, os.PathLike):
            with open(model, encoding="utf-8") as file:
                model = file.read()
        if model is not None and not isinstance(model, str):
            raise ValueError(
                f"models: {name!r} is {model!r}; accepted: a model file's text, a path "
                "(pathlib.Path) or None for the built-in model"
            )
        if model is not None:
            try:
                _check_tasks(model, [])
            except ValueError as refused:
                if "\n" not in model.strip():
                    # One line that is no model file: most likely a file name given as text.
                    raise ValueError(
                        f"models: {name!r} is {model!r}, a file name rather than a model file's "
                        "text; accepted: a model file's text, or its path as pathlib.Path to read it"
                    ) from None
                raise ValueError(f"models: {name!r}: {refused}") from None
        texts[name] = model
    return texts


def study_graph(tasks, models=None, batch_size=250):
    """The study as a list of dask.delayed batches (run_study computes and gathers them)."""
    if not _whole(batch_size) or batch_size < 1:
        raise ValueError(f"batch_size: {batch_size!r}; accepted: a whole number from 1")
    texts = _model_texts(models)
    by_model = {}
    for index, task in enumerate(tasks):
        if not isinstance(task, dict):
            raise ValueError(f"tasks[{index}]: {task!r}; accepted: a dict of keyword arguments")
        arguments = dict(task)
        command = arguments.pop("command", "search")
        model = arguments.pop("model", None)
        if command not in COMMANDS:
            raise ValueError(f"tasks[{index}]: command {command!r}; accepted: one of {', '.join(COMMANDS)}")
        if model not in texts:
            raise ValueError(f"tasks[{index}]: model {model!r}; accepted: None or a name in models")
        if "jobs" in _keywords[command]:
            arguments.setdefault("jobs", 1)  # the cluster gives the parallelism
        by_model.setdefault(model, []).append((index, command, arguments))
    # Every task's arguments are read here, under its model, before anything runs.
    for model, items in by_model.items():
        _check_tasks(texts[model], items)
    run = dask.delayed(_run_batch, pure=False)
    return [
        run(model, texts[model], _Batch(items[start : start + batch_size]))
        for model, items in by_model.items()
        for start in range(0, len(items), batch_size)
    ]


def run_study(tasks, models=None, client=None, batch_size=250):
    """Runs every task on Dask (on client's cluster when given, else Dask's default scheduler)
    and returns one DataFrame with the rows in task order."""
    graph = study_graph(tasks, models, batch_size)
    if client is not None:
        parts = client.gather(client.compute(graph))
    else:
        parts = dask.compute(*graph)
    frames = [frame for part in parts for frame in part]
    if not frames:
        return pandas.DataFrame(columns=["task", "model", "command"])
    frame = pandas.concat(frames, ignore_index=True, sort=False)
    return frame.sort_values("task", kind="stable").reset_index(drop=True)


def _uncertainty_block(model_text, arguments, first, count):
    """The per-sample rows of samples first .. first + count - 1."""
    _acquire_model(model_text)
    try:
        return pandas.DataFrame(
            cpuwidget.uncertainty(per_sample=True, first_sample=first, samples=count, jobs=1, **arguments)
        )
    finally:
        _release_model()


def uncertainty(client=None, block_size=5000, per_sample=False, model=None, **arguments):
    """cpuwidget.uncertainty on Dask: the samples in blocks of block_size, each block a task, so
    that a study of millions of samples spreads over a cluster. Sample i draws from a stream
    made from the seed and i alone, so the rows are those of one cpuwidget.uncertainty call with
    the same arguments, whatever the cluster. Returns a DataFrame: a row per sample with
    per_sample=True, else a row per configuration that is ever the best (cores, cache_mb,
    scale, samples, share, median_speedup), most often first, as cpuwidget.uncertainty gives it.
    model is a model file's text or a pathlib.Path (read here and sent to the workers), None
    for the built-in model. Arguments are checked before anything is sent."""
    if not _whole(block_size) or block_size < 1:
        raise ValueError(f"block_size: {block_size!r}; accepted: a whole number from 1")
    for name in ("per_sample", "first_sample", "jobs"):
        if name in arguments:
            raise TypeError(f"uncertainty() got an unexpected keyword argument '{name}'; "
                            "accepted: the arguments of cpuwidget.uncertainty but first_sample and jobs")
    samples = arguments.pop("samples", 1000)
    model_text = _model_texts({"model": model})["model"]
    # Every argument checked under the model, as cpuwidget.uncertainty checks them.
    _check_call(model_text, "uncertainty", samples=samples, **arguments)
    samples = int(float(samples))  # a whole number from 1 to 100,000,000, as checked
    axes = _axes_of(model_text)
    run = dask.delayed(_uncertainty_block, pure=False)
    graph = [run(model_text, arguments, first, min(block_size, samples - first)) for first in range(0, samples, block_size)]
    parts = client.gather(client.compute(graph)) if client is not None else dask.compute(*graph)
    rows = pandas.concat(parts, ignore_index=True)
    if per_sample:
        return rows
    return summarise_samples(rows, axes)


def _axes_of(model_text):
    """The design space's axes of a model, in the order its searches go through them."""
    _acquire_model(model_text)
    try:
        info = cpuwidget.model_info()
    finally:
        _release_model()
    return {name: info[name] for name in ("scale_steps", "cache_sizes_mb", "core_counts")}


def summarise_samples(rows, axes=None):
    """A row per configuration that is ever the best in per-sample rows, as cpuwidget.uncertainty
    gives it: cores, cache_mb, scale, samples, share (of every sample), median_speedup, most
    often first; equal counts in the search's order: scale steps, then cache sizes, then core
    counts, each in the order the model lists them (axes, as model_info gives them; by default
    the model in use's)."""
    if axes is None:
        axes = cpuwidget.model_info()
    place = [{value: i for i, value in enumerate(axes[name])} for name in ("scale_steps", "cache_sizes_mb", "core_counts")]
    won = rows[rows.feasible.astype(bool)]
    groups = []
    for (scale, cache, cores), group in won.groupby(["scale", "cache_mb", "cores"], sort=False):
        order = (place[0][scale], place[1][cache], place[2][cores])
        groups.append((-len(group), order, scale, cache, cores, numpy.quantile(group.speedup.to_numpy(), 0.5)))
    groups.sort(key=lambda g: g[:2])
    return pandas.DataFrame(
        {
            "cores": numpy.array([g[4] for g in groups], dtype=numpy.int64),
            "cache_mb": numpy.array([g[3] for g in groups], dtype=numpy.int64),
            "scale": numpy.array([g[2] for g in groups], dtype=float),
            "samples": numpy.array([-g[0] for g in groups], dtype=numpy.int64),
            "share": numpy.array([-g[0] / len(rows) for g in groups], dtype=float),
            "median_speedup": numpy.array([g[5] for g in groups], dtype=float),
        }
    )
