// The tool's text output: the summaries and tables a person reads.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "study/budget.h"
#include "study/design.h"
#include "study/explain.h"
#include "study/result_columns.h"

// The limits in force as one line: "area 221.88 mm^2, power 102 W, off-chip bandwidth ...".
std::string limits_line(const OptionSet &options, const LimitValues &limits);

// What was asked: options, limits in force, held dimensions and the model, one line each.
std::string request_text(const Request &request);

// "Model:    built-in, parallel fraction 0.99 (docs/model.md)": the model in use (its file's
// path when read from one) and the assumption every result rests on: the parallel fraction a
// search of the workload uses, or with none given, the model's and every workload's own.
std::string model_line(std::optional<int> workload);

// The best configuration for a person to read. least holds, for each unmeetable limit of an
// infeasible result, the least figure any configuration in range has. With a breakdown, the
// power's terms follow the power line (power_terms_text).
std::string best_text(const BestConfiguration &best, const std::vector<double> &least,
                      const PowerBreakdown *breakdown = nullptr);

// The power's terms, a line each with its share of the power, in the columns' order.
std::string power_terms_text(const PowerBreakdown &breakdown);

// The power's terms as seven columns of space's table (each line's end, before "breaks"), and
// their header.
std::string power_columns_header();
std::string power_columns(const PowerBreakdown &breakdown);

// The best configuration as the columns of one table row, speedup to TSV bandwidth, and their
// header; each ends the line.
std::string best_columns(const BestConfiguration &best);
std::string best_columns_header();

// sweep's text (and the scaling chart's rows): the model line and the header, then a line per
// option set.
std::string sweep_text_header();
std::string sweep_text_row(const BestConfiguration &row);

// space's table (after request_text): the header, then a line per configuration.
std::string space_text_header();
std::string space_text_row(const SpaceRow &row, bool stacked);

// With a breakdown (the optimum's), the power's terms follow its power line.
std::string explain_text(const Explanation &explanation, const PowerBreakdown *breakdown = nullptr);

// budget's text: per option set, its options, limits and the model, then a line per point
// (first: the first option set, which no blank line separates from what came before).
std::string budget_text_header(const BudgetRequest &request, const BudgetSeries &series,
                               bool first);
void append_budget_text_rows(std::string &text, const BudgetRequest &request,
                             const BudgetSeries &series, const BudgetChunk &chunk, size_t from,
                             size_t to);
