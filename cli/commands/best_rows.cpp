// The output that search, sweep, explain and plot's scaling chart share (best_rows.h).
#include "cli/commands/best_rows.h"

#include "cli/command.h"
#include "cli/report.h"
#include "study/energy.h"

void note_edges(const BestConfiguration &best, FILE *err) {
    const std::string edges = edges_text(best);
    if (!edges.empty())
        say(err, "note: the best configuration sits at the end of an axis of the design space (" +
                     edges + "); --flags gives the ends as columns");
}

BestBreakdown::BestBreakdown(const Request &r, const BestConfiguration &best, bool asked) {
    if (!asked || !best.feasible)
        return;
    terms = power_breakdown(spec_of(r), best.scale, best.cache, best.cores);
    given = &terms;
}

int write_best_rows(const std::vector<BestConfiguration> &rows, const std::string &format,
                    Output &out, FILE *err) {
    BestRowsWriter writer(out, format);
    writer.add(rows) && writer.end();
    return finished(out, err);
}

Table best_energy_table(bool flags) {
    Table table = best_table(flags);
    add_energy_columns(table);
    return table;
}

void add_best_energy_row(Table &table, const BestConfiguration &best) {
    add_best_row(table, best);
    add_energy_values(table, best.feasible ? &best.figures : nullptr);
}
