"""What every test of the package shares: the command-line tool to compare with, the source
tree, and the CSV comparison at the bit."""

import csv
import io
import math
import os
import subprocess

import numpy
import pytest

import cpuwidget

CLI = os.environ.get("CPU_WIDGET_CLI", "cpu-widget-cli")
SOURCE_DIR = os.environ.get("CPU_WIDGET_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))


def cli_rows(*arguments):
    """The tool's CSV output of a command as a list of dicts of text."""
    done = subprocess.run([CLI, *arguments, "--format", "csv"], capture_output=True, text=True, check=True)
    return list(csv.DictReader(io.StringIO(done.stdout)))


def same(text, value):
    """Whether a CSV field and a column value are the same, numbers to the bit."""
    if isinstance(value, (bool, numpy.bool_)):
        return text == ("true" if value else "false")
    if value is None:
        return text == ""
    if isinstance(value, str):
        return text == value
    if math.isnan(value):
        return text == ""
    return text != "" and float(text).hex() == float(value).hex()


def differences(rows, columns):
    """Every field where the tool's rows and the module's columns differ (at most 10)."""
    found = []
    if list(rows[0]) != [name for name in columns if name in rows[0]] or len(rows) != len(next(iter(columns.values()))):
        return [("shape", list(rows[0]), list(columns), len(rows))]
    for i, row in enumerate(rows):
        for name, text in row.items():
            if not same(text, columns[name][i]):
                found.append((i, name, text, columns[name][i]))
                if len(found) == 10:
                    return found
    return found


@pytest.fixture(autouse=True)
def builtin_model():
    """Every test starts and ends with the built-in model."""
    cpuwidget.load_model()
    yield
    cpuwidget.load_model()
