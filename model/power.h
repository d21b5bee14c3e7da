// Power of a chip configuration in W: each part is the matching figure of the reference chip
// scaled by capacitance, supply, frequency, size and activity. Defined here so that the
// searches can inline them and work out once what does not change from one configuration to
// the next.
//
// The order of operations and the single-precision steps below are part of the model: results
// are compared across configurations, so they must not be rearranged or "simplified". Squares
// of supplies are float products (what an optimised build makes of powf(v, 2.0f)).
#pragma once

#include <cmath>

#include "model/scaling.h"
#include "model/speedup.h"

namespace power_terms {

inline double float_square(double value) {
    float v = static_cast<float>(value);
    return static_cast<double>(v * v);
}

} // namespace power_terms

// The terms of a chip's power in W, named as in power_W_stacked. total() adds them in the
// model's order: the power figure, bit for bit.
struct PowerTerms {
    double core_leakage;     // t0
    double core_switching;   // t1: the cores and the core kind's own uncore
    double shared_logic;     // t2: the reference chip's shared logic, for other core kinds
    double l2_switching;     // t3: the L2 cache and the interconnect
    double l2_leakage;       // t4
    double memory_interface; // t5
    double uncore = 0;       // t6: the node's uncore power; 0 unless the model gives one

    double total() const {
        const double chip =
            core_leakage +
            ((((core_switching + shared_logic) + l2_switching) + l2_leakage) + memory_interface);
        // Not added when 0, so that a model without uncore power keeps every bit (a -0 too).
        return uncore != 0 ? chip + uncore : chip;
    }
};

// The node's uncore power (t6) at an operating point: given at the cores' nominal supply and
// fmax, it scales as switching power does, with the square of the supply (a float product) and
// the frequency.
inline double uncore_power_term(double uncore_power, double vdd_ratio, double f_ratio) {
    return uncore_power * power_terms::float_square(vdd_ratio) * f_ratio;
}

// power_W_stacked term by term.
inline PowerTerms power_terms_stacked(
    double n_cores, double core_power, double cgate_core, double cgate_ref, double vdd_core,
    double vdd_ratio, double ref_vdd_core, double f_ratio, double fmax_core, double ref_freq_core,
    double uncore_power_other, double ref_vdd, double ref_freq, double l2_dyn_power,
    double ref_cores, double icn_power_a, double icn_power_b, double core_perf, double cpi,
    double l2_access_rate, double latency_hidden, double ref_core_perf, double ref_cpi,
    double ref_latency_hidden, double cache_mb, double ref_l2_mb, double l2_leak_power,
    double ileak_core, double ileak_ref, double lgate_l2, double lgate_ref, double miss_rate,
    double stack_miss_rate, double miss_rate_ref, double mem_if_power, double mem_data_rate,
    double ref_mem_rate, double bw_offchip, double bw_offchip_ref, double core_area,
    double density_core, double wgate_core, double cgate_l2, double fmax_l2, double ileak_l2,
    double vdd_l2, double uncore_power) {
    using namespace power_terms;
    double supply2 = float_square(vdd_core * vdd_ratio);
    double ref_supply2 = float_square(ref_vdd);

    // Switching power of the cores, then of the shared logic of core kinds other than 0.
    double t1 = (n_cores * core_power + uncore_power) * cgate_core / cgate_ref * supply2 /
                float_square(ref_vdd_core) * f_ratio * fmax_core / ref_freq_core;
    double t2 = uncore_power_other * cgate_core / cgate_ref * supply2 / ref_supply2 * f_ratio *
                fmax_core / ref_freq;

    // L2 and interconnect switching power, by L2 activity relative to the reference chip; the
    // interconnect part grows with the distance factor sqrt(cores / reference cores).
    double distance = static_cast<double>(sqrtf(static_cast<float>(n_cores)) /
                                          sqrtf(static_cast<float>(ref_cores)));
    double activity =
        (1 - latency_hidden) *
        ((1 / cpi) *
         (((icn_power_a + icn_power_b) * distance + l2_dyn_power) * n_cores * core_perf) *
         l2_access_rate);
    // 0.12: the reference chip's L2 accesses per instruction.
    double reference =
        (1 - ref_latency_hidden) * ((ref_cores * ref_core_perf) * (1 / ref_cpi)) * 0.12;
    double t3 = activity / reference * cgate_l2 / cgate_ref * float_square(vdd_ratio * vdd_l2) /
                ref_supply2 * f_ratio * fmax_l2 / ref_freq;

    // L2 leakage, linear in the supply.
    double t4 = cache_mb / ref_l2_mb * l2_leak_power * vdd_ratio * vdd_l2 / ref_vdd * ileak_l2 /
                ileak_ref * lgate_l2 / lgate_ref;

    // Memory interface: power at the traffic's rate, capped at the node's full bandwidth.
    double full_use = bw_offchip / bw_offchip_ref * mem_if_power * cgate_core / cgate_ref *
                      supply2 / ref_supply2 * mem_data_rate / ref_mem_rate;
    double traffic = n_cores * core_perf / (ref_cores * ref_core_perf) * f_ratio * fmax_core /
                     ref_freq * miss_rate;
    double at_traffic = (mem_if_power * cgate_core / cgate_ref * supply2 / ref_supply2 *
                         mem_data_rate / ref_mem_rate) *
                        ((stack_miss_rate * traffic) / miss_rate_ref);
    double t5 = min(at_traffic, full_use);

    // Core leakage: area / 100 is in cm^2, and the bracket / 1000 is a current in A.
    double t0 = (vdd_core * vdd_ratio) *
                (n_cores * core_area / 100 * density_core * wgate_core * ileak_core) * 0.5 / 1000;

    return PowerTerms{t0, t1, t2, t3, t4, t5};
}

