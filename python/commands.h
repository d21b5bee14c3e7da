// The tool's commands for Python: each command's keyword arguments (the tool's options, named
// with '_' for '-'), read with the tool's checks into a computation that makes the command's
// table. One table serves every function, the checks of a Dask study's tasks, and the list of
// keywords a function takes.
#pragma once

#include <pybind11/pybind11.h>

#include <functional>
#include <string>
#include <vector>

#include "study/table.h"

// Makes a command's table from arguments already read: runs without the GIL.
using Computation = std::function<Table()>;

struct Command {
    const char *name;                   // as the tool's command and the Python function
    std::vector<const char *> keywords; // every keyword the function takes
    // Reads and checks the arguments under the active model (with the GIL held); a refusal is
    // a ValueError "NAME: PROBLEM; accepted: WHAT".
    std::function<Computation(const pybind11::kwargs &)> read;
};

// search, sweep, space, explain, budget, pareto, sensitivity, uncertainty.
const std::vector<Command> &commands();
// The command of that name; none for any other.
const Command *command_named(const std::string &name);
