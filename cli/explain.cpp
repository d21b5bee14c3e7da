#include "cli/explain.h"

#include <cmath>

#include "model/model.h"
#include "search/limit_queries.h"

namespace {

std::vector<Limit> limits_of(const OptionSet &o) {
    if (o.memory != 0)
        return {Limit::Area, Limit::Power, Limit::Bandwidth, Limit::Tsv};
    return {Limit::Area, Limit::Power, Limit::Bandwidth};
}

const char *short_caption(Limit limit) {
    return limit == Limit::Area        ? "area"
           : limit == Limit::Power     ? "power"
           : limit == Limit::Bandwidth ? "off-chip bw"
                                       : "TSV bw";
}

double gain_percent(double relaxed, double best) {
    return best > 0 ? (relaxed / best - 1) * 100 : NAN;
}

// A limit value for a person to read and type back: six significant digits, rounded up so
// that the value typed still admits what it names.
std::string rounded_up(double value) {
    if (!(value > 0) || std::isinf(value))
        return shortest(value);
    const double unit = std::pow(10.0, std::floor(std::log10(value)) - 5);
    return format("%.6g", std::ceil(value / unit) * unit);
}

// "225.416 mm^2 (+1.59 %)": a limit raised from `from` to `to`.
std::string relaxation(double from, double to, Limit limit) {
    return rounded_up(to) + " " + unit_of(limit) +
           (from > 0 ? format(" (+%.2f %%)", (to / from - 1) * 100) : "");
}

std::string configuration_text(int cores, int cache, int scale) {
    const Model &m = active_model();
    return format("%d cores, %d MB, step %.1f", int(m.core_counts[cores]),
                  int(m.cache_sizes[cache]), m.scale_steps[scale]);
}

std::string feasible_table(const Explanation &e) {
    std::string text =
        format("\nEach limit relaxed alone by %s %%\n", shortest(e.step * 100).c_str());
    text += format("  %-17s %10s %10s %10s %-5s %10s %9s  %s\n", "limit", "in force", "optimum",
                   "slack", "binds", "relaxed", "gain", "optimum changes at");
    for (const LimitAnalysis &l : e.limits) {
        const std::string caption = std::string(short_caption(l.limit)) + " " + unit_of(l.limit);
        const double gain = gain_percent(l.relaxed_speedup, e.best.speedup);
        text +=
            format("  %-17s %10s %10.2f %10.2f %-5s %10.4f %9s  %s\n", caption.c_str(),
                   shortest(l.value).c_str(), l.figure, l.value - l.figure, l.binds ? "yes" : "no",
                   l.relaxed_speedup, std::isnan(gain) ? "-" : format("%+.2f %%", gain).c_str(),
                   std::isinf(l.changes_at) ? "never"
                                            : relaxation(l.value, l.changes_at, l.limit).c_str());
    }
    for (const LimitAnalysis &l : e.limits)
        if (l.binds)
            text += format(
                "With %s at %s %s: speedup %.4f (%s).\n", caption_of(l.limit),
                shortest(l.relaxed_value).c_str(), unit_of(l.limit), l.relaxed_speedup,
                configuration_text(l.relaxed_cores, l.relaxed_cache, l.relaxed_scale).c_str());
    return text;
}

std::string infeasible_text(const Explanation &e) {
    std::string text = "\nTo admit a configuration, relax\n";
    for (const LimitAnalysis &l : e.limits)
        text += "  " + std::string(caption_of(l.limit)) + " alone: " +
                (std::isinf(l.changes_at)
                     ? std::string("not enough on its own")
                     : "to at least " + relaxation(l.value, l.changes_at, l.limit)) +
                "\n";
    if (!e.together.empty()) {
        text += "or all of them together, to at least:";
        for (size_t i = 0; i < e.together.size(); i++) {
            const auto &[limit, value] = e.together[i];
            const double in_force = limit_value(e.best.limits, limit);
            text += std::string(i == 0 ? " " : ", ") + caption_of(limit) + " " +
                    relaxation(in_force, value, limit);
        }
        text += "\n";
    }
    return text;
}

} // namespace

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

std::string explain_text(const Explanation &e) {
    std::vector<double> least;
    for (Limit limit : e.best.unmeetable)
        least.push_back(least_figure(e.request, limit));
    const std::string head = request_text(e.request) + "\n" + best_text(e.best, least);
    return head + (e.best.feasible ? feasible_table(e) : infeasible_text(e));
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