// As power_W_3d_mem, with the stack's miss rate (stack_miss_rate) given: the off-chip traffic
// is multiplied by it. power_W is this with a rate of exactly 1.0 (a product with 1.0 changes
// nothing). The stack's own power is not included.
inline double
power_W_stacked(double n_cores, double core_power, double cgate_core, double cgate_ref,
                double vdd_core, double vdd_ratio, double ref_vdd_core, double f_ratio,
                double fmax_core, double ref_freq_core, double uncore_power_other, double ref_vdd,
                double ref_freq, double l2_dyn_power, double ref_cores, double icn_power_a,
                double icn_power_b, double core_perf, double cpi, double l2_access_rate,
                double latency_hidden, double ref_core_perf, double ref_cpi,
                double ref_latency_hidden, double cache_mb, double ref_l2_mb, double l2_leak_power,
                double ileak_core, double ileak_ref, double lgate_l2, double lgate_ref,
                double miss_rate, double stack_miss_rate, double miss_rate_ref, double mem_if_power,
                double mem_data_rate, double ref_mem_rate, double bw_offchip, double bw_offchip_ref,
                double core_area, double density_core, double wgate_core, double cgate_l2,
                double fmax_l2, double ileak_l2, double vdd_l2, double uncore_power) {
    return power_terms_stacked(n_cores, core_power, cgate_core, cgate_ref, vdd_core, vdd_ratio,
                               ref_vdd_core, f_ratio, fmax_core, ref_freq_core, uncore_power_other,
                               ref_vdd, ref_freq, l2_dyn_power, ref_cores, icn_power_a, icn_power_b,
                               core_perf, cpi, l2_access_rate, latency_hidden, ref_core_perf,
                               ref_cpi, ref_latency_hidden, cache_mb, ref_l2_mb, l2_leak_power,
                               ileak_core, ileak_ref, lgate_l2, lgate_ref, miss_rate,
                               stack_miss_rate, miss_rate_ref, mem_if_power, mem_data_rate,
                               ref_mem_rate, bw_offchip, bw_offchip_ref, core_area, density_core,
                               wgate_core, cgate_l2, fmax_l2, ileak_l2, vdd_l2, uncore_power)
        .total();
}

