// The chip model as one value: every figure the model functions and the searches read, with
// each role (workload, core kind, technology node, reference chip, memory stack) in its own
// record. The built-in model is made from the constant tables; a model file (model_file.h)
// gives another. One model is active at a time; the searches, the window and the command-line
// tool read it, and nothing copies its tables per search.
//
// Units: cache sizes in MB, areas in mm^2, power in W, bandwidth in GB/s, frequencies in GHz,
// latencies in ns, voltages in V.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/tables.h"

// Version of the model file format this program reads and writes.
constexpr int kModelFormatVersion = 1;

// The name of an option as the command line takes and prints it, and the text of its item in
// the window's option box.
struct OptionName {
    std::string name;
    std::string window_item;
};

struct MemoryKindName : OptionName {
    std::string description; // in one-line summaries: "plain memory", "3D memory"
};

struct WorkloadFigures {
    double cpi;            // cycles per instruction
    double l2_access_rate; // L2 accesses per instruction
    double latency_hidden; // fraction of the L2 access latency the core hides
    double bw_rate;        // bandwidth demand: bw_rate x f / bw_cpi x cores x perf / bw_width
    double bw_cpi;         //   x miss rate / bw_norm, GB/s
    double bw_width;
    double bw_norm;
    double miss_alpha; // miss rate = miss_alpha x (MB / growth^years + miss_beta)^miss_gamma
    double miss_beta;  // MB
    double miss_gamma;
};

struct WorkloadRecord : OptionName, WorkloadFigures {
    // The workload's own parallel fraction, in place of Model::parallel_fraction; none in the
    // built-in model (a model file's workload may give one).
    std::optional<double> parallel_fraction = std::nullopt;
};

struct CoreKindFigures {
    double core_perf;  // throughput of one core per GHz: one core of perf 1 at 1 GHz that
                       // never stalls is a speedup of 1
    double core_power; // dynamic power of one core at ref_Vdd and ref_freq, W
    double ref_Vdd;    // V
    double ref_freq;   // GHz
    // Shared logic: uncore_power is scaled like the cores (from ref_Vdd, ref_freq);
    // reference_uncore_power is the reference chip's, scaled from the reference chip's supply
    // and frequency.
    double uncore_power;           // W
    double reference_uncore_power; // W
};

struct CoreKindRecord : OptionName, CoreKindFigures {};

struct NodeRecord : OptionName {
    TranTechRecord tech;
    std::vector<double> core_area_HP;               // mm^2 per core, by core kind
    std::vector<double> core_area_LOP;              // mm^2 per core, by core kind
    std::array<double, kCacheSizes> l2_latency_HP;  // ns, by cache size
    std::array<double, kCacheSizes> l2_latency_LOP; // ns, by cache size
    // What a real die has beyond the cores and the L2 cache (memory controllers, I/O, the
    // rest of the shared logic): 0, the built-in model's, leaves the figures as they are.
    double uncore_area_mm2 = 0; // mm^2, added to the die area
    double uncore_power_W = 0;  // W at the cores' nominal supply and fmax, scaled like switching
};

// How a scale step's supply sets the cores' frequency: the table of supply ratios
// (voltage_frequency), or the alpha-power law f ~ (V - Vth)^alpha / V on the supply applied.
enum class FrequencyLaw { Table, AlphaPower };

// The chip every power figure is scaled from (8 Niagara cores at 1.2 GHz and 1.2 V, 90 nm HP,
// in the built-in model), with the workload and node figures its power was measured at.
struct ReferenceChip {
    double cores;
    double core_perf;
    double Vdd;            // V
    double freq;           // GHz
    double l2_mb;          // MB
    double mem_rate;       // memory transfer rate
    double icn_power_a;    // W, interconnect, grows with sqrt(cores / reference cores)
    double icn_power_b;    // W, likewise
    double l2_dyn_power;   // W, L2 switching power not scaled by distance
    double l2_leak_power;  // W, leakage of its l2_mb MB L2
    double mem_if_power;   // W, memory interface
    double cpi;            // of the workload its L2 activity was measured on
    double latency_hidden; // of that workload
    double Cgate;          // of its node's HP transistors
    double Ileak;          // uA per um
    double Lgate;          // nm
    double bw_offchip;     // GB/s
};

struct MemoryStack {
    double ref_node_nm;    // nm at which tsv_area is given
    double latency_cut;    // share of the main-memory latency a stack access saves
    double layer_power;    // W per layer
    double layer_capacity; // Gbit per layer
    double layers;         // one of them holds no memory
    double tsv_area;       // mm^2 at ref_node_nm
};

struct Model {
    std::string source = "built-in"; // "built-in" or the path of the file it was read from

    double parallel_fraction;  // of every workload without its own (Amdahl's law)
    double working_set_growth; // yearly growth factor of the working sets
    double base_year;          // year whose working sets the miss-rate curves describe

    std::array<double, kCoreCounts> core_counts;
    std::array<double, kCacheSizes> cache_sizes; // MB
    std::array<double, kScaleSteps> scale_steps; // targeted supply ratio of each step
    // Voltage ratio to frequency ratio; freq_ratios pairs with the first kScaleSteps ratios.
    std::array<double, 11> vdd_ratios;
    std::array<double, kScaleSteps> freq_ratios;
    FrequencyLaw frequency_law = FrequencyLaw::Table;
    double alpha = 0; // the alpha-power law's exponent, read with that law only

    std::array<MemoryKindName, 2> memory_kinds; // plain, 3D-stacked
    std::array<OptionName, 3> transistor_kinds; // LOP, LOP/HP, HP
    std::vector<WorkloadRecord> workloads;
    std::vector<CoreKindRecord> core_kinds;
    std::vector<NodeRecord> nodes;
    int start_node; // selected when the window opens and when no node is given

    ReferenceChip reference;
    MemoryStack stack;
};

// The parallel fraction a search of the workload uses: its own, or the model's.
inline double parallel_fraction_of(const Model &m, int workload) {
    const std::optional<double> &own = m.workloads[size_t(workload)].parallel_fraction;
    return own ? *own : m.parallel_fraction;
}

// Whether any node of the model has an uncore area or power: the breakdowns then show them.
inline bool has_uncore(const Model &m) {
    for (const NodeRecord &n : m.nodes)
        if (n.uncore_area_mm2 != 0 || n.uncore_power_W != 0)
            return true;
    return false;
}

namespace model_detail {
Model make_builtin_model();
// The model made active by set_active_model; null for the built-in one. Constant-initialised,
// so that it is right even for other files' static initialisation.
inline constinit const Model *active = nullptr;
} // namespace model_detail

// The model made from the constant tables. Inline, as active_model, because the searches ask
// for the model on every call.
inline const Model &builtin_model() {
    static const Model model = model_detail::make_builtin_model();
    return model;
}

// The model the searches, the window and the command-line tool read; the built-in one until
// another is made active.
inline const Model &active_model() {
    const Model *model = model_detail::active;
    return model != nullptr ? *model : builtin_model();
}

// Makes a model active (the built-in one when null). The design state's option indices must
// be put in range for it by the caller (reset_design_state does).
void set_active_model(std::shared_ptr<const Model> model);
