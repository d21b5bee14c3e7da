"""One API for every option: each option of each command of the tool (read from its own --help)
is a keyword of the Python function of the same name and of a Dask study's tasks, read with the
tool's checks and messages; a new option or command in one front end only fails here."""

import re
import subprocess

import numpy
import pytest

import cpuwidget
import cpuwidget.dask
from conftest import CLI, cli_rows, differences

# Commands of the tool that Python has no function for, by design.
WITHOUT_FUNCTION = {
    "plot": "draws a picture; Python draws its columns with matplotlib",
    "model": "a group of commands: model export",
    "model export": "the model in use as a file: cpuwidget.export_model(path)",
}
# Options that no function takes, by design.
WITHOUT_KEYWORD = {
    "help": "Python's help()",
    "version": "the package's version",
    "model": "the model of the process is cpuwidget.load_model(path)'s; a study's task names its model in 'model'",
    "quiet": "cpuwidget.load_model(path, quiet=True); a study's models load quietly",
    "format": "every result is a dict of columns",
    "output": "pictures: Python draws its columns with matplotlib",
}


def help_of(command):
    done = subprocess.run([CLI, *command.split(), "--help"], capture_output=True, text=True, check=True)
    return done.stdout


def section(text, title):
    """The names in a section of --help ("Options:", "Subcommands:"), each entry's first word."""
    lines = text.split(title + "\n", 1)[1].split("\n\n", 1)[0].splitlines() if title + "\n" in text else []
    return [line.split()[0] for line in lines if line.startswith("  ") and not line.startswith("   ")]


def every_command(prefix=""):
    """Every command of the tool, subcommands as "model export"."""
    found = []
    for name in section(help_of(prefix), "Subcommands:"):
        command = f"{prefix} {name}".strip()
        found += [command] + every_command(command)
    return found


def options_of(command):
    """The option names of a command, as "--best-over" becomes best_over."""
    names = []
    for entry in section(help_of(command), "Options:"):
        long_names = [name for name in entry.split(",") if name.startswith("--")]
        names.append(long_names[0][2:].replace("-", "_"))
    return names


COMMANDS = every_command()
WITH_FUNCTION = [command for command in COMMANDS if command not in WITHOUT_FUNCTION]


def accepted_keywords(function):
    with pytest.raises(TypeError) as refused:
        function(no_such_keyword_at_all=1)
    return str(refused.value).split("; accepted: ", 1)[1].split(", ")


def test_the_tool_s_commands_are_found_and_each_has_a_function_or_a_reason():
    assert {"search", "sweep", "budget", "uncertainty"} <= set(COMMANDS)
    for command in WITH_FUNCTION:
        assert callable(getattr(cpuwidget, command, None)), f"cpu-widget-cli {command} has no cpuwidget.{command}"
    assert set(WITHOUT_FUNCTION) <= set(COMMANDS), "a command without a function that the tool no longer has"


# A valid call of each function with nothing to compute but a refusal: arguments added to every call.
BASE = {"budget": {"vary": "power=10:20:10"}}


def refuses_naming(command, keyword):
    """object() is no value of any option: the function and a study's task refuse it, naming it."""
    with pytest.raises(ValueError) as refused:
        getattr(cpuwidget, command)(**{**BASE.get(command, {}), keyword: object()})
    assert str(refused.value).startswith(f"{keyword}: "), str(refused.value)
    assert command in cpuwidget.dask.COMMANDS, f"a study takes no {command} tasks: python/commands.cpp's table lacks it"
    task = {"command": command, **{**BASE.get(command, {}), keyword: object()}}
    with pytest.raises(ValueError) as refused:
        cpuwidget.dask.study_graph([task])
    assert str(refused.value).startswith(f"tasks[0]: {keyword}: "), str(refused.value)


@pytest.mark.parametrize("command", WITH_FUNCTION)
def test_the_type_error_lists_every_option_and_only_keywords_that_are_read(command):
    options = [name for name in options_of(command) if name not in WITHOUT_KEYWORD]
    accepted = accepted_keywords(getattr(cpuwidget, command))
    assert options and [name for name in options if name not in accepted] == []
    for keyword in accepted:
        refuses_naming(command, keyword)


@pytest.mark.parametrize("command,option", [
    (command, option) for command in WITH_FUNCTION for option in options_of(command) if option not in WITHOUT_KEYWORD
])
def test_every_option_is_read_and_checked_by_its_function_and_in_a_study(command, option):
    refuses_naming(command, option)


def tool_refusal(*arguments):
    done = subprocess.run([CLI, *arguments], capture_output=True, text=True)
    assert done.returncode == 2, done
    message = done.stderr.strip().removeprefix("cpu-widget-cli: ")
    # The tool's options ("--best-over") are the keywords here (best_over).
    return re.sub(r"--([a-z]+(?:-[a-z]+)*)", lambda m: m.group(1).replace("-", "_"), message)


