// The module's keyword arguments read into the command-line tool's requests, with the tool's
// own checks and defaults. Every refusal is a ValueError "NAME: PROBLEM; accepted: WHAT"; an
// argument name no function takes is a TypeError naming those it takes.
#pragma once

#include <pybind11/pybind11.h>

#include <initializer_list>
#include <optional>
#include <string>

#include "study/budget.h"
#include "study/design.h"

// Raises ValueError with the message made safe for Python: control characters (NUL among them)
// written as escapes ("\x00", "\n") and bytes that are not UTF-8 as "\xff".
[[noreturn]] void raise_value_error(const std::string &message);

// A file name as Python gives it (str, bytes or os.PathLike), as the bytes the system takes
// (os.fsencode, so that bytes that are not UTF-8 open); ValueError naming the argument for
// anything else or a name with a NUL in it.
std::string file_name_of(const pybind11::handle &path, const char *argument);

// Refuses a keyword the function does not take.
void check_names(const pybind11::kwargs &given, const char *function,
                 std::initializer_list<const char *> names);

// The option set (workload, memory, transistor, core, node), by default the tool's defaults.
OptionSet options_of(const pybind11::kwargs &given);
// area, power, bw, tsv; a limit not given is the node's.
Limits limits_of(const pybind11::kwargs &given);
// cores, cache, scale, and, with a held scale, vdd and freq; checked against the options.
Holds holds_of(const pybind11::kwargs &given, const OptionSet &options);
// step, in percent (default 10), as a relative step (0.1).
double step_of(const pybind11::kwargs &given);
// jobs, a whole number from 1 to 1024 (default: one per core).
int jobs_of(const pybind11::kwargs &given);
// vary and series over a request, checked as a whole.
BudgetRequest budget_request_of(const pybind11::kwargs &given, const Request &request);
