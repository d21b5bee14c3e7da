#include "python/commands.h"

#include "python/arguments.h"
#include "python/research.h"
#include "study/budget.h"
#include "study/design.h"
#include "study/energy.h"
#include "study/explain.h"
#include "study/pareto.h"
#include "study/result_columns.h"
#include "study/sensitivity.h"
#include "study/uncertainty.h"

namespace py = pybind11;

namespace {

// Keywords every command on one option set takes, and parallel_fraction, which every command
// takes (the model's parallel fraction replaced for the one call).
#define OPTION_NAMES "workload", "memory", "transistor", "core", "node"
#define LIMIT_NAMES "area", "power", "bw", "tsv"
#define HOLD_NAMES "cores", "cache", "scale", "vdd", "freq"

Request request_of(const py::kwargs &given) {
    Request r;
    r.options = options_of(given);
    r.limits = limits_of(given);
    r.holds = holds_of(given, r.options);
    return r;
}

// What a search's rows add after the best configuration's columns: the ends of axes, the
// energy figures (asked for, or implied by an objective other than the speedup), the power's
// terms.
struct BestExtras {
    bool flags = false, energy = false, breakdown = false;
    Objective objective = Objective::Speedup;
};

BestExtras best_extras_of(const py::kwargs &given) {
    BestExtras e;
    e.flags = flag_of(given, "flags");
    e.objective = objective_of(given);
    e.energy = flag_of(given, "energy") || e.objective != Objective::Speedup;
    e.breakdown = flag_of(given, "breakdown");
    return e;
}

Computation read_search(const py::kwargs &given) {
    const Request r = request_of(given);
    const BestExtras e = best_extras_of(given);
    return [r, e] {
        Table table = best_table(e.flags);
        const size_t energy_first = table.columns.size();
        if (e.energy)
            add_energy_columns(table);
        if (e.breakdown)
            add_power_columns(table);
        // The objective's search only where the tool runs it: the speedup's own otherwise.
        const BestConfiguration best = e.energy ? search_best_by(r, e.objective) : search_best(r);
        add_best_row(table, best);
        if (e.energy)
            add_energy_values(table, energy_first, best.feasible ? &best.figures : nullptr);
        if (e.breakdown) {
            const PowerBreakdown terms =
                best.feasible ? power_breakdown(spec_of(r), best.scale, best.cache, best.cores)
                              : PowerBreakdown{};
            add_power_values(table, best.feasible ? &terms : nullptr);
        }
        return table;
    };
}

Computation read_sweep(const py::kwargs &given) {
    const OptionFilter filter = option_filter_of(given);
    Request r;
    r.limits = limits_of(given);
    r.holds = holds_of(given, r.options);
    const int jobs = jobs_of(given);
    const BestExtras e = best_extras_of(given);
    return [filter, r, jobs, e] {
        Table table = best_table(e.flags);
        const size_t energy_first = table.columns.size();
        if (e.energy)
            add_energy_columns(table);
        auto take = [&](const std::vector<BestConfiguration> &rows) {
            for (const BestConfiguration &row : rows) {
                add_best_row(table, row);
                if (e.energy)
                    add_energy_values(table, energy_first, row.feasible ? &row.figures : nullptr);
            }
            return true;
        };
        if (e.energy)
            sweep_in_batches_by(r.limits, r.holds, e.objective, jobs, take, filter);
        else
            sweep_in_batches(r.limits, r.holds, jobs, take, filter);
        return table;
    };
}

Computation read_space(const py::kwargs &given) {
    const Request r = request_of(given);
    const bool energy = flag_of(given, "energy");
    const bool breakdown = flag_of(given, "breakdown");
    return [r, energy, breakdown] {
        Table table = space_table(true);
        const size_t energy_first = table.columns.size();
        if (energy)
            add_energy_columns(table);
        if (breakdown)
            add_power_columns(table);
        const SearchSpec spec = spec_of(r);
        for (const SpaceRow &row : space(r)) {
            add_space_row(table, r.options, row);
            if (energy)
                add_energy_values(table, energy_first, &row.figures);
            if (breakdown) {
                const PowerBreakdown terms = power_breakdown(spec, row.scale, row.cache, row.cores);
                add_power_values(table, &terms);
            }
        }
        return table;
    };
}

Computation read_explain(const py::kwargs &given) {
    Request r;
    r.options = options_of(given);
    r.limits = limits_of(given);
    const double step = step_of(given);
    const bool pairs = flag_of(given, "pairs");
    const bool breakdown = flag_of(given, "breakdown");
    return
        [r, step, pairs, breakdown] { return explain_table(explain(r, step, pairs), breakdown); };
}

Computation read_budget(const py::kwargs &given) {
    Request r;
    r.options = options_of(given);
    r.limits = limits_of(given);
    BudgetRequest b = budget_request_of(given, r);
    b.objective = objective_of(given);
    const int jobs = jobs_of(given);
    const bool flags = flag_of(given, "flags");
    return [b, jobs, flags] {
        Table table = budget_table(b, flags);
        budget_in_chunks(b, jobs, [&](const BudgetSeries &s, const BudgetChunk &chunk) {
            add_budget_rows(table, b, s, chunk, 0, chunk.best.size());
            return true;
        });
        return table;
    };
}

Computation read_pareto(const py::kwargs &given) {
    const ParetoRequest p{request_of(given), pareto_objectives_of(given)};
    return [p] {
        const ParetoFront front = pareto_front(p);
        Table table = pareto_table(true);
        for (size_t i : front.front)
            add_pareto_row(table, p.request.options, front.space[i]);
        return table;
    };
}

Computation read_sensitivity(const py::kwargs &given) {
    Request r;
    r.options = options_of(given);
    r.limits = limits_of(given);
    const double spread = spread_of(given);
    const int jobs = jobs_of(given);
    return [r, spread, jobs] { return sensitivity_table(sensitivity(r, spread, jobs)); };
}

Computation read_uncertainty(const py::kwargs &given) {
    Request r;
    r.options = options_of(given);
    r.limits = limits_of(given);
    const UncertaintyRequest u = uncertainty_request_of(given, r);
    const bool per_sample = flag_of(given, "per_sample");
    const int jobs = jobs_of(given);
    return [u, per_sample, jobs] {
        const std::vector<UncertaintySample> samples = uncertainty_samples(u, jobs);
        return per_sample ? uncertainty_samples_table(samples, u.first)
                          : uncertainty_table(summarise(samples));
    };
}

} // namespace

