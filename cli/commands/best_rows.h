// What search, sweep, explain and plot's scaling chart share: rows of best configurations in
// the chosen format, the power's terms of a best configuration, and the note on the ends of
// the design space's axes.
#pragma once

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/output.h"
#include "cli/report.h"
#include "search/engine.h"
#include "study/design.h"
#include "study/result_columns.h"
#include "study/table.h"

// With --flags in text, the ends of the axes that a best configuration sits at as columns, as
// CSV and JSON name them ("fewest", "most", ...; "-" inside an axis), after a row's other
// columns.
std::string edge_columns_header();
std::string edge_columns(const Edges &edges);
// A text line (ending in a newline) with the columns added before its newline.
std::string with_edge_columns(const std::string &line, const std::string &columns);

// Rows of best configurations in the chosen format, a batch at a time: sweep's output and the
// scaling chart's rows. begin writes what comes before the first batch; add each batch; end.
class BestRowsWriter {
  public:
    BestRowsWriter(Output &out, const std::string &format, bool flags = false)
        : out_(out), text_(format == "text"), flags_(flags), writer_(out, table_format(format)),
          table_(best_table(flags)) {
        if (text_)
            out_.text() += with_edge_columns(sweep_text_header(),
                                             flags_ ? edge_columns_header() : std::string());
    }
    bool add(const std::vector<BestConfiguration> &rows) {
        for (size_t first = 0; first < rows.size(); first += kRowsPerTable) {
            const size_t last = std::min(rows.size(), first + kRowsPerTable);
            if (text_) {
                for (size_t i = first; i < last; i++) {
                    at_edges_ += rows[i].feasible && rows[i].edges.any();
                    out_.text() += with_edge_columns(
                        sweep_text_row(rows[i]),
                        flags_ && rows[i].feasible ? edge_columns(rows[i].edges) : std::string());
                    if (!out_.flush_when_full())
                        return false;
                }
                continue;
            }
            table_.clear_rows();
            for (size_t i = first; i < last; i++)
                add_best_row(table_, rows[i]);
            if (!writer_.write(table_))
                return false;
        }
        return true;
    }
    bool end() { return text_ ? out_.finish() : writer_.finish(); }
    // Text rows whose best configuration sits at an end of an axis.
    size_t at_edges() const { return at_edges_; }

  private:
    // Rows turned into columns at a time: enough to write in bulk, few enough to stay small.
    static constexpr size_t kRowsPerTable = 4096;
    Output &out_;
    bool text_, flags_;
    TableWriter writer_;
    Table table_;
    size_t at_edges_ = 0;
};

// A note on the error stream, so that the output keeps its bytes: where the best configuration
// sits at an end of an axis, the design space rather than the chip decided.
void note_edges(const BestConfiguration &best, FILE *err);

// The power's terms of a best configuration, when they are asked for and it has one.
struct BestBreakdown {
    PowerBreakdown terms{};
    const PowerBreakdown *given = nullptr; // &terms, or none

    BestBreakdown(const Request &r, const BestConfiguration &best, bool asked);
    BestBreakdown(const BestBreakdown &) = delete;
};

// Rows of best configurations, whole, in the chosen format.
int write_best_rows(const std::vector<BestConfiguration> &rows, const std::string &format,
                    Output &out, FILE *err);

// The rows of search and sweep with the energy columns (after the ends of axes, with flags).
Table best_energy_table(bool flags);
void add_best_energy_row(Table &table, const BestConfiguration &best);
