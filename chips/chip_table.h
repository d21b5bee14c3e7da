// A table of real chips with their published figures (models/chips.toml): per chip the option
// set it is evaluated at, its core count and cache, and the clock, supply, die area and power
// its sources give, each figure with what it covers. The format:
//
//   format_version = 1
//   [[chip]]
//   name = "UltraSPARC T1"
//   node = "90nm"            # the model node it is evaluated at
//   node_nm = 90             # its real node
//   transistor = "HP"        # LOP | LOP/HP | HP, the model's transistor kind for it
//   core = "Niagara"         # a core kind of the model
//   workload = "DB2/TPCC"    # optional: the model's first workload
//   memory = "plain"         # optional: plain
//   cores = 8
//   cache_mb = 3             # any size above 0
//   freq_ghz = 1.2
//   vdd_v = 1.2              # optional: the node's nominal supply
//   area_mm2 = 378           # optional
//   area_covers = "die"      # die | cpu, with an area
//   power_w = 63             # optional
//   power_kind = "max"       # max | tdp | nominal | measured, with a power
//   sources = ["..."]        # where the figures come from, at least one
//
// A table is refused as a whole when anything in it is wrong, one line per problem:
//   FILE:LINE: chip "NAME" FIELD: PROBLEM; accepted: WHAT
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/model.h"
#include "study/choices.h"

struct Chip {
    std::string name;
    OptionSet options; // indices into the model's lists
    double node_nm = 0;
    double cores = 0;
    double cache_mb = 0;
    double freq_ghz = 0;
    std::optional<double> vdd_v;
    std::optional<double> area_mm2;
    std::string area_covers; // "die" or "cpu"; empty without an area
    std::optional<double> power_w;
    std::string power_kind; // "max", "tdp", "nominal" or "measured"; empty without a power
    std::vector<std::string> sources;
};

struct ChipTable {
    std::vector<Chip> chips;
    std::vector<std::string> errors; // one line per problem; empty when read
};

constexpr size_t kChipTableMaxBytes = 1 << 20;

// Reads and checks a chip table against a model (its nodes, core kinds and workloads).
ChipTable read_chip_table(const std::string &path, const Model &model);
ChipTable parse_chip_table(std::string_view text, const std::string &source, const Model &model);

// The table shipped as models/chips.toml, built into the program: what validate and calibrate
// read when no other table is given.
constexpr const char *kShippedChipTable = "models/chips.toml";
const char *shipped_chip_table_text();
