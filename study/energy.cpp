#include "study/energy.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "model/model.h"
#include "model/scaling.h"
#include "study/parallel.h"

EnergyFigures energy_of(const ConfigurationFigures &f) {
    const double energy = f.power / f.speedup;
    return EnergyFigures{f.speedup / f.power, energy, energy / f.speedup};
}

std::optional<Objective> objective_named(const std::string &text) {
    std::string name;
    for (char c : text)
        name += c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    for (Objective o :
         {Objective::Speedup, Objective::SpeedupPerWatt, Objective::Energy, Objective::Edp})
        if (name == objective_name(o))
            return o;
    return std::nullopt;
}

const char *objective_name(Objective o) {
    switch (o) {
    case Objective::Speedup:
        return "speedup";
    case Objective::SpeedupPerWatt:
        return "speedup_per_watt";
    case Objective::Energy:
        return "energy";
    case Objective::Edp:
        break;
    }
    return "edp";
}

double objective_figure(const ConfigurationFigures &f, Objective o) {
    switch (o) {
    case Objective::Speedup:
        return f.speedup;
    case Objective::SpeedupPerWatt:
        return energy_of(f).speedup_per_watt;
    case Objective::Energy:
        return energy_of(f).energy;
    case Objective::Edp:
        break;
    }
    return energy_of(f).edp;
}

bool higher_is_better(Objective o) {
    return o == Objective::Speedup || o == Objective::SpeedupPerWatt;
}

double (*objective_rank(Objective objective))(const ConfigurationFigures &) {
    switch (objective) {
    case Objective::Speedup:
        break;
    case Objective::SpeedupPerWatt:
        return [](const ConfigurationFigures &f) {
            const double figure = energy_of(f).speedup_per_watt;
            return figure >= 0 ? figure : std::nan(""); // the start is 0, as for the speedup
        };
    case Objective::Energy:
        return [](const ConfigurationFigures &f) { return -energy_of(f).energy; };
    case Objective::Edp:
        return [](const ConfigurationFigures &f) { return -energy_of(f).edp; };
    }
    return nullptr;
}

BestConfiguration search_best_by(const Request &r, Objective objective) {
    const SearchSpec spec = spec_of(r);
    if (objective == Objective::Speedup || spec.evaluation())
        return search_best(r);
    const LimitValues limits = limits_in_force(r.options, r.limits);
    const bool stacked = r.options.memory != 0;
    const bool higher = higher_is_better(objective);
    double best = higher ? 0.0 : std::numeric_limits<double>::infinity();
    const EvaluatedConfiguration *chosen = nullptr;
    const std::vector<EvaluatedConfiguration> all = evaluate_design_space(spec);
    for (const EvaluatedConfiguration &e : all) {
        const ConfigurationFigures &f = e.figures;
        // The search's strict comparisons: a figure equal to its limit passes.
        if (f.area > limits.area || f.power > limits.power || f.bandwidth > limits.bandwidth ||
            (stacked && f.bandwidth_tsv > limits.tsv))
            continue;
        const double figure = objective_figure(f, objective);
        if (std::isnan(figure) || (higher ? figure < best : figure > best))
            continue;
        best = figure;
        chosen = &e;
    }
    if (chosen == nullptr)
        return search_best(r); // nothing within the limits: the search says which limit
    BestConfiguration b;
    b.options = r.options;
    b.limits = limits;
    b.feasible = true;
    b.speedup = chosen->figures.speedup;
    b.scale = chosen->scale;
    b.cache = chosen->cache;
    b.cores = chosen->cores;
    b.figures = chosen->figures;
    const Ceilings c = ceilings_of(r.options);
    if (spec.hold_scale) {
        const OperatingPoint op = held_operating_point(r.options, r.holds);
        b.vdd = op.vdd;
        b.freq = op.freq;
        b.below_voltage_floor = b.speedup == 0;
    } else {
        b.vdd = c.vdd * step_voltage_ratio(r.options, b.scale);
        b.freq = c.freq * step_frequency_ratio(r.options, b.scale);
    }
    return b;
}

bool sweep_in_batches_by(const Limits &limits, const Holds &holds, Objective objective, int jobs,
                         const std::function<bool(const std::vector<BestConfiguration> &)> &take,
                         const OptionFilter &filter) {
    if (objective == Objective::Speedup)
        return sweep_in_batches(limits, holds, jobs, take, filter);
    const size_t count = option_set_count(filter);
    const size_t batch = size_t(std::max(jobs, 1)) * 64;
    std::vector<BestConfiguration> rows;
    for (size_t first = 0; first < count; first += batch) {
        rows.assign(std::min(batch, count - first), BestConfiguration{});
        run_in_parallel(rows.size(), jobs, [&](size_t i) {
            rows[i] =
                search_best_by(Request{option_set_at(first + i, filter), limits, holds}, objective);
        });
        if (!take(rows))
            return false;
    }
    return true;
}

void add_energy_columns(Table &t) {
    t.add("speedup_per_watt", ColumnType::Number);
    t.add("energy_j", ColumnType::Number);
    t.add("edp_js", ColumnType::Number);
}

void add_energy_values(Table &t, const ConfigurationFigures *f) {
    add_energy_values(t, t.columns.size() - 3, f);
}

void add_energy_values(Table &t, size_t c, const ConfigurationFigures *f) {
    if (f == nullptr) {
        for (size_t i = 0; i < 3; i++)
            t.columns[c + i].add_none();
        return;
    }
    const EnergyFigures e = energy_of(*f);
    t.columns[c].add_number(e.speedup_per_watt);
    t.columns[c + 1].add_number(e.energy);
    t.columns[c + 2].add_number(e.edp);
}
