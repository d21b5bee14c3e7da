// The module's keyword arguments read into the command-line tool's requests, with the tool's
// own checks and defaults. Every refusal is a ValueError "NAME: PROBLEM; accepted: WHAT"; an
// argument name no function takes is a TypeError naming those it takes.
#pragma once

#include <pybind11/pybind11.h>

#include <optional>
#include <string>
#include <vector>

#include "study/budget.h"
#include "study/design.h"

// Raises ValueError with the message made safe for Python: control characters (NUL among them)
// written as escapes ("\x00", "\n") and bytes that are not UTF-8 as "\xff".
[[noreturn]] void raise_value_error(const std::string &message);

// A file name as Python gives it (str, bytes or os.PathLike), as the bytes the system takes
// (os.fsencode, so that bytes that are not UTF-8 open); ValueError naming the argument for
// anything else or a name with a NUL in it.
std::string file_name_of(const pybind11::handle &path, const char *argument);

// A real number (int, float, numpy's integers and floats, text the tool reads; not bool nor a
// time), none when not given or None; ValueError "NAME: VALUE is not a number; accepted: ...".
std::optional<double> number_of(const pybind11::kwargs &given, const char *name,
                                const std::string &accepted);
// numpy's type of that name (numpy.integer, numpy.bool_ ...), a handle kept for good.
pybind11::handle numpy_type(const char *name);
// True or False, Python's or numpy's.
bool is_flag(const pybind11::handle &value);
// The value of a Python or numpy integer (not bool) as a Python int; none for anything else.
std::optional<pybind11::int_> whole_value(const pybind11::handle &value);
// How a message shows a number given: text as typed, a whole number digit for digit, a float
// as its shortest decimal (Echo::Shortest) or as Python writes it (Echo::Repr).
enum class Echo { Shortest, Repr };
std::string echoed(const pybind11::kwargs &given, const char *name, double value,
                   Echo style = Echo::Shortest);
// A whole number from low to high (a Python int compared exactly), none when not given.
std::optional<double> whole_number_of(const pybind11::kwargs &given, const char *name, double low,
                                      double high, const std::string &accepted,
                                      Echo style = Echo::Shortest);

// Refuses a keyword the function does not take.
void check_names(const pybind11::kwargs &given, const char *function,
                 const std::vector<const char *> &names);

// The option set (workload, memory, transistor, core, node), by default the tool's defaults.
OptionSet options_of(const pybind11::kwargs &given);
// area, power, bw, tsv; a limit not given is the node's.
Limits limits_of(const pybind11::kwargs &given);
// cores, cache, scale, and, with a held scale, vdd and freq; checked against the options.
Holds holds_of(const pybind11::kwargs &given, const OptionSet &options);
// step, in percent (default 10), as a relative step (0.1).
double step_of(const pybind11::kwargs &given);
// sweep's option filters: each of workload ... node a name or a list of names (default: every
// one), in the model's order, each once.
OptionFilter option_filter_of(const pybind11::kwargs &given);
// parallel_fraction, from 0 to 1, replacing the model's and its workloads' own for one call.
std::optional<double> parallel_fraction_of(const pybind11::kwargs &given);
// jobs, a whole number from 1 to 1024 (default: one per core).
int jobs_of(const pybind11::kwargs &given);
// vary, series, best_over, binding and step over a request, checked as a whole.
BudgetRequest budget_request_of(const pybind11::kwargs &given, const Request &request);