const std::vector<Command> &commands() {
    static const std::vector<Command> all = {
        {"search",
         {OPTION_NAMES, LIMIT_NAMES, HOLD_NAMES, "flags", "breakdown", "objective", "energy",
          "parallel_fraction"},
         read_search},
        {"sweep",
         {OPTION_NAMES, LIMIT_NAMES, "cores", "cache", "scale", "jobs", "flags", "objective",
          "energy", "parallel_fraction"},
         read_sweep},
        {"space",
         {OPTION_NAMES, LIMIT_NAMES, HOLD_NAMES, "breakdown", "energy", "parallel_fraction"},
         read_space},
        {"explain",
         {OPTION_NAMES, LIMIT_NAMES, "step", "pairs", "breakdown", "parallel_fraction"},
         read_explain},
        {"budget",
         {OPTION_NAMES, LIMIT_NAMES, "vary", "series", "best_over", "binding", "step", "jobs",
          "flags", "objective", "parallel_fraction"},
         read_budget},
        {"pareto",
         {OPTION_NAMES, LIMIT_NAMES, HOLD_NAMES, "objectives", "parallel_fraction"},
         read_pareto},
        {"sensitivity",
         {OPTION_NAMES, LIMIT_NAMES, "spread", "jobs", "parallel_fraction"},
         read_sensitivity},
        {"uncertainty",
         {OPTION_NAMES, LIMIT_NAMES, "samples", "seed", "spread", "ranges", "per_sample",
          "first_sample", "jobs", "parallel_fraction"},
         read_uncertainty},
    };
    return all;
}

const Command *command_named(const std::string &name) {
    for (const Command &command : commands())
        if (name == command.name)
            return &command;
    return nullptr;
}
