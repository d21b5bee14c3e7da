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

// explain_table's breakdown columns: the optimum's terms, then the relaxed configuration's, a
// row per limit and then a row per pair.
void add_power_breakdowns(Table &t, const Explanation &e) {
    const size_t first = t.columns.size();
    add_power_columns(t);
    add_power_columns(t, "relaxed_");
    const SearchSpec spec = spec_of(e.request);
    const BestConfiguration &b = e.best;
    const PowerBreakdown best =
        b.feasible ? power_breakdown(spec, b.scale, b.cache, b.cores) : PowerBreakdown{};
    auto add = [&](bool found, int scale, int cache, int cores) {
        add_power_values(t, first, b.feasible ? &best : nullptr);
        const PowerBreakdown relaxed =
            found ? power_breakdown(spec, scale, cache, cores) : PowerBreakdown{};
        add_power_values(t, first + power_column_count(), found ? &relaxed : nullptr);
    };
    for (const LimitAnalysis &l : e.limits)
        add(l.relaxed_found, l.relaxed_scale, l.relaxed_cache, l.relaxed_cores);
    for (const PairAnalysis &p : e.pairs)
        add(p.relaxed_found, p.relaxed_scale, p.relaxed_cache, p.relaxed_cores);
}

} // namespace

double gain_percent(double relaxed, double best) {
    return best > 0 ? (relaxed / best - 1) * 100 : NAN;
}

Explanation explain(const Request &request, double step, bool pairs) {
    Explanation e{request, step, search_best(request), {}, {}, {}, pairs};
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
    for (size_t i = 0; pairs && best >= 0 && i < e.limits.size(); i++)
        for (size_t j = i + 1; j < e.limits.size(); j++) {
            const LimitAnalysis &a = e.limits[i], &b = e.limits[j];
            LimitChecks relaxed = spec.limits;
            relaxed.value(a.limit) = a.relaxed_value;
            relaxed.value(b.limit) = b.relaxed_value;
            const SearchOutcome r = queries.best(relaxed);
            PairAnalysis p{
                a.limit, b.limit,         r.found,        r.speedup,
                r.scale, r.cache,         r.cores,        queries.best_index(relaxed) != best,
                false,   a.relaxed_value, b.relaxed_value};
            auto same = [&](const LimitAnalysis &l) {
                return l.relaxed_found == p.relaxed_found && l.relaxed_scale == p.relaxed_scale &&
                       l.relaxed_cache == p.relaxed_cache && l.relaxed_cores == p.relaxed_cores;
            };
            p.beyond_alone = p.binds && !same(a) && !same(b);
            e.pairs.push_back(p);
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

Table explain_table(const Explanation &e, bool breakdown) {
    const Model &m = active_model();
    const BestConfiguration &b = e.best;
    Table t = best_table();
    t.columns.erase(t.columns.begin() + 5, t.columns.end()); // the option columns
    t.add("limit", ColumnType::Name, {"area", "power", "bandwidth", "tsv"});
    t.add("limit_value", ColumnType::Number);
    t.add("unit", ColumnType::Name, {"mm^2", "W", "GB/s"});
    t.add("feasible", ColumnType::Flag);
    t.add("speedup", ColumnType::Number);
    t.add("cores", ColumnType::Integer);
    t.add("cache_mb", ColumnType::Integer);
    for (const char *name : {"scale", "figure", "slack"})
        t.add(name, ColumnType::Number);
    t.add("binds", ColumnType::Flag);
    for (const char *name : {"step_percent", "relaxed_limit", "relaxed_speedup"})
        t.add(name, ColumnType::Number);
    t.add("relaxed_cores", ColumnType::Integer);
    t.add("relaxed_cache_mb", ColumnType::Integer);
    for (const char *name : {"relaxed_scale", "gain_percent", "changes_at", "needed_together"})
        t.add(name, ColumnType::Number);

    const bool pairs = e.pairs_asked || !e.pairs.empty();
    if (pairs) {
        t.add("relaxed_with", ColumnType::Name, {"area", "power", "bandwidth", "tsv"});
        t.add("binds_beyond_alone", ColumnType::Flag);
    }
    auto number = [](Column &column, bool present, double value) {
        present ? column.add_number(value) : column.add_none();
    };
    auto integer = [](Column &column, bool present, double value) {
        present ? column.add_integer(int(value)) : column.add_none();
    };
    // binds to gain_percent: what relaxing the limit (or the pair) finds.
    auto relaxed = [&](bool binds, double value, bool found, double speedup, int cores, int cache,
                       int scale) {
        std::vector<Column> &c = t.columns;
        c[15].add_flag(binds);
        c[16].add_number(e.step * 100);
        c[17].add_number(value);
        number(c[18], found, speedup);
        integer(c[19], found, m.core_counts[cores]);
        integer(c[20], found, m.cache_sizes[cache]);
        number(c[21], found, m.scale_steps[scale]);
        const double gain = gain_percent(speedup, b.speedup);
        number(c[22], !std::isnan(gain), gain);
    };
    for (const LimitAnalysis &l : e.limits) {
        double together = NAN;
        for (const auto &[limit, value] : e.together)
            if (limit == l.limit)
                together = value;
        std::vector<Column> &c = t.columns;
        c[0].add_name(b.options.workload);
        c[1].add_name(b.options.memory);
        c[2].add_name(b.options.transistor);
        c[3].add_name(b.options.core_kind);
        c[4].add_name(b.options.node);
        c[5].add_name(int(l.limit));
        c[6].add_number(l.value);
        c[7].add_name(std::min(int(l.limit), 2));
        c[8].add_flag(b.feasible);
        number(c[9], b.feasible, b.speedup);
        integer(c[10], b.feasible, m.core_counts[b.cores]);
        integer(c[11], b.feasible, m.cache_sizes[b.cache]);
        number(c[12], b.feasible, m.scale_steps[b.scale]);
        number(c[13], b.feasible, l.figure);
        number(c[14], b.feasible, l.value - l.figure);
        relaxed(l.binds, l.relaxed_value, l.relaxed_found, l.relaxed_speedup, l.relaxed_cores,
                l.relaxed_cache, l.relaxed_scale);
        number(c[23], !std::isinf(l.changes_at), l.changes_at);
        number(c[24], !std::isnan(together), together);
        if (pairs) {
            c[25].add_none();
            c[26].add_none();
        }
    }
    // The pairs: the first limit's columns as its own row has them, relaxed with the second.
    for (const PairAnalysis &p : e.pairs) {
        size_t row = 0;
        while (e.limits[row].limit != p.first)
            row++;
        for (size_t column = 0; column < 15; column++) { // workload to slack

            Column &to = t.columns[column];
            const Column &from = t.columns[column];
            if (!from.present(row))
                to.add_none();
            else if (from.type() == ColumnType::Number)
                to.add_number(from.number(row));
            else
                to.add_integer(from.integer(row));
        }
        std::vector<Column> &c = t.columns;
        relaxed(p.binds, p.first_relaxed, p.relaxed_found, p.relaxed_speedup, p.relaxed_cores,
                p.relaxed_cache, p.relaxed_scale);
        c[23].add_none();
        c[24].add_none();
        c[25].add_name(int(p.second));
        c[26].add_flag(p.beyond_alone);
    }
    if (breakdown)
        add_power_breakdowns(t, e);
    return t;
}
