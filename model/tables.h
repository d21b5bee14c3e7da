// Constant data of the chip model: technology nodes, workloads and core kinds, the stacked
// memory, core areas, L2 latencies and the three axes of the design space.
//
// Units: cache sizes in MB, areas in mm^2, power in W, bandwidth in GB/s, frequencies in GHz,
// latencies in ns, voltages in V.
#pragma once

// One technology node (90, 65, 45, 32 and 20 nm). HP and LOP are the two transistor flavours
// of the node; the transistor kind picks which one feeds the cores and which the L2 cache.
struct TranTechRecord {
    double node_nm;       // feature size, nm
    double year;          // year of the node
    double mem_data_rate; // memory-interface transfer rate (bw_offchip = 63.36 x rate)
    double bw_offchip;    // off-chip bandwidth, GB/s; default bandwidth limit
    double bw_tsv;        // TSV bandwidth, GB/s; default TSV limit with 3D memory
    double mem_latency;   // main-memory latency, ns
    double wire_length;   // length factor of the round-trip wire delay
    double miss_overhead; // extra cycles of an off-chip access
    double wire_delay;    // ps per unit length
    double fmax_HP;       // GHz
    double area_budget;   // mm^2; default area limit
    double L2_area_HP;    // mm^2 per MB
    double density_HP;    // millions of transistors per cm^2
    double Vdd_HP;        // nominal supply, V
    double Vdd_min_HP;    // lowest allowed scaled HP supply, V
    double Vth_HP;        // threshold voltage, V
    double Ileak_HP;      // leakage current, uA per um
    double Lgate_HP;      // gate length, nm
    double Wgate_HP;      // transistor width, nm
    double Cgate_HP;      // switched-capacitance factor
    double power_budget;  // W; default power limit
    double fmax_LOP;
    double L2_area_LOP;
    double density_LOP;
    double Vdd_LOP;
    double Vth_LOP;
    double Ileak_LOP;
    double Lgate_LOP;
    double Wgate_LOP;
    double Cgate_LOP;
};

// One record serves three purposes: workload fields are read from the selected workload's
// record, core-kind fields from the selected core kind's record, and reference-chip fields
// from record 0 (the reference chip: 8 Niagara cores at 1.2 GHz and 1.2 V, 90 nm HP).
struct AppTechRecord {
    double cpi;            // workload: cycles per instruction
    double l2_access_rate; // workload: L2 accesses per instruction
    double bw_norm;        // workload: bandwidth divisor
    double latency_hidden; // workload: fraction of access latency the core hides
    double bw_cpi;         // workload: bandwidth divisor
    double bw_rate;        // workload: bandwidth factor
    double bw_width;       // workload: bandwidth divisor
    double miss_alpha;     // workload: miss-rate power-law coefficient
    double miss_beta;      // workload: offset, MB
    double miss_gamma;     // workload: exponent
    double ref_freq;       // core kind: frequency of core_power, GHz
    double ref_Vdd;        // core kind: supply of core_power, V
    double core_power;     // core kind: dynamic power of one core, W
    double icn_power_a;    // reference chip: interconnect power growing with sqrt(cores), W
    double mem_if_power;   // reference chip: memory-interface power, W
    double icn_power_b;    // reference chip: second such interconnect part, W
    double l2_dyn_power;   // reference chip: L2 and interconnect power not scaled by distance, W
    double l2_leak_power;  // reference chip: leakage of its ref_l2_mb MB L2, W
    double uncore_power;   // core kind: shared-logic power, W
    double ref_cores;      // reference chip: core count
    double ref_mem_rate;   // reference chip: memory transfer rate
    double ref_l2_mb;      // reference chip: L2 size, MB
    double core_perf;      // core kind: per-core performance
};

constexpr int kNodes = 5;
constexpr int kCoreKinds = 4;
constexpr int kWorkloads = 3;
constexpr int kCoreCounts = 35;
constexpr int kCacheSizes = 67;
constexpr int kScaleSteps = 8;

extern const TranTechRecord Tran_Tech[kNodes];
extern const AppTechRecord App_Tech[4];

// Stacked memory: element 0 ref_node_nm (nm at which tsv_area is given), 2 latency_cut,
// 3 layer_power (W per layer), 4 layer_capacity (Gbit), 5 layers, 8 tsv_area (mm^2).
// Elements 1, 6 and 7 are not read.
extern const double Mem_3D_Tech[9];

// Core area in mm^2, element (core kind, node) at kind * 5 + node.
extern const double Core_Area_data[kCoreKinds * kNodes];     // HP cores
extern const double Core_Area_LOP_data[kCoreKinds * kNodes]; // LOP cores

// L2 access latency in ns, element (node, cache index) at node * 67 + j.
extern const double Cache_Latency[kNodes * kCacheSizes];     // HP cache
extern const double Cache_Latency_LOP[kNodes * kCacheSizes]; // LOP cache

// The design-space axes.
extern const double Cache_Size[kCacheSizes];   // MB
extern const double Cores_Num[kCoreCounts];    // cores
extern const double Target_Array[kScaleSteps]; // targeted supply ratio of a scale step

// Voltage ratio to frequency ratio; Fmax_Scaling pairs with the first 8 voltage ratios only.
extern const double Vdd_Scaling[11];
extern const double Fmax_Scaling[8];

extern const double Workload_Factor;   // yearly growth of the working sets
extern const double Parallel_Fraction; // parallel fraction of every workload
