// The explorer's mutable state: option selections, limits, ceilings, the operating point, the
// figures of the latest evaluation and the window's own bookkeeping. Plain globals, shared by
// the searches and the window's handlers; the order in which those touch them is what the
// program does.
#pragma once

// 0 workload, 1 memory kind (0 plain, else 3D), 2 transistor kind (0 LOP, 1 LOP/HP, else HP),
// 3 core kind, 4 technology node, 5-7 area/power/bandwidth checks on (1) or off (0),
// 8 core-count index, 9 cache-size index, 10 scale-step index, 11 unused.
extern int User_Option[12];

extern double FRE_MAX; // GHz, frequency at scale step 1.0
extern double VDD_MAX; // V, nominal supply

extern double AREA_CONSTRT;   // mm^2
extern double POWER_CONSTRT;  // W
extern double BW_CONSTRT;     // GB/s, off-chip
extern double BW_CONSTRT_TSV; // GB/s, through-silicon vias (3D memory only)

extern double FRE;   // GHz, current operating point
extern double VDD_G; // V

extern double AREA_RESULT;   // mm^2
extern double POWER_RESULT;  // W
extern double BW_RESULT;     // GB/s
extern double BW_RESULT_TSV; // GB/s, 0 with plain memory

extern int flag;     // 1 = no recalculation under way (re-entrancy guard of the handlers)
extern double best;  // reference speedup: top of the speedup slider, 100 % of the gauge
extern int check[3]; // lock buttons: core count, cache size, scale step

// Puts every variable above back to its start-up value.
void reset_design_state();
