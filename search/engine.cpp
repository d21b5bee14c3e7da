#include "search/engine.h"

#include <cmath>
#include <vector>

#include "search/configuration.h"
#include "search/selection.h"
#include "search/terms.h"
#include "search/trace.h"

using namespace search_detail;

namespace {

// Every dimension held: the one configuration, its figures worked out directly (the tables
// would cost more than they save). One that breaks a checked limit scores 0; a figure whose
// check is off stays 0.
template <bool kPowerLines> SearchOutcome evaluate_held(const SearchSpec &spec) {
    const Selection s = selection_of(spec);
    const LimitChecks limits = spec.limits;
    double chip_power;
    const ConfigurationFigures all =
        figures_of(s, spec, spec.scale, spec.cache, spec.cores, chip_power);
    if (kPowerLines && s.stacked && s.transistor != 0 && limits.power)
        trace_power(chip_power);
    ConfigurationFigures f;
    bool broken = false;
    if (limits.area) {
        f.area = all.area;
        broken = f.area > limits.area_limit;
    }
    if (limits.power) {
        f.power = all.power;
        broken = broken || f.power > limits.power_limit;
    }
    if (limits.bandwidth) {
        f.bandwidth = all.bandwidth;
        f.bandwidth_tsv = all.bandwidth_tsv;
        broken = broken || f.bandwidth > limits.bandwidth_limit ||
                 (s.stacked && f.bandwidth_tsv > limits.tsv_limit);
    }
    broken = broken || !figures_finite(all);
    f.speedup = broken ? 0.0 : all.speedup;
    SearchOutcome best;
    best.scale = spec.scale, best.cache = spec.cache, best.cores = spec.cores;
    if (f.speedup < 0.0 || std::isnan(f.speedup))
        return best;
    best.speedup = f.speedup;
    best.figures = f;
    best.found = true;
    return best;
}

// The scale steps' terms for the search loop. One search enters each step as it comes to it,
// and works out the power's and bandwidths' terms only when a configuration of the step needs
// them.
class EnteredStep {
  public:
    EnteredStep(const Selection &s, const SearchSpec &spec, Range caches, Range cores)
        : s_(s), spec_(spec), terms_(s, caches, cores, s.miss_rate(4.0)) {}
    Terms &enter(int scale) {
        terms_.enter_step(operating_point(s_, spec_, scale));
        figures_entered_ = false;
        return terms_;
    }
    void need_figures() {
        if (!figures_entered_)
            terms_.enter_step_figures();
        figures_entered_ = true;
    }

  private:
    const Selection &s_;
    const SearchSpec &spec_;
    Terms terms_;
    bool figures_entered_ = false;
};

// Several searches of one selection: every step's terms worked out once, all of them.
class EveryStep {
  public:
    EveryStep(const Selection &s, const SearchSpec &spec, Range scales, Range caches, Range cores)
        : first_(scales.first) {
        const Terms base(s, caches, cores, s.miss_rate(4.0));
        steps_.reserve(size_t(scales.last - scales.first + 1));
        for (int i = scales.first; i <= scales.last; i++) {
            steps_.push_back(base);
            steps_.back().enter_step(operating_point(s, spec, i));
            steps_.back().enter_step_figures();
        }
    }
    Terms &enter(int scale) { return steps_[size_t(scale - first_)]; }
    void need_figures() {}

