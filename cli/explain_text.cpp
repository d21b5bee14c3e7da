// explain's text: the request, the optimum, and a table of the limits relaxed one at a time
// (or, when nothing meets the limits, how far they must be relaxed).
#include <cmath>

#include "cli/report.h"
#include "model/model.h"

namespace {

const char *short_caption(Limit limit) {
    return limit == Limit::Area        ? "area"
           : limit == Limit::Power     ? "power"
           : limit == Limit::Bandwidth ? "off-chip bw"
                                       : "TSV bw";
}

// A limit value for a person to read and type back: six significant digits, rounded up so
// that the value typed still admits what it names.
std::string rounded_up(double value) {
    if (!(value > 0) || std::isinf(value))
        return shortest(value);
    const double unit = std::pow(10.0, std::floor(std::log10(value)) - 5);
    return format("%.6g", std::ceil(value / unit) * unit);
}

// A figure with `decimals` decimals, as the table has room for; one too large for that (a
// limit of 1e308) with six significant digits.
std::string fixed(double value, int decimals) {
    return std::fabs(value) < 1e9 ? format("%.*f", decimals, value) : format("%.6g", value);
}

// "225.416 mm^2 (+1.59 %)": a limit raised from `from` to `to`.
std::string relaxation(double from, double to, Limit limit) {
    return rounded_up(to) + " " + unit_of(limit) +
           (from > 0 ? format(" (+%.2f %%)", (to / from - 1) * 100) : "");
}

std::string configuration_text(int cores, int cache, int scale) {
    const Model &m = active_model();
    return format("%d cores, %d MB, step %s", int(m.core_counts[cores]), int(m.cache_sizes[cache]),
                  step_text(m.scale_steps[scale]).c_str());
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
            format("  %-17s %10s %10s %10s %-5s %10s %9s  %s\n", caption.c_str(),
                   shortest(l.value).c_str(), fixed(l.figure, 2).c_str(),
                   fixed(l.value - l.figure, 2).c_str(), l.binds ? "yes" : "no",
                   fixed(l.relaxed_speedup, 4).c_str(),
                   std::isnan(gain) ? "-" : format("%+.2f %%", gain).c_str(),
                   std::isinf(l.changes_at) ? "never"
                                            : relaxation(l.value, l.changes_at, l.limit).c_str());
    }
    for (const LimitAnalysis &l : e.limits)
        if (l.binds)
            text += format(
                "With %s at %.10g %s: speedup %.4f (%s).\n", caption_of(l.limit), l.relaxed_value,
                unit_of(l.limit), l.relaxed_speedup,
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

// Every pair of limits relaxed together, and the pairs that hold the design back together.
std::string pairs_table(const Explanation &e) {
    if (e.pairs.empty())
        return {};
    std::string text =
        format("\nEach pair of limits relaxed together by %s %%\n", shortest(e.step * 100).c_str());
    text += format("  %-27s %-5s %10s %9s  %s\n", "limits", "binds", "relaxed", "gain",
                   "beyond either alone");
    for (const PairAnalysis &p : e.pairs) {
        const std::string limits =
            std::string(short_caption(p.first)) + " + " + short_caption(p.second);
        const double gain = gain_percent(p.relaxed_speedup, e.best.speedup);
        text += format("  %-27s %-5s %10.4f %9s  %s\n", limits.c_str(), p.binds ? "yes" : "no",
                       p.relaxed_speedup, std::isnan(gain) ? "-" : format("%+.2f %%", gain).c_str(),
                       p.beyond_alone ? "yes" : "no");
    }
    for (const PairAnalysis &p : e.pairs) {
        if (!p.beyond_alone)
            continue;
        auto alone = [&](Limit limit) {
            for (const LimitAnalysis &l : e.limits)
                if (l.limit == limit)
                    return format("%+.2f %%", gain_percent(l.relaxed_speedup, e.best.speedup));
            return std::string("-");
        };
        const double gain = gain_percent(p.relaxed_speedup, e.best.speedup);
        std::string first = caption_of(p.first);
        first[0] = char(std::toupper(static_cast<unsigned char>(first[0])));
        text +=
            format("%s and %s hold the design back together: relaxed together, speedup %.4f "
                   "(%+.2f %%, %s), against %s and %s alone.\n",
                   first.c_str(), caption_of(p.second), p.relaxed_speedup, gain,
                   configuration_text(p.relaxed_cores, p.relaxed_cache, p.relaxed_scale).c_str(),
                   alone(p.first).c_str(), alone(p.second).c_str());
    }
    return text;
}

std::string explain_text(const Explanation &e, const PowerBreakdown *breakdown) {
    std::vector<double> least;
    for (Limit limit : e.best.unmeetable)
        least.push_back(least_figure(e.request, limit));
    const std::string head = request_text(e.request) + "\n" + best_text(e.best, least, breakdown);
    return head + (e.best.feasible ? feasible_table(e) + pairs_table(e) : infeasible_text(e));
}
