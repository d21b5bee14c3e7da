// What a search works on, from its description: the figures of the options selected, the
// operating point of a scale step and the ranges of indices searched. Shared by the engine's
// files (search/engine.cpp, search/design_space.cpp, search/configuration.cpp, search/terms.cpp);
// callers use search/engine.h.
#pragma once

#include "model/area.h"
#include "model/model.h"
#include "model/power.h"
#include "model/scaling.h"
#include "model/speedup.h"
#include "model/tables.h"
#include "search/engine.h"

namespace search_detail {

// Everything the model needs that depends only on the option selections.
//
// The figures are copies, not references into the model: no call in the search loops can change
// a local, so the compiler keeps them in registers and works out what depends on them alone
// once per search.
struct Selection {
    TranTechRecord node;
    WorkloadFigures workload;
    CoreKindFigures kind;
    ReferenceChip ref;
    MemoryStack stack;
    double parallel_fraction, working_set_growth, base_year;
    const double *scale_steps, *cache_sizes, *core_counts; // the model's axes
    const double *vdd_ratios, *freq_ratios;                // its voltage-to-frequency table
    bool stacked;                                          // 3D memory
    int transistor;                                        // 0 LOP, 1 LOP/HP, anything else HP
    bool core_lop, cache_lop; // which flavour feeds the cores and the L2 cache
    double core_area, l2_area_per_mb;
    const double *l2_latency;         // the node's row of the cache technology's latencies
    double stack_miss_rate;           // share of the L2 misses that miss in the memory stack too
    double uncore_area, uncore_power; // the node's; 0 leaves the figures as they are
    FrequencyLaw frequency_law;
    double alpha; // the alpha-power law's exponent

    double fmax_core() const { return core_lop ? node.fmax_LOP : node.fmax_HP; }
    double vdd_core() const { return core_lop ? node.Vdd_LOP : node.Vdd_HP; }
    double vth_core() const { return core_lop ? node.Vth_LOP : node.Vth_HP; }
    double cgate_core() const { return core_lop ? node.Cgate_LOP : node.Cgate_HP; }
    double ileak_core() const { return core_lop ? node.Ileak_LOP : node.Ileak_HP; }
    double wgate_core() const { return core_lop ? node.Wgate_LOP : node.Wgate_HP; }
    double density_core() const { return core_lop ? node.density_LOP : node.density_HP; }
    double fmax_l2() const { return cache_lop ? node.fmax_LOP : node.fmax_HP; }
    double vdd_l2() const { return cache_lop ? node.Vdd_LOP : node.Vdd_HP; }
    double vth_l2() const { return cache_lop ? node.Vth_LOP : node.Vth_HP; }
    double cgate_l2() const { return cache_lop ? node.Cgate_LOP : node.Cgate_HP; }
    double ileak_l2() const { return cache_lop ? node.Ileak_LOP : node.Ileak_HP; }
    double lgate_l2() const { return cache_lop ? node.Lgate_LOP : node.Lgate_HP; }

    // Footprint of the memory stack's interface; 0 with plain memory.
    double stack_area() const {
        return stacked ? stack_interface_area(node.node_nm, stack.ref_node_nm, stack.tsv_area)
                       : 0.0;
    }

    // Power of the memory stack's own layers.
    double stack_power() const { return stack.layers * stack.layer_power; }

    double miss_rate(double cache_mb) const {
        return L2_model_missRate(workload.miss_alpha, cache_mb, working_set_growth, node.year,
                                 base_year, workload.miss_beta, workload.miss_gamma);
    }

    double voltage_step(double target) const;
    double f_scal(double vdd_ratio) const;
    // The frequency ratio of a step under the model's law, vdd_ratio the voltage_step of target.
    double step_f_ratio(double target, double vdd_ratio) const {
        if (frequency_law == FrequencyLaw::AlphaPower)
            return alpha_power_ratio(vdd_core(), vth_core(), alpha, vdd_ratio);
        return f_scal(target);
    }
};

Selection selection_of(const SearchSpec &spec);

// Ratios of a scale step, or of the current operating point when the scale is held.
struct OperatingPoint {
    double vdd_ratio, f_ratio;
    int ok; // the supply respects the floor of the cache technology
};

OperatingPoint operating_point(const Selection &s, const SearchSpec &spec, int scale);

struct Range {
    int first, last;
};

Range range_of(bool held, int index, int count);

struct Ranges {
    Range scales, caches, cores;
};

Ranges ranges_of(const SearchSpec &spec);

} // namespace search_detail
