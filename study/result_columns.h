// The commands' results as typed columns (study/table.h), named and ordered as the tool's CSV
// and JSON output and the Python package's tables: a table with the columns of a kind of
// result, and the functions that append one result's rows to it.
#pragma once

#include <string>
#include <vector>

#include "study/design.h"
#include "study/table.h"

// printf into a std::string.
std::string format(const char *pattern, ...) __attribute__((format(printf, 1, 2)));

const char *unit_of(Limit limit);    // "mm^2", "W", "GB/s"
const char *caption_of(Limit limit); // "area", "power", "off-chip bandwidth", "TSV bandwidth"
double limit_value(const LimitValues &limits, Limit limit);

// Limits as a set (bit int(limit)), in the order of the Limit values.
uint64_t limit_set(const std::vector<Limit> &limits);

// The best configuration of an option set (search, sweep, budget, the scaling chart's rows):
// workload, memory, transistor, core, node, the limits in force, feasible, the configuration
// and its figures (empty when not feasible), unmeetable_limits.
// With edges (--flags), three more columns name the ends of axes the configuration sits at:
// edge_cores (fewest, most), edge_cache (smallest, largest), edge_scale (first, last), empty
// when inside or not feasible.
Table best_table(bool edges = false);
void add_best_row(Table &table, const BestConfiguration &best);

// Every configuration of one option set (space); with_options starts each row with the option
// columns, as the Python package's rows do.
Table space_table(bool with_options);
void add_space_row(Table &table, const OptionSet &options, const SpaceRow &row);

// The power's terms (--breakdown), W each, in this order: power_core_switching_w (t1 in
// docs/model.md), power_shared_logic_w (t2), power_l2_switching_w (t3), power_core_leakage_w
// (t0), power_l2_leakage_w (t4), power_memory_interface_w (t5) and power_memory_stack_w (the
// stack's layers, 0 with plain memory). power_w is power_core_leakage_w + ((((
// power_core_switching_w + power_shared_logic_w) + power_l2_switching_w) + power_l2_leakage_w)
// + power_memory_interface_w), plus power_memory_stack_w with 3D memory, bit for bit. prefix
// names the columns of another configuration ("relaxed_").
// A model with an uncore (has_uncore) adds two: power_uncore_w (t6, added to the power last)
// and area_uncore_mm2 (the share of the area that is the node's uncore).
size_t power_column_count();
void add_power_columns(Table &table, const std::string &prefix = "");
// A row's values in the power_column_count() columns from column `first` on; empty when there
// is no configuration.
void add_power_values(Table &table, size_t first, const PowerBreakdown *breakdown);
// Appends them to the last power_column_count() columns.
void add_power_values(Table &table, const PowerBreakdown *breakdown);
