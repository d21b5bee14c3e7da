// Power of a chip configuration in W: each part is the matching figure of the reference chip
// scaled by capacitance, supply, frequency, size and activity.
#pragma once

double power_W(double n_cores, double core_power, double cgate_core, double cgate_ref,
               double vdd_core, double vdd_ratio, double ref_vdd_core, double f_ratio,
               double fmax_core, double ref_freq_core, double uncore_power_other, double ref_vdd,
               double ref_freq, double l2_dyn_power, double ref_cores, double icn_power_a,
               double icn_power_b, double core_perf, double cpi, double l2_access_rate,
               double latency_hidden, double ref_core_perf, double ref_cpi,
               double ref_latency_hidden, double cache_mb, double ref_l2_mb, double l2_leak_power,
               double ileak_core, double ileak_ref, double lgate_l2, double lgate_ref,
               double miss_rate, double miss_rate_ref, double mem_if_power, double mem_data_rate,
               double ref_mem_rate, double bw_offchip, double bw_offchip_ref, double core_area,
               double density_core, double wgate_core, double cgate_l2, double fmax_l2,
               double ileak_l2, double vdd_l2, double uncore_power);

// As power_W, but the memory interface carries only the traffic that misses in the stack.
// The stack's own power is not included.
double power_W_3d_mem(double n_cores, double core_power, double cgate_core, double cgate_ref,
                      double vdd_core, double vdd_ratio, double ref_vdd_core, double f_ratio,
                      double fmax_core, double ref_freq_core, double uncore_power_other,
                      double ref_vdd, double ref_freq, double l2_dyn_power, double ref_cores,
                      double icn_power_a, double icn_power_b, double core_perf, double cpi,
                      double l2_access_rate, double latency_hidden, double ref_core_perf,
                      double ref_cpi, double ref_latency_hidden, double cache_mb, double ref_l2_mb,
                      double l2_leak_power, double ileak_core, double ileak_ref, double lgate_l2,
                      double lgate_ref, double miss_rate, double miss_alpha, double layer_capacity,
                      double layers, double growth, double year, double base_year, double miss_beta,
                      double miss_gamma, double miss_rate_ref, double mem_if_power,
                      double mem_data_rate, double ref_mem_rate, double bw_offchip,
                      double bw_offchip_ref, double core_area, double density_core,
                      double wgate_core, double cgate_l2, double fmax_l2, double ileak_l2,
                      double vdd_l2, double uncore_power);
