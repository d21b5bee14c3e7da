// The research commands' text: energy columns, Pareto fronts, sensitivity and uncertainty.
#pragma once

#include <string>
#include <vector>

#include "study/energy.h"
#include "study/pareto.h"
#include "study/sensitivity.h"
#include "study/uncertainty.h"

// The energy figures as three columns, each line's end, and their header.
std::string energy_columns_header();
std::string energy_columns(const ConfigurationFigures &figures);

// A space text line (space_text_row) with the energy columns before its "breaks" column.
std::string with_energy(const std::string &space_line, const std::string &energy);

// The best configuration's energy figures under best_text's lines.
std::string best_energy_text(const BestConfiguration &best);

// What "best" means when it is not the speedup: "Objective: lowest energy per unit of work".
std::string objective_line(Objective objective);

std::string pareto_text(const ParetoRequest &request, const ParetoFront &front);
std::string sensitivity_text(const Sensitivity &sensitivity);
std::string uncertainty_text(const UncertaintyRequest &request, const Uncertainty &summary,
                             size_t fields);
