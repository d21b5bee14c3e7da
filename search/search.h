// The constrained enumeration of the design space: 8 scale steps x 67 cache sizes x 35 core
// counts under the options, limits and operating point held in the design state.
#pragma once

#include "search/engine.h"

// The search that the design state describes, with the dimensions whose flag is not 0 held at
// the indices in User_Option[8] (cores), [9] (cache) and [10] (scale), a held scale at
// FRE / FRE_MAX and VDD_G / VDD_MAX. Reads the state and changes nothing.
SearchSpec spec_from_design_state(int fix_cores, int fix_cache, int fix_scale);

// Each flag, when not 0, holds its dimension at the index already in User_Option[8] (cores),
// [9] (cache) or [10] (scale); a held scale evaluates at FRE / FRE_MAX and VDD_G / VDD_MAX.
// With all three held the one configuration is evaluated, and one that breaks a limit scores 0.
//
// Records the best configuration's indices, figures and (scale not held) operating point,
// prints its summary and returns its speedup.
double speedup_max(int fix_cores, int fix_cache, int fix_scale);

// The same enumeration, recording and printing nothing: the peak speedup.
double speedup_max_1(int fix_cores, int fix_cache, int fix_scale);

// The enumeration of speedup_max, recording nothing: what speedup_max would select.
SearchOutcome find_best_configuration(int fix_cores, int fix_cache, int fix_scale);

// Every figure of one configuration under the current options, whatever the checks and
// limits. A held scale (fix_scale not 0) evaluates at the current operating point.
ConfigurationFigures evaluate_configuration(int scale, int cache, int cores, int fix_scale);

// The frequency ratio a supply (as a ratio to VDD_MAX) allows the cores of the design state's
// node and transistor kind, under the model's frequency law, as the voltage slider applies it.
double held_supply_frequency_ratio(double vdd_ratio);
