// evaluate, validate and calibrate for Python, with the command-line tool's arguments as
// keywords and its checks: each reads its arguments, runs on the model in use and returns its
// columns. Called with the model lock held (module.cpp).
#pragma once

#include <pybind11/pybind11.h>

// workload, memory, transistor, core, node; area, power, bw, tsv; cores, cache, scale, vdd,
// freq; breakdown: evaluate's columns as a dict of scalars (float, int, bool, str, None).
pybind11::dict evaluate_columns(const pybind11::kwargs &given);

// chips (a table's path; the shipped one by default); summary=True: the summary per figure
// instead of a row per chip and figure.
pybind11::dict validate_columns(const pybind11::kwargs &given);

// chips, fit (a list of fields or one text with commas), output (where to write the model file,
// optional): {"fields": columns, "errors": columns, "model_text": the file's text}.
pybind11::dict calibrate_result(const pybind11::kwargs &given);
