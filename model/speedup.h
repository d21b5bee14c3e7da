// L2 miss rate and chip speedup, with plain off-chip memory and with a 3D memory stack.
// Defined here so that the searches can inline them and work out once what does not change
// from one configuration to the next.
//
// Units: cache sizes in MB, latencies in ns, frequencies in GHz (latency / cycle time gives
// cycles), wire delay in ps per unit length.
//
// The order of operations and the single-precision steps below are part of the model: results
// are compared across configurations, so they must not be rearranged or "simplified".
#pragma once

#include "model/runtime_math.h"

// Miss rate of a workload's power law, its working set grown by `growth` per year since
// base_year.
inline double L2_model_missRate(double miss_alpha, double cache_mb, double growth, double year,
                                double base_year, double miss_beta, double miss_gamma) {
    float years = static_cast<float>(year - base_year);
    double growth_factor = runtime_powf(static_cast<float>(growth), years);
    float effective = static_cast<float>(cache_mb / growth_factor + miss_beta);
    return static_cast<double>(runtime_powf(effective, static_cast<float>(miss_gamma))) *
           miss_alpha;
}

// Capacity of the memory stack in MB: one of its layers holds no memory; capacity in Gbit.
inline double stack_capacity_mb(double layer_capacity, double layers) {
    return (layers - 1) * layer_capacity * 1024 / 8;
}

// Share of the L2 misses that miss in the memory stack as well: the workload's miss rate for
// the stack's capacity.
inline double stack_miss_rate(double miss_alpha, double layer_capacity, double layers,
                              double growth, double year, double base_year, double miss_beta,
                              double miss_gamma) {
    return L2_model_missRate(miss_alpha, stack_capacity_mb(layer_capacity, layers), growth, year,
                             base_year, miss_beta, miss_gamma);
}

namespace speedup_terms {

// Amdahl's law on the scaled frequency.
inline double core_performance(double core_perf, double fmax, double f_ratio, double parallel,
                               double n_cores) {
    return core_perf * fmax * f_ratio / (parallel / n_cores + (1 - parallel));
}

// Exposed L2 accesses per cycle.
inline double exposed_accesses(double cpi, double l2_access_rate, double latency_hidden) {
    return (1 / cpi) * l2_access_rate * (1 - latency_hidden);
}

// Round trip over the wires, ns (wire_delay is in ps).
inline double wire_round_trip(double wire_delay, double wire_length) {
    return (wire_delay / 1000 + wire_delay / 1000) * wire_length;
}

} // namespace speedup_terms

inline double speedup_cores(int ok, double core_perf, double fmax, double f_ratio, double parallel,
                            double n_cores, double cpi, double l2_access_rate,
                            double latency_hidden, double miss_rate, double l2_latency,
                            double mem_latency, double wire_delay, double wire_length,
                            double miss_overhead, double norm) {
    using namespace speedup_terms;
    if (ok == 0)
        return 0.0;
    double perf = core_performance(core_perf, fmax, f_ratio, parallel, n_cores);
    double cycle = 1 / (fmax * f_ratio);
    double miss_cycles =
        (wire_round_trip(wire_delay, wire_length) + (mem_latency + l2_latency)) / cycle +
        miss_overhead;
    double hit_cycles = (1 - miss_rate) * l2_latency / cycle;
    double access = exposed_accesses(cpi, l2_access_rate, latency_hidden);
    double stall = (miss_cycles * miss_rate + hit_cycles) * access;
    return perf / (stall + 1) / norm;
}

// As speedup_cores_3d_mem, with the stack's miss rate (stack_miss_rate) given.
inline double speedup_cores_stacked(int ok, double core_perf, double fmax, double f_ratio,
                                    double parallel, double n_cores, double cpi,
                                    double l2_access_rate, double latency_hidden, double miss_rate,
                                    double l2_latency, double stack_miss_rate, double mem_latency,
                                    double latency_cut, double wire_delay, double wire_length,
                                    double miss_overhead, double norm) {
    using namespace speedup_terms;
    if (ok == 0)
        return 0.0;
    double perf = core_performance(core_perf, fmax, f_ratio, parallel, n_cores);
    double access = exposed_accesses(cpi, l2_access_rate, latency_hidden);
    double cycle = 1 / (fmax * f_ratio);
    double hit = (1 - miss_rate) * l2_latency / cycle;
    double stack_latency = (1 - latency_cut) * mem_latency;
    // An L2 miss served by the stack costs the stack and L2 latencies plus 2 cycles; a miss in
    // the stack as well adds main memory, the wires and the off-chip overhead.
    double stack_hit =
        ((stack_latency + l2_latency) / cycle + 2.0) * ((1 - stack_miss_rate) * miss_rate);
    double stack_miss =
        ((wire_round_trip(wire_delay, wire_length) + ((stack_latency + mem_latency) + l2_latency)) /
             cycle +
         miss_overhead + 2.0) *
        (stack_miss_rate * miss_rate);
    double stall = (hit + stack_hit + stack_miss) * access;
    return perf / (stall + 1) / norm;
}

inline double speedup_cores_3d_mem(int ok, double core_perf, double fmax, double f_ratio,
                                   double parallel, double n_cores, double cpi,
                                   double l2_access_rate, double latency_hidden, double miss_rate,
                                   double l2_latency, double miss_alpha, double layer_capacity,
                                   double layers, double growth, double year, double base_year,
                                   double miss_beta, double miss_gamma, double mem_latency,
                                   double latency_cut, double wire_delay, double wire_length,
                                   double miss_overhead, double norm) {
    if (ok == 0)
        return 0.0;
    return speedup_cores_stacked(ok, core_perf, fmax, f_ratio, parallel, n_cores, cpi,
                                 l2_access_rate, latency_hidden, miss_rate, l2_latency,
                                 stack_miss_rate(miss_alpha, layer_capacity, layers, growth, year,
                                                 base_year, miss_beta, miss_gamma),
                                 mem_latency, latency_cut, wire_delay, wire_length, miss_overhead,
                                 norm);
}