  private:
    int first_;
    std::vector<Terms> steps_;
};

// Enumerates the configurations in range, scale outermost and cores innermost, and returns the
// best one accepted, starting from `best`: one accepted must reach its speedup. Ties go to the
// later configuration; NaN is never accepted.
//
// kFiniteEach: every configuration that would become the best is checked for figures that are
// not finite (figures_finite) before it does; without it the search selects as if every figure
// were finite, which search_design_space then checks of the one selected.
template <bool kPowerLines, bool kFiniteEach, class Steps>
SearchOutcome best_in_range(const Selection &s, const LimitChecks &limits, Range scales,
                            Range caches, Range cores, Steps &steps, SearchOutcome best) {
    const double stack_power = s.stack_power();
    // A configuration whose speedup is below the best so far cannot be accepted, whatever its
    // area, power and bandwidth. Unless its power line is due (3D memory with HP cores), the
    // search drops it before working those out, and a cache size's whole row where no speedup
    // reaches the best: the same figures, the same outcome, less work.
    const bool prints_power = kPowerLines && s.stacked && s.transistor != 0 && limits.power;
    const bool drop_slower = !prints_power;

    for (int i = scales.first; i <= scales.last; i++) {
        Terms &terms = steps.enter(i);
        for (int j = caches.first; j <= caches.last; j++) {
            if (drop_slower && terms.row_below(j, best.speedup))
                continue;
            if (drop_slower) {
                steps.need_figures();
                if (terms.rising_row(j)) {
                    // The counts that meet the limits are the first ones; the last of them, found
                    // by halving, has the row's best speedup and is the one a pass over the row
                    // would keep (ties to the later count).
                    ConfigurationFigures f;
                    if (!terms.meets(j, cores.first, limits, stack_power, f))
                        continue;
                    int met = cores.first, broken = cores.last + 1;
                    while (broken - met > 1) {
                        const int middle = met + (broken - met) / 2;
                        ConfigurationFigures g;
                        if (terms.meets(j, middle, limits, stack_power, g))
                            met = middle;
                        else
                            broken = middle;
                    }
                    f = ConfigurationFigures{};
                    terms.meets(j, met, limits, stack_power, f);
                    f.speedup = terms.speedup(j, met);
                    if (f.speedup < best.speedup || std::isnan(f.speedup))
                        continue;
                    best = SearchOutcome{true, f.speedup, i, j, met, f};
                    continue;
                }
            }
            for (int k = cores.first; k <= cores.last; k++) {
                // The area first: where it binds, most configurations go before their division.
                ConfigurationFigures f;
                if (limits.area) {
                    f.area = terms.area(j, k);
                    if (f.area > limits.area_limit)
                        continue;
                }
                const double speedup = terms.speedup(j, k);
                if (drop_slower && (speedup < best.speedup || std::isnan(speedup)))
                    continue;
                steps.need_figures();
                if (limits.power) {
                    f.power = terms.power(j, k);
                    if (s.stacked) {
                        if (prints_power)
                            trace_power(f.power);
                        f.power = f.power + stack_power;
                    }
                    if (f.power > limits.power_limit)
                        continue;
                }
                if (limits.bandwidth) {
                    terms.bandwidths(j, k, f);
                    bool over = f.bandwidth > limits.bandwidth_limit;
                    if (s.stacked)
                        over = over || f.bandwidth_tsv > limits.tsv_limit;
                    if (over)
                        continue;
                }
                f.speedup = speedup;
                if (f.speedup < best.speedup || std::isnan(f.speedup))
                    continue;
                // One with a figure that is not finite, checked or not, is never selected.
                if (kFiniteEach && !terms.finite(j, k, f, limits, stack_power))
                    continue;
                best = SearchOutcome{true, f.speedup, i, j, k, f};
            }
        }
    }
    return best;
}

// What a search returns when nothing qualifies: speedup 0 at the held indices or the first
// configuration of the last step.
SearchOutcome nothing_found(const SearchSpec &spec) {
    SearchOutcome none;
    none.scale = spec.hold_scale ? spec.scale : 7;
    none.cache = spec.hold_cache ? spec.cache : 0;
    none.cores = spec.hold_cores ? spec.cores : 0;
    return none;
}

template <bool kPowerLines, bool kFiniteEach> SearchOutcome find_best(const SearchSpec &spec) {
    if (spec.evaluation())
        return evaluate_held<kPowerLines>(spec);
    const Selection s = selection_of(spec);
    const Ranges r = ranges_of(spec);
    EnteredStep steps(s, spec, r.caches, r.cores);
    return best_in_range<kPowerLines, kFiniteEach>(s, spec.limits, r.scales, r.caches, r.cores,
                                                   steps, nothing_found(spec));
}

// Whether a configuration's figures (all of them) meet the checked limits.
bool meets(const ConfigurationFigures &f, const LimitChecks &limits, bool stacked) {
    if (limits.area && f.area > limits.area_limit)
        return false;
    if (limits.power && f.power > limits.power_limit)
        return false;
    if (limits.bandwidth &&
        (f.bandwidth > limits.bandwidth_limit || (stacked && f.bandwidth_tsv > limits.tsv_limit)))
        return false;
    return true;
}

} // namespace