inline double power_W(double n_cores, double core_power, double cgate_core, double cgate_ref,
                      double vdd_core, double vdd_ratio, double ref_vdd_core, double f_ratio,
                      double fmax_core, double ref_freq_core, double uncore_power_other,
                      double ref_vdd, double ref_freq, double l2_dyn_power, double ref_cores,
                      double icn_power_a, double icn_power_b, double core_perf, double cpi,
                      double l2_access_rate, double latency_hidden, double ref_core_perf,
                      double ref_cpi, double ref_latency_hidden, double cache_mb, double ref_l2_mb,
                      double l2_leak_power, double ileak_core, double ileak_ref, double lgate_l2,
                      double lgate_ref, double miss_rate, double miss_rate_ref, double mem_if_power,
                      double mem_data_rate, double ref_mem_rate, double bw_offchip,
                      double bw_offchip_ref, double core_area, double density_core,
                      double wgate_core, double cgate_l2, double fmax_l2, double ileak_l2,
                      double vdd_l2, double uncore_power) {
    return power_W_stacked(
        n_cores, core_power, cgate_core, cgate_ref, vdd_core, vdd_ratio, ref_vdd_core, f_ratio,
        fmax_core, ref_freq_core, uncore_power_other, ref_vdd, ref_freq, l2_dyn_power, ref_cores,
        icn_power_a, icn_power_b, core_perf, cpi, l2_access_rate, latency_hidden, ref_core_perf,
        ref_cpi, ref_latency_hidden, cache_mb, ref_l2_mb, l2_leak_power, ileak_core, ileak_ref,
        lgate_l2, lgate_ref, miss_rate, 1.0, miss_rate_ref, mem_if_power, mem_data_rate,
        ref_mem_rate, bw_offchip, bw_offchip_ref, core_area, density_core, wgate_core, cgate_l2,
        fmax_l2, ileak_l2, vdd_l2, uncore_power);
}

// As power_W, but the memory interface carries only the traffic that misses in the stack.
// The stack's own power is not included.
inline double power_W_3d_mem(
    double n_cores, double core_power, double cgate_core, double cgate_ref, double vdd_core,
    double vdd_ratio, double ref_vdd_core, double f_ratio, double fmax_core, double ref_freq_core,
    double uncore_power_other, double ref_vdd, double ref_freq, double l2_dyn_power,
    double ref_cores, double icn_power_a, double icn_power_b, double core_perf, double cpi,
    double l2_access_rate, double latency_hidden, double ref_core_perf, double ref_cpi,
    double ref_latency_hidden, double cache_mb, double ref_l2_mb, double l2_leak_power,
    double ileak_core, double ileak_ref, double lgate_l2, double lgate_ref, double miss_rate,
    double miss_alpha, double layer_capacity, double layers, double growth, double year,
    double base_year, double miss_beta, double miss_gamma, double miss_rate_ref,
    double mem_if_power, double mem_data_rate, double ref_mem_rate, double bw_offchip,
    double bw_offchip_ref, double core_area, double density_core, double wgate_core,
    double cgate_l2, double fmax_l2, double ileak_l2, double vdd_l2, double uncore_power) {
    return power_W_stacked(
        n_cores, core_power, cgate_core, cgate_ref, vdd_core, vdd_ratio, ref_vdd_core, f_ratio,
        fmax_core, ref_freq_core, uncore_power_other, ref_vdd, ref_freq, l2_dyn_power, ref_cores,
        icn_power_a, icn_power_b, core_perf, cpi, l2_access_rate, latency_hidden, ref_core_perf,
        ref_cpi, ref_latency_hidden, cache_mb, ref_l2_mb, l2_leak_power, ileak_core, ileak_ref,
        lgate_l2, lgate_ref, miss_rate,
        stack_miss_rate(miss_alpha, layer_capacity, layers, growth, year, base_year, miss_beta,
                        miss_gamma),
        miss_rate_ref, mem_if_power, mem_data_rate, ref_mem_rate, bw_offchip, bw_offchip_ref,
        core_area, density_core, wgate_core, cgate_l2, fmax_l2, ileak_l2, vdd_l2, uncore_power);
}
