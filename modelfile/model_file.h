// Model files: a chip model written as TOML (format version 1), read into a Model and written
// from one. A file either gives the whole model or starts from the built-in one
// (extends = "built-in") and changes or adds only what it names.
//
// A file is refused as a whole when anything in it is wrong, with one message per problem:
//   FILE:LINE: FIELD: PROBLEM; accepted: WHAT
// LINE is the line of the value, or of the table header for a missing field; FIELD names the
// entry by its name where it has one (workload "DB2/TPCC" cpi, constants parallel_fraction).
// A problem with the file as a whole (it cannot be read, it is too large) has no line:
//   FILE: file: PROBLEM; accepted: WHAT
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/model.h"

struct ModelFileResult {
    std::shared_ptr<const Model> model; // null when refused
    std::vector<std::string> errors;    // one line per problem, no trailing newline
    // A file that loads may still give figures outside the ranges typical of real chips (a
    // threshold voltage above the supply, a supply above 2 V, latencies that fall as the cache
    // grows): one line per field, in the form of an error but with what is typical,
    //   FILE:LINE: FIELD: PROBLEM; typical: RANGE
    // Only fields the file gives are judged, and a figure the built-in model holds in the same
    // place (its entry of that name, or the node a based_on names) is not warned about again.
    std::vector<std::string> warnings;
};

// Largest model file read, in bytes; a complete file of the built-in model is about 20 kB.
constexpr size_t kModelFileMaxBytes = 1 << 20;

// Reads, validates and builds a model from a file. A file that cannot be read is one error.
ModelFileResult load_model_file(const std::string &path);

// The same from text already in memory; `source` is the name used in messages and in
// Model::source.
ModelFileResult parse_model_text(std::string_view text, const std::string &source);

// Every figure of a model outside the range typical of real chips, one line per field:
//   FIELD: PROBLEM; typical: RANGE
// (of the built-in model: the HP thresholds of 65, 32 and 20 nm, the 90 nm node's zero area
// budget and TSV bandwidth, and every L2 latency row, which falls as the cache grows).
std::vector<std::string> implausible_figures(const Model &model);

// The model as a complete model file, a comment per field giving its meaning and unit. Numbers
// are written so that they read back to the same double.
std::string export_model(const Model &model);

// A number of the model as a model file names it, with the values a file may give it:
// "constants.parallel_fraction", "workload.DB2/TPCC.miss_alpha", "core_kind.ARM.core_power",
// "node.32nm.fmax_HP", "node.32nm.core_area_LOP_mm2.Niagara", "reference_chip.Cgate",
// "memory_stack.layers". value(model) is that number in a model.
struct ModelNumberField {
    std::string name;
    std::string section;      // constants, workload, core_kind, node, reference_chip, memory_stack,
                              // voltage_frequency (its alpha, with the alpha-power law)
    int entry;                // the workload, core kind or node; -1 in the other sections
    std::string key;          // the field: "miss_alpha", "core_area_LOP_mm2.Niagara"
    double low, high;         // the accepted values: from low to high,
    bool low_open, high_open; // either end left out when open,
    bool whole;               // whole numbers only when whole
    double *(*locate)(Model &model, int entry, int index);
    int index; // what locate needs beyond the entry (the field, or the core kind of an area)

    double &value(Model &model) const { return *locate(model, entry, index); }
    double value(const Model &model) const {
        return *locate(const_cast<Model &>(model), entry, index);
    }
    bool admits(double value) const;
    std::string accepted() const; // "a finite number above 0", as a refusal words it
};

// Every single number of a model (not the axes, the voltage table or the latency rows), in the
// order of an exported file; a workload's own parallel fraction where it has one.
// A node's uncore_area_mm2 and uncore_power_W are listed (0 when not given).
std::vector<ModelNumberField> model_number_fields(const Model &model);