SearchOutcome search_design_space(const SearchSpec &spec, bool power_lines) {
    // The power lines are traced as the search goes: it goes once, checking each candidate.
    if (power_lines && spec.memory != 0 && spec.transistor != 0 && spec.limits.power)
        return find_best<true, true>(spec);
    // Otherwise the search first selects as if every figure were finite. Where the one selected
    // has finite figures, it is also the best of those that have (ties to the later one alike),
    // and the inner loop has no check to make; where it has not, the search goes again,
    // checking each candidate.
    const SearchOutcome best = find_best<false, false>(spec);
    if (!best.found || spec.evaluation())
        return best;
    ConfigurationFigures all = best.figures;
    if (!spec.limits.area || !spec.limits.power || !spec.limits.bandwidth)
        all = evaluate_design_point(spec, best.scale, best.cache, best.cores);
    all.speedup = best.speedup;
    return figures_finite(all) ? best : find_best<false, true>(spec);
}

std::vector<SearchOutcome> search_design_space_many(const SearchSpec &spec,
                                                    const std::vector<LimitChecks> &limits) {
    std::vector<SearchOutcome> outcomes(limits.size());
    if (spec.evaluation()) {
        for (size_t t = 0; t < limits.size(); t++) {
            SearchSpec one = spec;
            one.limits = limits[t];
            outcomes[t] = search_design_space(one);
        }
        return outcomes;
    }
    const Selection s = selection_of(spec);
    const Ranges r = ranges_of(spec);
    EveryStep steps(s, spec, r.scales, r.caches, r.cores);
    const double stack_power = s.stack_power();

    // The configurations found so far, with every figure, where all are finite.
    struct Answer {
        ConfigurationFigures figures;
    };
    std::vector<Answer> answers;
    for (size_t t = 0; t < limits.size(); t++) {
        // A configuration found for other limits that meets these is accepted here too: the best
        // reaches its speedup, so the search skips whatever is slower from the start.
        SearchOutcome start = nothing_found(spec);
        for (const Answer &a : answers)
            if (a.figures.speedup > start.speedup && meets(a.figures, limits[t], s.stacked))
                start.speedup = a.figures.speedup;
        SearchOutcome best =
            best_in_range<false, false>(s, limits[t], r.scales, r.caches, r.cores, steps, start);
        if (best.found) {
            // As search_design_space: the one selected as if every figure were finite is the
            // answer when they are; otherwise the search goes again, checking each candidate.
            Terms &terms = steps.enter(best.scale);
            Answer a;
            ConfigurationFigures &f = a.figures;
            f.area = terms.area(best.cache, best.cores);
            f.power = terms.power(best.cache, best.cores);
            if (s.stacked)
                f.power = f.power + stack_power;
            terms.bandwidths(best.cache, best.cores, f);
            f.speedup = best.speedup;
            if (figures_finite(f))
                answers.push_back(a);
            else
                best = best_in_range<false, true>(s, limits[t], r.scales, r.caches, r.cores, steps,
                                                  start);
        }
        if (!best.found)
            best = nothing_found(spec);
        outcomes[t] = best;
    }
    return outcomes;
}
