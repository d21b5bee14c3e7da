// The tool's output: records with named fields written as CSV or JSON, and the tables and
// summaries of the text format.
#pragma once

#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "cli/design.h"

// One output value; monostate is an empty CSV field and a JSON null.
using Field =
    std::variant<std::monostate, bool, int, double, std::string, std::vector<std::string>>;

// One row: the fields in column order. Every record of one output has the same columns.
using Record = std::vector<std::pair<std::string, Field>>;

// printf into a std::string.
std::string format(const char *pattern, ...) __attribute__((format(printf, 1, 2)));

const char *unit_of(Limit limit);    // "mm^2", "W", "GB/s"
const char *caption_of(Limit limit); // "area", "power", "off-chip bandwidth", "TSV bandwidth"
double limit_value(const LimitValues &limits, Limit limit);

// The option columns every record of an option set starts with: workload, memory,
// transistor, core, node.
Record option_fields(const OptionSet &options);

// The limits in force as one line: "area 221.88 mm^2, power 102 W, off-chip bandwidth ...".
std::string limits_line(const OptionSet &options, const LimitValues &limits);

Record best_record(const BestConfiguration &best);
Record space_record(const SpaceRow &row, bool stacked);

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
