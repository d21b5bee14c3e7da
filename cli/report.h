// The tool's output: records written as CSV or JSON, and the tables and summaries of the text
// format.
#pragma once

#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "study/budget.h"
#include "study/design.h"
#include "study/explain.h"
#include "study/records.h"

// The limits in force as one line: "area 221.88 mm^2, power 102 W, off-chip bandwidth ...".
std::string limits_line(const OptionSet &options, const LimitValues &limits);

// A header row, then one line per record. Numbers are written so that they read back to the
// same double; lists are joined with '+'.
std::string to_csv(const std::vector<Record> &records);

// An array of objects, one object per line, keys in column order.
std::string to_json(const std::vector<Record> &records);

// What was asked: options, limits in force, held dimensions and the model, one line each.
std::string request_text(const Request &request);

// "Model:    built-in, parallel fraction 0.99 (docs/model.md)": the model in use (its file's
// path when read from one) and the assumption every result rests on.
std::string model_line();

// The best configuration for a person to read. least holds, for each unmeetable limit of an
// infeasible result, the least figure any configuration in range has.
std::string best_text(const BestConfiguration &best, const std::vector<double> &least);

// The best configuration as the columns of one table row, speedup to TSV bandwidth, and their
// header; each ends the line.
std::string best_columns(const BestConfiguration &best);
std::string best_columns_header();

std::string sweep_text(const std::vector<BestConfiguration> &rows);
std::string space_text(const std::vector<SpaceRow> &rows, bool stacked);

std::string explain_text(const Explanation &explanation);
std::string budget_text(const Budget &budget);
