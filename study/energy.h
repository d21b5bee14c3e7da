// The energy figures of a configuration (docs/model.md, "Energy figures") and the objectives
// that say what the best configuration is: the searches, sweeps and result columns that use
// them. With the speedup objective every answer is the search engine's own.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "study/design.h"
#include "study/table.h"

// Speedup per watt (1/W), energy per unit of work (J) and energy-delay product (J s), from the
// speedup and the power alone.
struct EnergyFigures {
    double speedup_per_watt, energy, edp;
};
EnergyFigures energy_of(const ConfigurationFigures &figures);

enum class Objective { Speedup, SpeedupPerWatt, Energy, Edp };

// "speedup", "speedup_per_watt", "energy", "edp" in any letter case; none for anything else.
std::optional<Objective> objective_named(const std::string &text);
const char *objective_name(Objective objective);
constexpr const char *kObjectiveList = "speedup, speedup_per_watt, energy or edp";

// The figure an objective ranks by, and whether higher is better.
double objective_figure(const ConfigurationFigures &figures, Objective objective);
bool higher_is_better(Objective objective);

// An objective as a score, higher is better, NaN for a configuration it never selects: the
// ranking of LimitQueries (budgets) by it. None for the speedup, which LimitQueries ranks by.
double (*objective_rank(Objective objective))(const ConfigurationFigures &);

// The best configuration of a request by an objective, among those within every limit:
// search_best itself for the speedup (and when every dimension is held); otherwise every
// configuration in the search's order, one at least as good as the best so far replacing it
// (ties to the later one), a NaN figure never selected. Reads no design state.
BestConfiguration search_best_by(const Request &request, Objective objective);

// sweep_in_batches with the objective (over the option sets the filter lets through).
bool sweep_in_batches_by(const Limits &limits, const Holds &holds, Objective objective, int jobs,
                         const std::function<bool(const std::vector<BestConfiguration> &)> &take,
                         const OptionFilter &filter = {});

// The energy columns speedup_per_watt, energy_j and edp_js appended to a table, and a row's
// values (empty when there is no configuration) in the last three columns, or in the three
// from column `first` on.
void add_energy_columns(Table &table);
void add_energy_values(Table &table, const ConfigurationFigures *figures);
void add_energy_values(Table &table, size_t first, const ConfigurationFigures *figures);
