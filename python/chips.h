// evaluate, validate and calibrate for Python, with the command-line tool's arguments as
// keywords and its checks and words: each reads and checks its arguments under the model in use
// (with the GIL held) into the computation of its outcome (commands.cpp lists them).
#pragma once

#include <pybind11/pybind11.h>

#include "python/commands.h"

// workload, memory, transistor, core, node; area, power, bw, tsv; cores, cache, scale, vdd,
// freq; breakdown: evaluate's columns as one row of scalars (float, int, bool, str, None).
Computation read_evaluate(const pybind11::kwargs &given);

// chips (a table's path; the shipped one by default); summary=True: the summary per figure
// instead of a row per chip and figure.
Computation read_validate(const pybind11::kwargs &given);

// chips, fit (a list of fields or one text with commas), output (where to write the model file,
// optional): the fit is made here, so that a field it cannot fit is refused with the arguments.
Computation read_calibrate(const pybind11::kwargs &given);

// A table's first row as Python scalars: float, int, bool, str, or None where empty.
pybind11::dict first_row(const Table &table);
