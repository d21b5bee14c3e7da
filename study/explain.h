// Which limit holds a design back: for one option set under its limits, each limit's figure at
// the optimum, its slack, whether it binds, what relaxing it alone would gain, and, when
// nothing meets the limits, how far they must be relaxed to admit a configuration.
#pragma once

#include <string>
#include <vector>

#include "study/design.h"
#include "study/result_columns.h"

struct LimitAnalysis {
    Limit limit;
    double value;         // the limit in force
    double figure;        // at the optimum; NaN when nothing meets the limits
    double relaxed_value; // value relaxed by the step
    // The best configuration with this limit alone relaxed by the step.
    bool relaxed_found;
    double relaxed_speedup;
    int relaxed_scale, relaxed_cache, relaxed_cores;
    bool binds; // relaxing it alone by the step changes the optimum
    // The smallest value of this limit alone at which the optimum changes (with nothing found,
    // at which some configuration qualifies); infinity when none does.
    double changes_at;
};

// Two limits relaxed together by the step.
struct PairAnalysis {
    Limit first, second;
    bool relaxed_found;
    double relaxed_speedup;
    int relaxed_scale, relaxed_cache, relaxed_cores;
    bool binds; // relaxing both together changes the optimum
    // Relaxing both finds a configuration that relaxing neither alone finds: the two hold the
    // design back together (relaxing each alone shows only a part of it, or nothing).
    bool beyond_alone;
    double first_relaxed, second_relaxed; // the two limits' values relaxed
};

struct Explanation {
    Request request;
    double step; // relative, 0.1 for 10 %
    BestConfiguration best;
    std::vector<LimitAnalysis> limits; // area, power, off-chip bandwidth, TSV with 3D memory
    // Nothing found and no limit alone can admit a configuration: the values of the limits
    // together that admit the configuration needing the least relaxation.
    std::vector<std::pair<Limit, double>> together;
    // With pairs asked for and something found: every pair of limits relaxed together.
    std::vector<PairAnalysis> pairs;
    bool pairs_asked = false; // the pairs' columns are in its table, found or not
};

// step: the relative relaxation (0.1 relaxes each limit by 10 %); pairs: also relax every pair
// of limits together (a brake that only shows when two limits are lifted at once).
Explanation explain(const Request &request, double step, bool pairs = false);

// The gain of a relaxed optimum over the best, in percent; NaN when the best is 0.
double gain_percent(double relaxed, double best);

// A row per limit, each with the option set, the optimum and the limit's analysis; with pairs,
// then a row per pair, marked by the columns relaxed_with (the pair's second limit) and
// binds_beyond_alone, which only those rows fill. With breakdown, the power's terms
// (add_power_columns) of the optimum on every row (empty when nothing meets the limits), then
// those of the row's relaxed configuration, named relaxed_power_... (empty when relaxing finds
// nothing).
Table explain_table(const Explanation &explanation, bool breakdown = false);
