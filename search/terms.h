// The tables of model terms the searches' loops work a configuration's figures out of.
#pragma once

#include <algorithm>
#include <cmath>
#include <limits>

#include "model/area.h"
#include "model/power.h"
#include "model/speedup.h"
#include "search/engine.h"
#include "search/selection.h"

namespace search_detail {

// The model functions (search/configuration.cpp), factored for the loops over many configurations:
// what depends on the core count alone, the cache size alone, the scale step alone, or on the step
// together with the count or with the size, is worked out once for each and kept in small tables. A
// configuration then costs only what mixes a step-and-count value with a step-and-size one: a
// division for the speedup, one for the power and one or two for the bandwidths.
//
// Every figure is the expression tree of the model function, evaluated left to right as written,
// with its single-precision steps where they are. An expression is only cut where, read left to
// right, what comes before the cut depends on fewer axes than what follows, so that each table
// holds a value the whole function computes on its way too; the comments name each cut. The
// tests hold evaluate_design_space, which uses these, to evaluate_design_point, which calls the
// whole functions.
class Terms {
  public:
    Terms(const Selection &s, Range caches, Range cores, double miss_rate_ref);

    // Makes a scale step current: what the speedups need.
    void enter_step(const OperatingPoint &op);
    // What the power and the bandwidths need, for the current step.
    void enter_step_figures();

    double area(int cache, int cores) const {
        double area = core_area_[cores] + l2_area_[cache];
        area = s_.stacked ? stack_area_ + area : area;
        return s_.uncore_area != 0 ? area + s_.uncore_area : area;
    }

    // Whether every speedup of a cache size's row (the counts in range) is below `best` or NaN,
    // found without working them out. With the guard passed, each is perf / stall_plus_one, one
    // divisor for the whole row. Where it is positive and finite, dividing by it keeps the order
    // of two perfs and so does rounding the quotient: no speedup of the row exceeds that of the
    // greatest perf, worked out here by the same division. A NaN perf gives a NaN speedup and is
    // left out. Any other divisor answers false, and the row is gone through one by one.
    bool row_below(int cache, double best) const {
        if (ok_ == 0)
            return 0.0 < best;
        const double stall_plus_one = stall_plus_one_[cache];
        if (!(stall_plus_one > 0 && stall_plus_one < std::numeric_limits<double>::infinity()))
            return false;
        return greatest_perf_ / stall_plus_one < best;
    }

    // The speedup of every count in range, into row[count]. The model functions' last division,
    // by a norm of exactly 1.0, changes nothing and is left out.
    void speedups(int cache, double *row) const {
        for (int c = cores_.first; c <= cores_.last; c++)
            row[c] = speedup(cache, c);
    }
    double speedup(int cache, int cores) const {
        return ok_ == 0 ? 0.0 : perf_[cores] / stall_plus_one_[cache];
    }

    // The chip's power without the memory stack's layers.
    double power(int cache, int cores) const {
        const double traffic = traffic_[cores] * miss_rate_[cache];
        const double at_traffic =
            memory_interface_ * ((power_stack_miss_rate_ * traffic) / miss_rate_ref_);
        const double t5 = min(at_traffic, full_use_);
        const double chip = leakage_[cores] + ((switching_[cores] + l2_leakage_[cache]) + t5);
        return uncore_ != 0 ? chip + uncore_ : chip; // as PowerTerms::total()
    }

    // Off-chip and, with the memory stack, through-silicon-via bandwidth.
    void bandwidths(int cache, int cores, ConfigurationFigures &f) const {
        const double traffic = demand_[cores] * miss_rate_[cache];
        const double bw_norm = s_.workload.bw_norm;
        if (!s_.stacked) {
            f.bandwidth = traffic / bw_norm;
            return;
        }
        f.bandwidth = (s_.stack_miss_rate * traffic) / bw_norm; // bandwidth_stacked
        f.bandwidth_tsv = traffic / bw_norm;                    // bandwidth
    }

    // Whether a configuration meets the checked limits, with the figures checked put in f as
    // the search loop puts them; the step's figures must have been entered.
    bool meets(int cache, int cores, const LimitChecks &limits, double stack_power,
               ConfigurationFigures &f) const {
        if (limits.area) {
            f.area = area(cache, cores);
            if (f.area > limits.area_limit)
                return false;
        }
        if (limits.power) {
            f.power = power(cache, cores);
            if (s_.stacked)
                f.power = f.power + stack_power;
            if (f.power > limits.power_limit)
                return false;
        }
        if (limits.bandwidth) {
            bandwidths(cache, cores, f);
            if (f.bandwidth > limits.bandwidth_limit ||
                (s_.stacked && f.bandwidth_tsv > limits.tsv_limit))
                return false;
        }
        return true;
    }

