// The constrained enumeration of the design space: 8 scale steps x 67 cache sizes x 35 core
// counts under the options, limits and operating point held in the design state.
#pragma once

// Each flag, when not 0, holds its dimension at the index already in User_Option[8] (cores),
// [9] (cache) or [10] (scale); a held scale evaluates at FRE / FRE_MAX and VDD_G / VDD_MAX.
// With all three held the one configuration is evaluated, and one that breaks a limit scores 0.
//
// Records the best configuration's indices, figures and (scale not held) operating point,
// prints its summary and returns its speedup.
double speedup_max(int fix_cores, int fix_cache, int fix_scale);

// The same enumeration, recording and printing nothing: the peak speedup.
double speedup_max_1(int fix_cores, int fix_cache, int fix_scale);
