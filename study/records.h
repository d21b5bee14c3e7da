// Results as records with named fields: the columns of the tool's CSV and JSON output and of
// the Python package's tables, built from the searches' results.
#pragma once

#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "study/design.h"

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

Record best_record(const BestConfiguration &best);
Record space_record(const SpaceRow &row, bool stacked);
