// An evaluation as typed columns (study/table.h), named as the space's and the search's columns
// where they mean the same, for the tool's CSV and JSON output and the Python package.
#pragma once

#include "chips/evaluation.h"
#include <vector>

#include "study/table.h"

// workload, memory, transistor, core, node, scale (empty at a given supply or frequency),
// vdd_v, freq_ghz, cores, cache_mb, l2_latency_ns, miss_rate, area_mm2, power_w,
// bandwidth_gbps, tsv_bandwidth_gbps (empty with plain memory), speedup, speedup_per_watt,
// energy_j, edp_js, the four limits in force, breaks_area, breaks_power, breaks_bandwidth,
// breaks_tsv, feasible, notes (joined with "; "); with breakdown, the power's seven terms.
// A row per evaluation.
Table evaluation_table(const std::vector<Evaluation> &evaluations, bool breakdown);
