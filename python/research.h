// The research commands' keyword arguments (objective, energy, objectives, spread, samples,
// seed, ranges, per_sample, first_sample) read with the tool's checks and wording: a refusal is
// a ValueError "NAME: PROBLEM; accepted: WHAT".
#pragma once

#include <pybind11/pybind11.h>

#include "study/energy.h"
#include "study/pareto.h"
#include "study/uncertainty.h"

Objective objective_of(const pybind11::kwargs &given);
// A flag: True or False (default False).
bool flag_of(const pybind11::kwargs &given, const char *name);
// "speedup,power" or a list of names (default speedup, power, area).
std::vector<ParetoObjective> pareto_objectives_of(const pybind11::kwargs &given);
// spread in percent (default 10), as a fraction.
double spread_of(const pybind11::kwargs &given);
// samples, seed, spread, ranges ({field: (low, high)}) and first_sample over a request.
UncertaintyRequest uncertainty_request_of(const pybind11::kwargs &given, const Request &request);
