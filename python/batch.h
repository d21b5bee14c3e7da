// search_many's tasks: a column per keyword argument, a row per search, read into requests with
// the same checks and messages as search's keyword arguments.
#pragma once

#include <pybind11/pybind11.h>

#include <vector>

#include "study/design.h"

// columns: names as search's keyword arguments (workload ... node, area, power, bw, tsv, cores,
// cache, scale, vdd, freq), each a sequence (a numpy array, a list) of one value per task; a
// None or a NaN is a value not given. A bad value raises ValueError "tasks[i]: ..." before any
// search runs; an unknown name TypeError.
std::vector<Request> requests_of_tasks(const pybind11::dict &columns);
