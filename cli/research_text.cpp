#include "cli/research_text.h"

#include <algorithm>
#include <cmath>

#include "cli/report.h"
#include "model/model.h"

namespace {

std::string configuration_text(const SearchOutcome &best) {
    if (!best.found)
        return "none";
    const Model &m = active_model();
    return format("%d/%d/%.1f", int(m.core_counts[best.cores]), int(m.cache_sizes[best.cache]),
                  m.scale_steps[best.scale]);
}

std::string percent(double value) {
    return std::isnan(value) ? "-" : format("%+.2f %%", value);
}

} // namespace

std::string energy_columns_header() {
    return format(" %10s %9s %11s", "speedup/W", "energy J", "EDP J s");
}

std::string energy_columns(const ConfigurationFigures &f) {
    const EnergyFigures e = energy_of(f);
    return format(" %10.5f %9.5f %11.4e", e.speedup_per_watt, e.energy, e.edp);
}

std::string with_energy(const std::string &line, const std::string &energy) {
    const size_t breaks = line.rfind("  ");
    return line.substr(0, breaks) + energy + line.substr(breaks);
}

std::string best_energy_text(const BestConfiguration &b) {
    if (!b.feasible)
        return {};
    const EnergyFigures e = energy_of(b.figures);
    return format("  speedup per W    %.5f /W\n", e.speedup_per_watt) +
           format("  energy           %.5f J per unit of work\n", e.energy) +
           format("  energy-delay     %.4e J s\n", e.edp);
}

std::string objective_line(Objective o) {
    switch (o) {
    case Objective::Speedup:
        break;
    case Objective::SpeedupPerWatt:
        return "Objective: highest speedup per watt (docs/model.md, Energy figures)\n";
    case Objective::Energy:
        return "Objective: lowest energy per unit of work (docs/model.md, Energy figures)\n";
    case Objective::Edp:
        return "Objective: lowest energy-delay product (docs/model.md, Energy figures)\n";
    }
    return {};
}

std::string pareto_text(const ParetoRequest &r, const ParetoFront &front) {
    size_t within = 0;
    for (const SpaceRow &row : front.space)
        within += row.feasible() ? 1 : 0;
    std::string objectives;
    for (ParetoObjective o : r.objectives)
        objectives += std::string(objectives.empty() ? "" : ", ") + pareto_objective_name(o) +
                      (pareto_higher_is_better(o) ? " (higher)" : " (lower)");
    std::string text = request_text(r.request);
    text += "Front:    " + std::to_string(front.front.size()) + " of " + std::to_string(within) +
            " configurations within the limits; objectives " + objectives + "\n\n";
    const std::string header = space_text_header();
    text += with_energy(header.substr(0, header.size() - 1), energy_columns_header()) + "\n";
    const bool stacked = r.request.options.memory != 0;
    for (size_t i : front.front) {
        const SpaceRow &row = front.space[i];
        text += with_energy(space_text_row(row, stacked), energy_columns(row.figures));
    }
    return text;
}

std::string sensitivity_text(const Sensitivity &s) {
    std::string text = request_text(s.request);
    text += "Optimum:  ";
    if (s.base.found)
        text += format("speedup %.4f (cores/MB/step %s)\n", s.base.speedup,
                       configuration_text(s.base).c_str());
    else
        text += "no configuration meets the limits\n";
    const bool fraction = std::any_of(s.rows.begin(), s.rows.end(), [](const SensitivityRow &row) {
        return row.field.ends_with(".parallel_fraction");
    });
    text += format("\nEach of the %zu numbers these options use moved down and up by %s %%%s, "
                   "largest effect first\n",
                   s.rows.size(), shortest(s.spread * 100).c_str(),
                   fraction ? " (the parallel fraction p by its serial share 1 - p)" : "");
    text += format("  %-44s %12s %12s %9s %10s %12s %9s %10s %s\n", "field", "value", "low",
                   "speedup", "change", "high", "speedup", "change", "optimum (low, high)");
    for (const SensitivityRow &row : s.rows) {
        text += format("  %-44s %12.6g", row.field.c_str(), row.value);
        for (const SensitivityEnd *end : {&row.low, &row.high}) {
            text += format(" %12.6g", end->value);
            text += end->best.found ? format(" %9.4f", end->best.speedup) : format(" %9s", "none");
            text += format(" %10s", percent(change_percent(s.base, end->best)).c_str());
        }
        text += row.optimum_moves ? " moves: " + configuration_text(row.low.best) + ", " +
                                        configuration_text(row.high.best)
                                  : std::string(" stays");
        text += "\n";
    }
    return text;
}

std::string uncertainty_text(const UncertaintyRequest &r, const Uncertainty &u, size_t fields) {
    const Model &m = active_model();
    std::string text = request_text(r.request);
    std::string within = "-/+ " + shortest(r.spread * 100) + " % of its value";
    if (!r.ranges.empty())
        within += format(", or within the range given for it (%zu %s)", r.ranges.size(),
                         r.ranges.size() == 1 ? "number" : "numbers");
    text += format("Samples:  %zu models (seed %llu), each of the %zu numbers these options use "
                   "drawn uniformly within %s\n",
                   u.samples, static_cast<unsigned long long>(r.seed), fields, within.c_str());
    text += format("\nBest speedup over the %zu samples where a configuration meets the limits",
                   u.feasible);
    if (u.feasible < u.samples)
        text += format(" (%zu have none)", u.samples - u.feasible);
    text += "\n";
    if (u.feasible != 0) {
        text += format("  mean %.4f\n", u.mean);
        for (const auto &[p, value] : u.quantiles)
            text += format("  %-6s %.4f\n",
                           p == 0   ? "min"
                           : p == 1 ? "max"
                                    : (shortest(p * 100) + " %").c_str(),
                           value);
    }
    text += "\nHow often each configuration is the best\n";
    text += format("  %5s %6s %5s %9s %8s %15s\n", "cores", "L2 MB", "scale", "samples", "share",
                   "median speedup");
    for (const Uncertainty::Winner &w : u.winners)
        text += format("  %5d %6d %5.1f %9zu %7.2f%% %15.4f\n", int(m.core_counts[w.cores]),
                       int(m.cache_sizes[w.cache]), m.scale_steps[w.scale], w.count,
                       100.0 * double(w.count) / double(u.samples), w.median);
    return text;
}
