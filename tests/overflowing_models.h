// Models whose figures overflow in different places, as model files the checker accepts can
// make them: the first five overflow in the searches' own figures (a power of NaN everywhere,
// speedups and powers infinite at the larger core counts only, a threshold voltage of 1e30, an
// infinite speedup without stalls, traffic that overflows at many cores); the rest in a
// supply squared as a float, a node's uncore figures and the alpha-power law.
#pragma once

#include <utility>
#include <vector>

#include "model/model.h"

inline std::vector<std::pair<const char *, Model>> overflowing_models() {
    std::vector<std::pair<const char *, Model>> models(9, {"", builtin_model()});
    models[0].first = "power NaN";
    for (CoreKindRecord &kind : models[0].second.core_kinds)
        kind.core_power = 0, kind.uncore_power = 0, kind.ref_Vdd = 1e-30;
    models[1].first = "overflow at many cores";
    for (CoreKindRecord &kind : models[1].second.core_kinds)
        kind.core_perf = 1e306;
    models[2].first = "threshold 1e30";
    for (NodeRecord &node : models[2].second.nodes)
        node.tech.Vth_LOP = 1e30;
    models[3].first = "infinite speedup";
    for (CoreKindRecord &kind : models[3].second.core_kinds)
        kind.core_perf = 1e308;
    for (WorkloadRecord &workload : models[3].second.workloads)
        workload.l2_access_rate = 0;
    models[4].first = "traffic overflows at many cores";
    for (WorkloadRecord &workload : models[4].second.workloads)
        workload.miss_alpha = 1e306;
    models[5].first = "supply squared overflows a float";
    for (NodeRecord &node : models[5].second.nodes)
        node.tech.Vdd_HP = 1e20;
    models[6].first = "a node's uncore power overflows";
    for (NodeRecord &node : models[6].second.nodes)
        node.uncore_power_W = 1e308;
    models[7].first = "a node's uncore area overflows";
    for (NodeRecord &node : models[7].second.nodes)
        node.uncore_area_mm2 = 1.7e308;
    models[8].first = "the alpha-power law with a huge exponent";
    models[8].second.frequency_law = FrequencyLaw::AlphaPower;
    models[8].second.alpha = 1e3;
    return models;
}