    // Whether, along a cache size's row of the current step, no figure and no speedup falls as
    // the core count grows, every figure finite: the counts whose configuration meets the limits
    // are then the first ones of the row, and the last of them has the row's best speedup. It
    // holds where every table by count is finite and does not fall, every factor that scales
    // them is finite and not negative (a divisor positive), and every value the figures are
    // made of is finite at both ends of the row, so at every count between (IEEE arithmetic
    // rounds monotonically). The step's figures must have been entered.
    bool rising_row(int cache) {
        if (rising_row_[cache] < 0)
            rising_row_[cache] = rising_row_checked(cache);
        return rising_row_[cache] != 0;
    }

    // Whether every speedup of the current step is finite, from its greatest dividend and least
    // divisor.
    bool speedups_finite() const;

    // Whether the area, power and bandwidths of every configuration in range are finite at
    // every step whose supply and frequency ratios are at most max_vdd_ratio and max_f_ratio
    // in size, without entering a step: each figure's expression worked out on the largest
    // size of each of its values (the least of each divisor), in the model functions' order.
    // Rounding is monotonic, so that bound is at least the size of every value it stands for;
    // where it is finite, so is every value (no overflow, no division by 0, no NaN).
    bool figures_bounded(double max_vdd_ratio, double max_f_ratio) const;

    // Whether every figure of a configuration is finite (figures_finite), taking those in f
    // that the checks have worked out and working out the others; the step's figures must
    // have been entered.
    bool finite(int cache, int cores, const ConfigurationFigures &f, const LimitChecks &limits,
                double stack_power) const {
        ConfigurationFigures all = f;
        if (!limits.area)
            all.area = area(cache, cores);
        if (!limits.power)
            all.power = s_.stacked ? power(cache, cores) + stack_power : power(cache, cores);
        if (!limits.bandwidth)
            bandwidths(cache, cores, all);
        return figures_finite(all);
    }

  private:
    const Selection &s_;
    const Range caches_, cores_;
    const double miss_rate_ref_;
    const double stack_area_;
    const double power_stack_miss_rate_; // power_W passes exactly 1.0, power_W_stacked the stack's
    const double access_;                // exposed_accesses
    const double ref_supply2_;           // float_square(ref_vdd) in power_W_stacked

    // By core count. The power's terms are named as in power_W_stacked.
    double core_area_[kCoreCounts];         // n_cores * core_area: area_cores_L2's product
    double amdahl_[kCoreCounts];            // core_performance's divisor
    double switching_head_[kCoreCounts];    // t1 as far as "/ cgate_ref"
    double l2_switching_head_[kCoreCounts]; // t3 as far as "/ cgate_ref"
    double traffic_head_[kCoreCounts];      // traffic as far as "/ (ref_cores * ref_core_perf)"
    double leakage_head_[kCoreCounts];      // t0's bracket
    // By cache size.
    double miss_rate_[kCacheSizes], l2_latency_[kCacheSizes];
    double l2_area_[kCacheSizes];         // L2_mm
    double l2_leakage_head_[kCacheSizes]; // t4 as far as "* l2_leak_power"

    // Of the current step.
    OperatingPoint op_{};
    int ok_ = 0;
    double full_use_ = 0, memory_interface_ = 0; // full_use; at_traffic's first factor
    double uncore_ = 0;                          // t6
    // By core count.
    double perf_[kCoreCounts];      // core_performance
    double greatest_perf_ = 0;      // of perf_ in range, NaN left out; -infinity if all are NaN
    double switching_[kCoreCounts]; // (t1 + t2) + t3
    double traffic_[kCoreCounts];   // traffic as far as "/ ref_freq"
    double leakage_[kCoreCounts];   // t0
    double demand_[kCoreCounts];    // bandwidth as far as "/ bw_width"
    bool rising_ = false;           // the step's tables by count as rising_row needs them
    // By cache size: rising_row, -1 until it is first asked.
    signed char rising_row_[kCacheSizes];

    bool rising_row_checked(int cache) const;
    // By cache size.
    double stall_plus_one_[kCacheSizes]; // the speedup's stall + 1
    double l2_leakage_[kCacheSizes];     // t4
};

} // namespace search_detail
