// search: the best configuration of one option set within its limits, by the speedup or by
// another objective.
#include "chips/evaluation.h"
#include "cli/command.h"
#include "cli/commands/best_rows.h"
#include "cli/evaluate_text.h"
#include "cli/research_text.h"
#include "study/energy.h"

namespace {

// With every dimension held the search evaluates one configuration; when it breaks a limit the
// search reports no configuration, and this gives that configuration's figures and the limits
// it breaks (docs/model.md, "Evaluation mode").
std::string held_configuration(const Request &r, const BestConfiguration &best) {
    const Holds &h = r.holds;
    if (best.feasible || !h.cores || !h.cache || !h.scale)
        return {};
    const Model &m = active_model();
    EvaluationRequest e;
    e.options = r.options;
    e.limits = r.limits;
    e.cores = m.core_counts[size_t(*h.cores)];
    e.cache_mb = m.cache_sizes[size_t(*h.cache)];
    e.scale = m.scale_steps[size_t(*h.scale)];
    // At the held operating point, as the search evaluated it.
    const OperatingPoint op = held_operating_point(r.options, h);
    e.vdd = op.vdd;
    e.freq = op.freq;
    return "\n" + held_configuration_text(evaluate(m, e));
}

// For each limit that no configuration meets, its least figure over the configurations in range
// (how far it is from being met).
std::vector<double> least_figures(const Request &r, const BestConfiguration &best) {
    std::vector<double> least;
    for (Limit limit : best.unmeetable)
        least.push_back(least_figure(r, limit));
    return least;
}

int run_search(const Request &r, const std::string &format, bool flags, bool breakdown, Output &out,
               FILE *err) {
    const BestConfiguration best = search_best(r);
    const BestBreakdown terms(r, best, breakdown);
    if (format != "text") {
        Table table = best_table(flags);
        if (breakdown)
            add_power_columns(table);
        add_best_row(table, best);
        if (breakdown)
            add_power_values(table, terms.given);
        return write_table(table, format, out, err);
    }
    const std::vector<double> least = least_figures(r, best);
    out.text() +=
        request_text(r) + "\n" + best_text(best, least, terms.given) + held_configuration(r, best);
    const std::string edges = edges_text(best);
    if (flags && !edges.empty())
        out.text() += "Edges:    " + edges + "\n";
    const int status = finished(out, err);
    if (!flags && status == 0)
        note_edges(best, err);
    return status;
}

int run_search_by(const Request &r, const Arguments &a, bool flags, bool breakdown,
                  const std::string &format, Output &out, FILE *err) {
    const BestConfiguration best = search_best_by(r, a.chosen());
    const BestBreakdown terms(r, best, breakdown);
    if (format != "text") {
        Table table = best_energy_table(flags);
        const size_t energy = table.columns.size() - 3;
        if (breakdown)
            add_power_columns(table);
        add_best_row(table, best);
        add_energy_values(table, energy, best.feasible ? &best.figures : nullptr);
        if (breakdown)
            add_power_values(table, terms.given);
        return write_table(table, format, out, err);
    }
    const std::vector<double> least = least_figures(r, best);
    out.text() += request_text(r) + objective_line(a.chosen()) + "\n" +
                  best_text(best, least, terms.given) + best_energy_text(best) +
                  held_configuration(r, best);
    const std::string edges = edges_text(best);
    if (flags && !edges.empty())
        out.text() += "Edges:    " + edges + "\n";
    return finished(out, err);
}

void add_search_options(CLI::App *command, Arguments &a) {
    add_one_request(command, a);
    add_flags(command, a);
    add_breakdown(command, a);
    add_objective(command, a);
    add_energy_flag(command, a);
}

int run_search_command(const Invocation &run) {
    const Arguments &a = run.a;
    if (a.energy_columns())
        return run_search_by(run.r, a, a.flags, a.breakdown, a.format, run.out, run.err);
    return run_search(run.r, a.format, a.flags, a.breakdown, run.out, run.err);
}

} // namespace

extern const Command search_command{
    .name = "search",
    .summary = "The best configuration of one option set within its limits.",
    .add_options = add_search_options,
    .run = run_search_command,
};
