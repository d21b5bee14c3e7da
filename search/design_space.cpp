// Every configuration's figures without the search's checks.
#include <cmath>
#include <vector>

#include "search/engine.h"
#include "search/selection.h"
#include "search/terms.h"

using namespace search_detail;

// The loops of the search without its checks.
std::vector<EvaluatedConfiguration> evaluate_design_space(const SearchSpec &spec) {
    const Selection s = selection_of(spec);
    const Range scales = range_of(spec.hold_scale, spec.scale, kScaleSteps);
    const Range caches = range_of(spec.hold_cache, spec.cache, kCacheSizes);
    const Range cores = range_of(spec.hold_cores, spec.cores, kCoreCounts);
    Terms terms(s, caches, cores, s.miss_rate(4.0));
    const double stack_power = s.stack_power();
    double speedups[kCoreCounts];

    std::vector<EvaluatedConfiguration> all;
    all.reserve(size_t(scales.last - scales.first + 1) * (caches.last - caches.first + 1) *
                (cores.last - cores.first + 1));
    for (int i = scales.first; i <= scales.last; i++) {
        terms.enter_step(operating_point(s, spec, i));
        terms.enter_step_figures();
        for (int j = caches.first; j <= caches.last; j++) {
            terms.speedups(j, speedups);
            for (int k = cores.first; k <= cores.last; k++) {
                EvaluatedConfiguration c{i, j, k, {}};
                ConfigurationFigures &f = c.figures;
                f.area = terms.area(j, k);
                f.power = terms.power(j, k);
                if (s.stacked)
                    f.power = f.power + stack_power;
                terms.bandwidths(j, k, f);
                f.speedup = speedups[k];
                all.push_back(c);
            }
        }
    }
    return all;
}

NonFiniteConfigurations non_finite_configurations(const SearchSpec &spec) {
    const Selection s = selection_of(spec);
    const Ranges r = ranges_of(spec);
    Terms terms(s, r.caches, r.cores, s.miss_rate(4.0));
    const double stack_power = s.stack_power();
    NonFiniteConfigurations found;
    // Mostly settled at once: every speedup finite step by step, the other figures for every
    // step together from the largest supply and frequency ratios.
    double max_vdd_ratio = 0, max_f_ratio = 0;
    bool speedups_finite = true;
    for (int i = r.scales.first; i <= r.scales.last && speedups_finite; i++) {
        const OperatingPoint op = operating_point(s, spec, i);
        terms.enter_step(op);
        speedups_finite = terms.speedups_finite();
        max_vdd_ratio = std::fmax(max_vdd_ratio, std::fabs(op.vdd_ratio));
        max_f_ratio = std::fmax(max_f_ratio, std::fabs(op.f_ratio));
        if (std::isnan(op.vdd_ratio) || std::isnan(op.f_ratio))
            speedups_finite = false;
    }
    if (speedups_finite && terms.figures_bounded(max_vdd_ratio, max_f_ratio))
        return found;
    for (int i = r.scales.first; i <= r.scales.last; i++) {
        terms.enter_step(operating_point(s, spec, i));
        terms.enter_step_figures();
        for (int j = r.caches.first; j <= r.caches.last; j++) {
            if (terms.rising_row(j))
                continue;
            // As evaluate_design_space works each one out.
            for (int k = r.cores.first; k <= r.cores.last; k++) {
                ConfigurationFigures f;
                f.area = terms.area(j, k);
                f.power = terms.power(j, k);
                if (s.stacked)
                    f.power = f.power + stack_power;
                terms.bandwidths(j, k, f);
                f.speedup = terms.speedup(j, k);
                if (figures_finite(f))
                    continue;
                if (found.count++ == 0)
                    found.first = EvaluatedConfiguration{i, j, k, f};
            }
        }
    }
    return found;
}
