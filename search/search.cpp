#include "search/search.h"

#include "model/model.h"
#include "model/scaling.h"
#include "model/state.h"
#include "search/trace.h"

SearchSpec spec_from_design_state(int fix_cores, int fix_cache, int fix_scale) {
    SearchSpec spec;
    spec.model = &active_model();
    spec.workload = User_Option[0];
    spec.memory = User_Option[1];
    spec.transistor = User_Option[2];
    spec.core_kind = User_Option[3];
    spec.node = User_Option[4];
    spec.limits =
        LimitChecks{User_Option[5] != 0, User_Option[6] != 0, User_Option[7] != 0, AREA_CONSTRT,
                    POWER_CONSTRT,       BW_CONSTRT,          BW_CONSTRT_TSV};
    spec.hold_cores = fix_cores != 0;
    spec.hold_cache = fix_cache != 0;
    spec.hold_scale = fix_scale != 0;
    spec.cores = User_Option[8];
    spec.cache = User_Option[9];
    spec.scale = User_Option[10];
    if (spec.hold_scale) {
        spec.vdd_ratio = VDD_G / VDD_MAX;
        spec.f_ratio = FRE / FRE_MAX;
    }
    return spec;
}

namespace {

// The search of the design state, its power lines traced and handed to standard output's
// stream as it returns, so that whatever its caller prints next follows them.
SearchOutcome find_best(int fix_cores, int fix_cache, int fix_scale) {
    const SearchOutcome best =
        search_design_space(spec_from_design_state(fix_cores, fix_cache, fix_scale), true);
    trace_search_end();
    return best;
}

} // namespace

double speedup_max(int fix_cores, int fix_cache, int fix_scale) {
    const SearchOutcome best = find_best(fix_cores, fix_cache, fix_scale);
    if (best.found) {
        AREA_RESULT = best.figures.area;
        POWER_RESULT = best.figures.power;
        BW_RESULT = best.figures.bandwidth;
        BW_RESULT_TSV = best.figures.bandwidth_tsv;
    }
    const Model &m = active_model();
    trace_summary(best.speedup, m.scale_steps[best.scale], m.cache_sizes[best.cache],
                  m.core_counts[best.cores]);
    User_Option[8] = best.cores;
    User_Option[9] = best.cache;
    User_Option[10] = best.scale;
    if (fix_scale == 0) {
        const double target = m.scale_steps[best.scale];
        VDD_G = VDD_MAX * voltage_step(m.nodes[User_Option[4]].tech, User_Option[2], target);
        FRE =
            FRE_MAX * step_frequency_ratio(m, m.nodes[User_Option[4]].tech, User_Option[2], target);
    }
    return best.speedup;
}

double speedup_max_1(int fix_cores, int fix_cache, int fix_scale) {
    return find_best(fix_cores, fix_cache, fix_scale).speedup;
}

SearchOutcome find_best_configuration(int fix_cores, int fix_cache, int fix_scale) {
    return find_best(fix_cores, fix_cache, fix_scale);
}

ConfigurationFigures evaluate_configuration(int scale, int cache, int cores, int fix_scale) {
    return evaluate_design_point(spec_from_design_state(0, 0, fix_scale), scale, cache, cores);
}

double held_supply_frequency_ratio(double vdd_ratio) {
    const Model &m = active_model();
    return supply_frequency_ratio(m, m.nodes[User_Option[4]].tech, User_Option[2], vdd_ratio);
}
