// What each number of a model file accepts, and the tables of fields by section: the key, the
// member it fills, its range and the meaning an exported file gives it. The reader, the writer,
// the plausibility checks and the model's numbers by name all go through these tables.
#pragma once

#include <cmath>
#include <limits>

#include "model/model.h"

namespace model_file_detail {

inline constexpr double kInf = std::numeric_limits<double>::infinity();

struct Range {
    double low, high;
    bool low_open, high_open;
    bool whole;
    const char *text;

    bool admits(double v) const {
        return std::isfinite(v) && (low_open ? v > low : v >= low) &&
               (high_open ? v < high : v <= high) && (!whole || v == std::floor(v));
    }
};

inline constexpr Range kAnyNumber{-kInf, kInf, false, false, false, "a finite number"};
inline constexpr Range kPositive{0, kInf, true, false, false, "a finite number above 0"};
inline constexpr Range kNonNegative{0, kInf, false, false, false, "a finite number of 0 or more"};
inline constexpr Range kFraction{0, 1, false, false, false, "a number from 0 to 1"};
inline constexpr Range kBelowOne{0,    1,     false,
                                 true, false, "a number from 0 up to but not including 1"};
inline constexpr Range kRatio{0, 1, true, false, false, "a number above 0 and at most 1"};
inline constexpr Range kAxisValue{1,     1 << 20, false,
                                  false, true,    "a whole number from 1 to 1048576"};
inline constexpr Range kLayers{2, 1024, false, false, true, "a whole number from 2 to 1024"};
inline constexpr Range kExponent{0, 10, true, false, false, "a number above 0 and at most 10"};

inline constexpr const char *kNameAccepted =
    "1 to 80 bytes of text, no control character, no space at either end";
inline constexpr const char *kLabelAccepted = "at most 80 bytes of text, no control character";
inline constexpr const char *kUniqueAccepted = "names that differ from each other, ignoring case";

template <class R> struct Field {
    const char *key;
    double R::*member;
    const Range *range;
    const char *meaning; // the comment of an exported file
};

inline const Field<Model> kConstantFields[] = {
    {"parallel_fraction", &Model::parallel_fraction, &kFraction,
     "share of the work that runs in parallel (Amdahl's law), 0 to 1, of every workload "
     "without its own"},
    {"working_set_growth", &Model::working_set_growth, &kPositive,
     "yearly growth factor of the workloads' working sets"},
    {"base_year", &Model::base_year, &kAnyNumber,
     "year whose working sets the miss-rate curves describe"},
};

inline const Field<WorkloadRecord> kWorkloadFields[] = {
    {"cpi", &WorkloadRecord::cpi, &kPositive, "cycles per instruction"},
    {"l2_access_rate", &WorkloadRecord::l2_access_rate, &kNonNegative,
     "L2 accesses per instruction"},
    {"latency_hidden", &WorkloadRecord::latency_hidden, &kFraction,
     "fraction of the L2 access latency the core hides, 0 to 1"},
    {"bw_rate", &WorkloadRecord::bw_rate, &kNonNegative,
     "bandwidth factor: GB/s = bw_rate x f / bw_cpi x cores x perf / bw_width x miss / bw_norm"},
    {"bw_cpi", &WorkloadRecord::bw_cpi, &kPositive, "bandwidth divisor"},
    {"bw_width", &WorkloadRecord::bw_width, &kPositive, "bandwidth divisor"},
    {"bw_norm", &WorkloadRecord::bw_norm, &kPositive, "bandwidth divisor"},
    {"miss_alpha", &WorkloadRecord::miss_alpha, &kPositive,
     "miss rate = miss_alpha x (MB / growth^years + miss_beta)^miss_gamma"},
    {"miss_beta", &WorkloadRecord::miss_beta, &kNonNegative, "miss-rate curve offset, MB"},
    {"miss_gamma", &WorkloadRecord::miss_gamma, &kAnyNumber, "miss-rate curve exponent"},
};

inline const Field<CoreKindRecord> kCoreKindFields[] = {
    {"core_perf", &CoreKindRecord::core_perf, &kPositive,
     "throughput of one core per GHz: 1 at 1 GHz without stalls is a speedup of 1"},
    {"core_power", &CoreKindRecord::core_power, &kNonNegative,
     "dynamic power of one core at ref_Vdd and ref_freq, W"},
    {"ref_Vdd", &CoreKindRecord::ref_Vdd, &kPositive, "supply of core_power, V"},
    {"ref_freq", &CoreKindRecord::ref_freq, &kPositive, "frequency of core_power, GHz"},
    {"uncore_power", &CoreKindRecord::uncore_power, &kNonNegative,
     "shared-logic power at ref_Vdd and ref_freq, once per chip, W"},
    {"reference_uncore_power", &CoreKindRecord::reference_uncore_power, &kNonNegative,
     "reference chip's shared logic added, scaled from its supply and frequency, W"},
};

inline const Field<TranTechRecord> kNodeFields[] = {
    {"node_nm", &TranTechRecord::node_nm, &kPositive, "feature size, nm"},
    {"year", &TranTechRecord::year, &kAnyNumber, "year of the node"},
    {"mem_data_rate", &TranTechRecord::mem_data_rate, &kNonNegative,
     "memory-interface transfer rate"},
    {"bw_offchip", &TranTechRecord::bw_offchip, &kNonNegative,
     "off-chip bandwidth, GB/s; default bandwidth limit"},
    {"bw_tsv", &TranTechRecord::bw_tsv, &kNonNegative,
     "TSV bandwidth, GB/s; default TSV limit with 3D memory"},
    {"mem_latency", &TranTechRecord::mem_latency, &kNonNegative, "main-memory latency, ns"},
    {"wire_length", &TranTechRecord::wire_length, &kNonNegative,
     "length factor of the round-trip wire delay"},
    {"miss_overhead", &TranTechRecord::miss_overhead, &kNonNegative,
     "extra cycles of an off-chip access"},
    {"wire_delay", &TranTechRecord::wire_delay, &kNonNegative, "wire delay, ps per unit length"},
    {"fmax_HP", &TranTechRecord::fmax_HP, &kPositive, "maximum core frequency, HP, GHz"},
    {"area_budget", &TranTechRecord::area_budget, &kNonNegative,
     "die area budget, mm^2; default area limit"},
    {"L2_area_HP", &TranTechRecord::L2_area_HP, &kNonNegative, "L2 area per MB, HP, mm^2"},
    {"density_HP", &TranTechRecord::density_HP, &kNonNegative,
     "logic transistor density, HP, millions per cm^2"},
    {"Vdd_HP", &TranTechRecord::Vdd_HP, &kPositive, "nominal supply, HP, V"},
    {"Vdd_min_HP", &TranTechRecord::Vdd_min_HP, &kNonNegative,
     "lowest allowed scaled HP supply, V"},
    {"Vth_HP", &TranTechRecord::Vth_HP, &kNonNegative, "threshold voltage, HP, V"},
    {"Ileak_HP", &TranTechRecord::Ileak_HP, &kNonNegative, "leakage current, HP, uA per um"},
    {"Lgate_HP", &TranTechRecord::Lgate_HP, &kNonNegative, "gate length, HP, nm"},
    {"Wgate_HP", &TranTechRecord::Wgate_HP, &kNonNegative, "transistor width, HP, nm"},
    {"Cgate_HP", &TranTechRecord::Cgate_HP, &kNonNegative, "switched-capacitance factor, HP"},
    {"power_budget", &TranTechRecord::power_budget, &kNonNegative,
     "chip power budget, W; default power limit"},
    {"fmax_LOP", &TranTechRecord::fmax_LOP, &kPositive, "maximum core frequency, LOP, GHz"},
    {"L2_area_LOP", &TranTechRecord::L2_area_LOP, &kNonNegative, "L2 area per MB, LOP, mm^2"},
    {"density_LOP", &TranTechRecord::density_LOP, &kNonNegative,
     "logic transistor density, LOP, millions per cm^2"},
    {"Vdd_LOP", &TranTechRecord::Vdd_LOP, &kPositive, "nominal supply, LOP, V"},
    {"Vth_LOP", &TranTechRecord::Vth_LOP, &kNonNegative, "threshold voltage, LOP, V"},
    {"Ileak_LOP", &TranTechRecord::Ileak_LOP, &kNonNegative, "leakage current, LOP, uA per um"},
    {"Lgate_LOP", &TranTechRecord::Lgate_LOP, &kNonNegative, "gate length, LOP, nm"},
    {"Wgate_LOP", &TranTechRecord::Wgate_LOP, &kNonNegative, "transistor width, LOP, nm"},
    {"Cgate_LOP", &TranTechRecord::Cgate_LOP, &kNonNegative, "switched-capacitance factor, LOP"},
};

inline const Field<ReferenceChip> kReferenceFields[] = {
    {"cores", &ReferenceChip::cores, &kPositive, "core count"},
    {"core_perf", &ReferenceChip::core_perf, &kPositive, "performance of one of its cores"},
    {"Vdd", &ReferenceChip::Vdd, &kPositive, "supply, V"},
    {"freq", &ReferenceChip::freq, &kPositive, "frequency, GHz"},
    {"l2_mb", &ReferenceChip::l2_mb, &kPositive, "L2 size, MB"},
    {"mem_rate", &ReferenceChip::mem_rate, &kPositive, "memory transfer rate"},
    {"icn_power_a", &ReferenceChip::icn_power_a, &kNonNegative,
     "interconnect power growing with sqrt(cores / reference cores), W"},
    {"icn_power_b", &ReferenceChip::icn_power_b, &kNonNegative,
     "second interconnect power growing likewise, W"},
    {"l2_dyn_power", &ReferenceChip::l2_dyn_power, &kNonNegative,
     "L2 switching power not scaled by distance, W"},
    {"l2_leak_power", &ReferenceChip::l2_leak_power, &kNonNegative,
     "leakage of its l2_mb MB L2, W"},
    {"mem_if_power", &ReferenceChip::mem_if_power, &kNonNegative, "memory-interface power, W"},
    {"cpi", &ReferenceChip::cpi, &kPositive,
     "cycles per instruction of the workload its L2 activity was measured on"},
    {"latency_hidden", &ReferenceChip::latency_hidden, &kBelowOne,
     "latency fraction that workload hides, 0 up to but not including 1"},
    {"Cgate", &ReferenceChip::Cgate, &kPositive, "switched-capacitance factor of its transistors"},
    {"Ileak", &ReferenceChip::Ileak, &kPositive, "leakage current of its transistors, uA per um"},
    {"Lgate", &ReferenceChip::Lgate, &kPositive, "gate length of its transistors, nm"},
    {"bw_offchip", &ReferenceChip::bw_offchip, &kPositive, "off-chip bandwidth, GB/s"},
};

inline const Field<MemoryStack> kStackFields[] = {
    {"ref_node_nm", &MemoryStack::ref_node_nm, &kPositive, "node at which tsv_area is given, nm"},
    {"latency_cut", &MemoryStack::latency_cut, &kFraction,
     "share of the main-memory latency a stack access saves, 0 to 1"},
    {"layer_power", &MemoryStack::layer_power, &kNonNegative, "power of one layer, W"},
    {"layer_capacity", &MemoryStack::layer_capacity, &kPositive,
     "capacity of one memory layer, Gbit"},
    {"layers", &MemoryStack::layers, &kLayers, "layers in the stack; one holds no memory"},
    {"tsv_area", &MemoryStack::tsv_area, &kNonNegative,
     "area of the stack's interface at ref_node_nm, mm^2"},
};

inline constexpr const char *kMemoryKeys[] = {"plain", "stacked"};
inline constexpr const char *kTransistorKeys[] = {"LOP", "LOP_HP", "HP"};

// A node's optional uncore: 0, the built-in model's, when not given; written only when not 0.
inline const Field<NodeRecord> kNodeUncoreFields[] = {
    {"uncore_area_mm2", &NodeRecord::uncore_area_mm2, &kNonNegative,
     "die area beyond the cores and the L2 (memory controllers, I/O, shared logic), mm^2"},
    {"uncore_power_W", &NodeRecord::uncore_power_W, &kNonNegative,
     "uncore power at the cores' nominal supply and fmax, W; scales with supply^2 x frequency"},
};

// The frequency laws as a model file names them.
inline constexpr const char *kTableLaw = "table";
inline constexpr const char *kAlphaPowerLaw = "alpha_power";

enum class Order { Any, Ascending, Distinct };

} // namespace model_file_detail
