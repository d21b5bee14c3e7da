// Plausibility: figures a model file may give but real chips do not have.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include <toml++/toml.h>

#include "model/model.h"

namespace model_file_detail {

// A figure outside the range typical of real chips, at most one per field.
struct Oddity {
    std::string section; // constants, workload, core_kind, node, reference_chip
    std::string entry;   // the workload, core kind or node; empty in the other sections
    std::string key;     // the field: "Vth_HP", "core_area_LOP_mm2", "l2_latency_HP_ns"
    std::string kind;    // the core kind of a core area; else empty
    int element;         // the element of a latency row the problem is at; else -1
    std::string problem, typical;
    std::vector<double> values; // what it was judged on
};

// Every figure of a model outside its typical range, in the order of an exported file.
std::vector<Oddity> oddities_of(const Model &m);

// The field as messages name it: constants working_set_growth, node "20nm" Vth_HP,
// node "20nm" core_area_HP_mm2 "ARM", node "20nm" l2_latency_HP_ns[3].
std::string field_text(const Oddity &o);

// One warning per field the file gives that is outside its typical range. A figure the model
// it extends already holds in the same place (the built-in model's entry of that name, or the
// base of a node read with based_on) is not warned about again: docs/model.md lists those of
// the built-in model.
// A node's figure that any node of the extended model holds bit for bit is not warned about
// either (an exported file writes a node read with based_on in full).
std::vector<std::string> warnings_of(const toml::table &root, const Model &m, const Model &extended,
                                     const std::vector<std::pair<std::string, NodeRecord>> &bases,
                                     const std::string &source);

} // namespace model_file_detail
