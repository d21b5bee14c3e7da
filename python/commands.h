// The tool's commands for Python: each command's keyword arguments (the tool's options, named
// with '_' for '-'), read with the tool's checks into a computation that makes the command's
// table. One table serves every function, the checks of a Dask study's tasks, and the list of
// keywords a function takes.
#pragma once

#include <pybind11/pybind11.h>

#include <functional>
#include <string>
#include <variant>
#include <vector>

#include "study/table.h"

// evaluate's one configuration: its row, returned as a dict of scalars.
struct OneRow {
    Table table;
};
// calibrate's outcome: the fitted fields and the errors as tables, and the model file's text;
// `write_failure` says why the file asked for was not written (empty: written or not asked).
struct FittedModel {
    Table fields, errors;
    std::string model_text, output, write_failure;
};
// What a command makes: a table (returned as a dict of its columns), one row, or a fit.
using Outcome = std::variant<Table, OneRow, FittedModel>;

// Makes a command's outcome from arguments already read: runs without the GIL.
using Computation = std::function<Outcome()>;

struct Command {
    const char *name;                   // as the tool's command and the Python function
    std::vector<const char *> keywords; // every keyword the function takes
    // Reads and checks the arguments under the active model (with the GIL held); a refusal is
    // a ValueError "NAME: PROBLEM; accepted: WHAT".
    std::function<Computation(const pybind11::kwargs &)> read;
};

// search, sweep, space, explain, budget, pareto, sensitivity, uncertainty, evaluate, validate,
// calibrate.
const std::vector<Command> &commands();
// An outcome as the function returns it (with the GIL held); a file not written raises
// ValueError.
pybind11::object python_of(const Outcome &outcome);
// The command of that name; none for any other.
const Command *command_named(const std::string &name);
