#include "study/explain.h"

#include <cmath>

#include "model/model.h"
#include "search/limit_queries.h"
#include "study/choices.h"

namespace {

std::vector<Limit> limits_of(const OptionSet &o) {
    if (o.memory != 0)
        return {Limit::Area, Limit::Power, Limit::Bandwidth, Limit::Tsv};
    return {Limit::Area, Limit::Power, Limit::Bandwidth};
}

} // namespace

double gain_percent(double relaxed, double best) {
    return best > 0 ? (relaxed / best - 1) * 100 : NAN;
}

Explanation explain(const Request &request, double step) {
    Explanation e{request, step, search_best(request), {}, {}};
    const SearchSpec spec = spec_of(request);
    const LimitQueries queries(spec);
    const int best = queries.best_index(spec.limits);
    for (Limit limit : limits_of(request.options)) {
        LimitAnalysis l{};
        l.limit = limit;
        l.value = spec.limits.value(limit);
        l.figure = best < 0 ? NAN : figure_of(queries.figures(best), limit);
        LimitChecks relaxed = spec.limits;
        l.relaxed_value = relaxed.value(limit) = l.value * (1 + step);
        const SearchOutcome r = queries.best(relaxed);
        l.relaxed_found = r.found;
        l.relaxed_speedup = r.speedup;
        l.relaxed_scale = r.scale, l.relaxed_cache = r.cache, l.relaxed_cores = r.cores;
        l.binds = queries.best_index(relaxed) != best;
        l.changes_at = queries.changes_at(spec.limits, limit);
        e.limits.push_back(l);
    }
    bool one_is_enough = false;
    for (const LimitAnalysis &l : e.limits)
        one_is_enough = one_is_enough || !std::isinf(l.changes_at);
    if (best < 0 && !one_is_enough) {
        const int chosen = queries.least_relaxed(spec.limits);
        if (chosen >= 0)
            for (const LimitAnalysis &l : e.limits) {
                const double figure = figure_of(queries.figures(chosen), l.limit);
                if (figure > l.value)
                    e.together.emplace_back(l.limit, figure);
            }
    }
    return e;
}

std::vector<Record> explain_records(const Explanation &e) {
    const Model &m = active_model();
    const BestConfiguration &b = e.best;
    auto when = [](bool present, auto value) -> Field {
        if (present)
            return value;
        return std::monostate{};
    };
    std::vector<Record> records;
    for (const LimitAnalysis &l : e.limits) {
        Record record = option_fields(b.options);
        double together = NAN;
        for (const auto &[limit, value] : e.together)
            if (limit == l.limit)
                together = value;
        const double gain = gain_percent(l.relaxed_speedup, b.speedup);
        Record rest{
            {"limit", std::string(limit_name(l.limit))},
            {"limit_value", l.value},
            {"unit", std::string(unit_of(l.limit))},
            {"feasible", b.feasible},
            {"speedup", when(b.feasible, b.speedup)},
            {"cores", when(b.feasible, int(m.core_counts[b.cores]))},
            {"cache_mb", when(b.feasible, int(m.cache_sizes[b.cache]))},
            {"scale", when(b.feasible, m.scale_steps[b.scale])},
            {"figure", when(b.feasible, l.figure)},
            {"slack", when(b.feasible, l.value - l.figure)},
            {"binds", l.binds},
            {"step_percent", e.step * 100},
            {"relaxed_limit", l.relaxed_value},
            {"relaxed_speedup", when(l.relaxed_found, l.relaxed_speedup)},
            {"relaxed_cores", when(l.relaxed_found, int(m.core_counts[l.relaxed_cores]))},
            {"relaxed_cache_mb", when(l.relaxed_found, int(m.cache_sizes[l.relaxed_cache]))},
            {"relaxed_scale", when(l.relaxed_found, m.scale_steps[l.relaxed_scale])},
            {"gain_percent", when(!std::isnan(gain), gain)},
            {"changes_at", when(!std::isinf(l.changes_at), l.changes_at)},
            {"needed_together", when(!std::isnan(together), together)},
        };
        record.insert(record.end(), rest.begin(), rest.end());
        records.push_back(record);
    }
    return records;
}