# (command, tool arguments, keyword arguments): the same refusal in the same words.
SAME_REFUSALS = [
    ("search", ["--parallel-fraction", "2"], {"parallel_fraction": 2}),
    ("search", ["--parallel-fraction", "x"], {"parallel_fraction": "x"}),
    ("sweep", ["--node", "7nm"], {"node": "7nm"}),
    ("sweep", ["--jobs", "0"], {"jobs": 0}),
    ("budget", ["--vary", "power=10:20:5", "--best-over", "colour"], {"vary": "power=10:20:5", "best_over": "colour"}),
    ("budget", ["--vary", "power=10:20:5", "--best-over", "node", "--series", "node"],
     {"vary": "power=10:20:5", "best_over": "node", "series": "node"}),
    ("budget", ["--vary", "power=10:20:5,area=1:2:1", "--best-over", "node"],
     {"vary": "power=10:20:5,area=1:2:1", "best_over": "node"}),
    ("budget", ["--vary", "power=10:20:5", "--objective", "fast"], {"vary": "power=10:20:5", "objective": "fast"}),
    ("explain", ["--step", "0"], {"step": 0}),
    ("uncertainty", ["--samples", "0"], {"samples": 0}),
    ("sensitivity", ["--spread", "100"], {"spread": 100}),
]


@pytest.mark.parametrize("command,tool,python", SAME_REFUSALS)
def test_a_bad_option_is_refused_in_the_tool_s_words(command, tool, python):
    with pytest.raises(ValueError) as refused:
        getattr(cpuwidget, command)(**python)
    expected = tool_refusal(command, *tool)
    # The tool's sweep takes an option several times; Python takes a list.
    expected = expected.replace("(given several times, each value;", "(a name or a list of names;")
    assert str(refused.value) == expected


# (command, tool arguments, keyword arguments): the same rows, every figure to the bit.
SAME_ROWS = [
    ("search", ["--flags", "--node", "32nm"], {"flags": True, "node": "32nm"}),
    ("search", ["--parallel-fraction", "0.9", "--energy"], {"parallel_fraction": 0.9, "energy": True}),
    ("sweep", ["--node", "32nm", "--node", "20nm", "--core", "ARM", "--flags"],
     {"node": ["32nm", "20nm"], "core": "ARM", "flags": True}),
    ("explain", ["--pairs", "--node", "32nm"], {"pairs": True, "node": "32nm"}),
    ("budget", ["--vary", "power=40:120:40", "--best-over", "memory,node", "--objective", "energy"],
     {"vary": "power=40:120:40", "best_over": "memory,node", "objective": "energy"}),
    ("budget", ["--vary", "power=40:120:40", "--best-over", "core,workload"],
     {"vary": "power=40:120:40", "best_over": ["core", "workload"]}),
    ("budget", ["--vary", "power=40:120:40", "--binding", "--flags"], {"vary": "power=40:120:40", "binding": True, "flags": True}),
    ("pareto", ["--parallel-fraction", "0.95", "--node", "32nm"], {"parallel_fraction": 0.95, "node": "32nm"}),
]


@pytest.mark.parametrize("command,tool,python", SAME_ROWS)
def test_a_keyword_gives_the_rows_of_its_option(command, tool, python):
    assert differences(cli_rows(command, *tool), getattr(cpuwidget, command)(**python)) == []


def test_parallel_fraction_is_for_the_one_call():
    before = cpuwidget.search()["speedup"][0]
    assert cpuwidget.search(parallel_fraction=0.5)["speedup"][0] < before
    assert cpuwidget.search()["speedup"][0] == before
    assert cpuwidget.model_info()["parallel_fraction"] == 0.99


@pytest.mark.parametrize("call,numpy_call", [
    (lambda: cpuwidget.uncertainty(samples=3), lambda: cpuwidget.uncertainty(samples=numpy.int64(3))),
    (lambda: cpuwidget.uncertainty(samples=3, seed=7), lambda: cpuwidget.uncertainty(samples=3, seed=numpy.uint8(7))),
    (lambda: cpuwidget.search(energy=True), lambda: cpuwidget.search(energy=numpy.bool_(True))),
    (lambda: cpuwidget.explain(pairs=True), lambda: cpuwidget.explain(pairs=numpy.bool_(True))),
    (lambda: cpuwidget.sweep(node="20nm", jobs=2), lambda: cpuwidget.sweep(node="20nm", jobs=numpy.int32(2))),
    (lambda: cpuwidget.uncertainty(samples=2, ranges={"constants.parallel_fraction": (0.5, 0.99)}),
     lambda: cpuwidget.uncertainty(samples=2, ranges={"constants.parallel_fraction": (numpy.float16(0.5), 0.99)})),
])
def test_numpy_numbers_and_booleans_are_taken_as_python_s(call, numpy_call):
    expected, given = call(), numpy_call()
    assert list(expected) == list(given)
    for name in expected:
        assert expected[name].tobytes() == given[name].tobytes() or list(expected[name]) == list(given[name])


@pytest.mark.parametrize("arguments,message", [
    ({"jobs": 10**6}, "jobs: 1000000 is out of range"),
    ({"seed": numpy.uint64(2**64 - 1)}, "seed: 18446744073709551615 is out of range"),
    ({"seed": 2**53 + 1}, "seed: 9007199254740993 is out of range"),
    ({"samples": numpy.float64(2.5)}, "samples: 2.5 is not a whole number"),
    ({"samples": numpy.bool_(True)}, "samples: True is not a number"),
])
def test_whole_numbers_are_echoed_digit_for_digit(arguments, message):
    with pytest.raises(ValueError) as refused:
        cpuwidget.uncertainty(**arguments)
    assert str(refused.value).startswith(message)


def test_dask_block_and_batch_sizes_take_numpy_integers():
    rows = cpuwidget.dask.uncertainty(samples=4, block_size=numpy.int64(2), per_sample=True)
    assert rows["sample"].tolist() == [0, 1, 2, 3]
    assert len(cpuwidget.dask.study_graph([{"node": "32nm"}] * 3, batch_size=numpy.int16(2))) == 2
