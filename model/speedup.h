// L2 miss rate and chip speedup, with plain off-chip memory and with a 3D memory stack.
//
// Units: cache sizes in MB, latencies in ns, frequencies in GHz (latency / cycle time gives
// cycles), wire delay in ps per unit length.
#pragma once

// Miss rate of a workload's power law, its working set grown by `growth` per year since
// base_year.
double L2_model_missRate(double miss_alpha, double cache_mb, double growth, double year,
                         double base_year, double miss_beta, double miss_gamma);

// Capacity of the memory stack in MB: one of its layers holds no memory; capacity in Gbit.
double stack_capacity_mb(double layer_capacity, double layers);

double speedup_cores(int ok, double core_perf, double fmax, double f_ratio, double parallel,
                     double n_cores, double cpi, double l2_access_rate, double latency_hidden,
                     double miss_rate, double l2_latency, double mem_latency, double wire_delay,
                     double wire_length, double miss_overhead, double norm);

double speedup_cores_3d_mem(int ok, double core_perf, double fmax, double f_ratio, double parallel,
                            double n_cores, double cpi, double l2_access_rate,
                            double latency_hidden, double miss_rate, double l2_latency,
                            double miss_alpha, double layer_capacity, double layers, double growth,
                            double year, double base_year, double miss_beta, double miss_gamma,
                            double mem_latency, double latency_cut, double wire_delay,
                            double wire_length, double miss_overhead, double norm);
