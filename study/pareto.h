// Pareto fronts: the configurations of one option set, within its limits and held dimensions,
// that no other configuration beats on every objective at once.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "study/design.h"
#include "study/table.h"

enum class ParetoObjective { Speedup, Power, Area, Bandwidth, SpeedupPerWatt, Energy };

const char *pareto_objective_name(ParetoObjective objective);
constexpr const char *kParetoObjectiveList =
    "two or three of speedup, power, area, bandwidth, speedup_per_watt, energy, separated by "
    "commas (default speedup,power,area)";

// Reads "speedup,power,area" (any letter case); none, with why in error, for an unknown name,
// fewer than two or more than three objectives, or one named twice.
std::optional<std::vector<ParetoObjective>> parse_pareto_objectives(const std::string &text,
                                                                    std::string &error);

struct ParetoRequest {
    Request request;
    std::vector<ParetoObjective> objectives{ParetoObjective::Speedup, ParetoObjective::Power,
                                            ParetoObjective::Area};
};

// Every configuration in range (space's rows, in the search's order) and the front: the
// indices of the rows within every limit that no other such row beats, sorted best first by
// the first objective, then by the others. A row is beaten by one at least as good on every
// objective and better on one; of rows equal on every objective only the latest in the
// search's order is on the front (ties go to the later configuration, as in the search); a row
// with a NaN figure is never on it.
struct ParetoFront {
    std::vector<SpaceRow> space;
    std::vector<size_t> front;
};
ParetoFront pareto_front(const ParetoRequest &request);

// The figure of an objective, and whether higher is better.
double pareto_figure(const ConfigurationFigures &figures, ParetoObjective objective);
bool pareto_higher_is_better(ParetoObjective objective);

// The front's rows: space's columns (with the option columns first when with_options) and the
// energy columns.
Table pareto_table(bool with_options);
void add_pareto_row(Table &table, const OptionSet &options, const SpaceRow &row);
