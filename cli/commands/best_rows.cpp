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

std::string edge_columns_header() {
    return format(" %-10s %-10s %s", "edge_cores", "edge_cache", "edge_scale");
}

std::string edge_columns(const Edges &edges) {
    auto end = [](int side, const char *low, const char *high) {
        return side < 0 ? low : side > 0 ? high : "-";
    };
    return format(" %-10s %-10s %s", end(edges.cores, "fewest", "most"),
                  end(edges.cache, "smallest", "largest"), end(edges.scale, "first", "last"));
}

std::string with_edge_columns(const std::string &line, const std::string &columns) {
    if (columns.empty() || line.empty() || line.back() != '\n')
        return line;
    return line.substr(0, line.size() - 1) + columns + "\n";
}
