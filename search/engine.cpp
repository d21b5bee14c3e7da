#include "search/engine.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "model/area.h"
#include "model/power.h"
#include "model/scaling.h"
#include "model/speedup.h"
#include "model/tables.h"
#include "search/trace.h"

namespace {

// Everything the model needs that depends only on the option selections.
//
// The figures are copies, not references into the model: no call in the search loops can change
// a local, so the compiler keeps them in registers and works out what depends on them alone
// once per search.
struct Selection {
    TranTechRecord node;
    WorkloadFigures workload;
    CoreKindFigures kind;
    ReferenceChip ref;
    MemoryStack stack;
    double parallel_fraction, working_set_growth, base_year;
    const double *scale_steps, *cache_sizes, *core_counts; // the model's axes
    const double *vdd_ratios, *freq_ratios;                // its voltage-to-frequency table
    bool stacked;                                          // 3D memory
    int transistor;                                        // 0 LOP, 1 LOP/HP, anything else HP
    bool core_lop, cache_lop; // which flavour feeds the cores and the L2 cache
    double core_area, l2_area_per_mb;
    const double *l2_latency;         // the node's row of the cache technology's latencies
    double stack_miss_rate;           // share of the L2 misses that miss in the memory stack too
    double uncore_area, uncore_power; // the node's; 0 leaves the figures as they are
    FrequencyLaw frequency_law;
    double alpha; // the alpha-power law's exponent

    double fmax_core() const { return core_lop ? node.fmax_LOP : node.fmax_HP; }
    double vdd_core() const { return core_lop ? node.Vdd_LOP : node.Vdd_HP; }
    double vth_core() const { return core_lop ? node.Vth_LOP : node.Vth_HP; }
    double cgate_core() const { return core_lop ? node.Cgate_LOP : node.Cgate_HP; }
    double ileak_core() const { return core_lop ? node.Ileak_LOP : node.Ileak_HP; }
    double wgate_core() const { return core_lop ? node.Wgate_LOP : node.Wgate_HP; }
    double density_core() const { return core_lop ? node.density_LOP : node.density_HP; }
    double fmax_l2() const { return cache_lop ? node.fmax_LOP : node.fmax_HP; }
    double vdd_l2() const { return cache_lop ? node.Vdd_LOP : node.Vdd_HP; }
    double vth_l2() const { return cache_lop ? node.Vth_LOP : node.Vth_HP; }
    double cgate_l2() const { return cache_lop ? node.Cgate_LOP : node.Cgate_HP; }
    double ileak_l2() const { return cache_lop ? node.Ileak_LOP : node.Ileak_HP; }
    double lgate_l2() const { return cache_lop ? node.Lgate_LOP : node.Lgate_HP; }

    // Footprint of the memory stack's interface; 0 with plain memory.
    double stack_area() const {
        return stacked ? stack_interface_area(node.node_nm, stack.ref_node_nm, stack.tsv_area)
                       : 0.0;
    }

    // Power of the memory stack's own layers.
    double stack_power() const { return stack.layers * stack.layer_power; }

    double miss_rate(double cache_mb) const {
        return L2_model_missRate(workload.miss_alpha, cache_mb, working_set_growth, node.year,
                                 base_year, workload.miss_beta, workload.miss_gamma);
    }

    double voltage_step(double target) const;
    double f_scal(double vdd_ratio) const;
    // The frequency ratio of a step under the model's law, vdd_ratio the voltage_step of target.
    double step_f_ratio(double target, double vdd_ratio) const {
        if (frequency_law == FrequencyLaw::AlphaPower)
            return alpha_power_ratio(vdd_core(), vth_core(), alpha, vdd_ratio);
        return f_scal(target);
    }
};

double Selection::voltage_step(double target) const {
    return ::voltage_step(node, transistor, target);
}

// The model's f_scal, on the table held here.
double Selection::f_scal(double vdd_ratio) const {
    for (int position = 0; position < 11; position++)
        if (vdd_ratios[position] == vdd_ratio)
            return position < kScaleSteps ? freq_ratios[position] : vdd_ratio;
    return vdd_ratio;
}

Selection selection_of(const SearchSpec &spec) {
    const Model &m = *spec.model;
    const int core_kind = spec.core_kind;
    const int transistor = spec.transistor;
    const bool core_lop = transistor == 0;
    const bool cache_lop = transistor == 0 || transistor == 1;
    const NodeRecord &entry = m.nodes[spec.node];
    const TranTechRecord &record = entry.tech;
    const WorkloadRecord &workload = m.workloads[spec.workload];
    return Selection{
        record,
        workload,
        m.core_kinds[core_kind],
        m.reference,
        m.stack,
        parallel_fraction_of(m, spec.workload),
        m.working_set_growth,
        m.base_year,
        m.scale_steps.data(),
        m.cache_sizes.data(),
        m.core_counts.data(),
        m.vdd_ratios.data(),
        m.freq_ratios.data(),
        spec.memory != 0,
        transistor,
        core_lop,
        cache_lop,
        (core_lop ? entry.core_area_LOP : entry.core_area_HP)[core_kind],
        cache_lop ? record.L2_area_LOP : record.L2_area_HP,
        (cache_lop ? entry.l2_latency_LOP : entry.l2_latency_HP).data(),
        // The same for every configuration: worked out once, not in each model function.
        stack_miss_rate(workload.miss_alpha, m.stack.layer_capacity, m.stack.layers,
                        m.working_set_growth, record.year, m.base_year, workload.miss_beta,
                        workload.miss_gamma),
        entry.uncore_area_mm2,
        entry.uncore_power_W,
        m.frequency_law,
        m.alpha,
    };
}

// Ratios of a scale step, or of the current operating point when the scale is held.
struct OperatingPoint {
    double vdd_ratio, f_ratio;
    int ok; // the supply respects the floor of the cache technology
};

OperatingPoint operating_point(const Selection &s, const SearchSpec &spec, int scale) {
    const double target = s.scale_steps[scale];
    const int fix_scale = spec.hold_scale ? 1 : 0;
    OperatingPoint op;
    op.vdd_ratio = MUX(fix_scale, s.voltage_step(target), spec.vdd_ratio);
    op.ok = guard_check(op.vdd_ratio, s.vdd_l2(), s.vth_l2());
    op.f_ratio = MUX(fix_scale, s.step_f_ratio(target, op.vdd_ratio), spec.f_ratio);
    return op;
}

double area_of(const Selection &s, double n_cores, double cache_mb, double stack_area) {
    double area = area_cores_L2(n_cores, s.core_area, L2_mm(cache_mb, s.l2_area_per_mb));
    area = s.stacked ? stack_area + area : area;
    // Not added when 0, so that a model without uncore area keeps every bit.
    return s.uncore_area != 0 ? area + s.uncore_area : area;
}

struct Range {
    int first, last;
};

Range range_of(bool held, int index, int count) {
    return held ? Range{index, index} : Range{0, count - 1};
}

// The chip's power term by term, without the memory stack's layers: power_W's with plain
// memory (a stack miss rate of exactly 1.0), power_W_stacked's with 3D memory.
PowerTerms power_terms_of(const Selection &s, double n_cores, double cache_mb, double vdd_ratio,
                          double f_ratio, double miss_rate, double miss_rate_ref) {
    const TranTechRecord &n = s.node;
    const WorkloadFigures &w = s.workload;
    const CoreKindFigures &k = s.kind;
    const ReferenceChip &r = s.ref;
    PowerTerms terms = power_terms_stacked(
        n_cores, k.core_power, s.cgate_core(), r.Cgate, s.vdd_core(), vdd_ratio, k.ref_Vdd, f_ratio,
        s.fmax_core(), k.ref_freq, k.reference_uncore_power, r.Vdd, r.freq, r.l2_dyn_power, r.cores,
        r.icn_power_a, r.icn_power_b, k.core_perf, w.cpi, w.l2_access_rate, w.latency_hidden,
        r.core_perf, r.cpi, r.latency_hidden, cache_mb, r.l2_mb, r.l2_leak_power, s.ileak_core(),
        r.Ileak, s.lgate_l2(), r.Lgate, miss_rate, s.stacked ? s.stack_miss_rate : 1.0,
        miss_rate_ref, r.mem_if_power, n.mem_data_rate, r.mem_rate, n.bw_offchip, r.bw_offchip,
        s.core_area, s.density_core(), s.wgate_core(), s.cgate_l2(), s.fmax_l2(), s.ileak_l2(),
        s.vdd_l2(), k.uncore_power);
    if (s.uncore_power != 0)
        terms.uncore = uncore_power_term(s.uncore_power, vdd_ratio, f_ratio);
    return terms;
}

// Off-chip demand: with the memory stack, only what the stack does not serve.
double offchip_bandwidth_of(const Selection &s, double n_cores, double f_ratio, double miss_rate) {
    const WorkloadFigures &w = s.workload;
    if (!s.stacked)
        return bandwidth(w.bw_rate, f_ratio, s.fmax_core(), w.bw_cpi, n_cores, s.kind.core_perf,
                         w.bw_width, miss_rate, w.bw_norm);
    return bandwidth_stacked(w.bw_rate, f_ratio, s.fmax_core(), w.bw_cpi, n_cores, s.kind.core_perf,
                             w.bw_width, miss_rate, s.stack_miss_rate, w.bw_norm);
}

// With the memory stack, the whole L2 miss traffic crosses the through-silicon vias.
double tsv_bandwidth_of(const Selection &s, double n_cores, double f_ratio, double miss_rate) {
    const WorkloadFigures &w = s.workload;
    return bandwidth(w.bw_rate, f_ratio, s.fmax_core(), w.bw_cpi, n_cores, s.kind.core_perf,
                     w.bw_width, miss_rate, w.bw_norm);
}

double speedup_of(const Selection &s, int ok, double n_cores, double f_ratio, double miss_rate,
                  double l2_latency) {
    const TranTechRecord &n = s.node;
    const WorkloadFigures &w = s.workload;
    if (!s.stacked)
        return speedup_cores(ok, s.kind.core_perf, s.fmax_core(), f_ratio, s.parallel_fraction,
                             n_cores, w.cpi, w.l2_access_rate, w.latency_hidden, miss_rate,
                             l2_latency, n.mem_latency, n.wire_delay, n.wire_length,
                             n.miss_overhead, 1.0);
    return speedup_cores_stacked(ok, s.kind.core_perf, s.fmax_core(), f_ratio, s.parallel_fraction,
                                 n_cores, w.cpi, w.l2_access_rate, w.latency_hidden, miss_rate,
                                 l2_latency, s.stack_miss_rate, n.mem_latency, s.stack.latency_cut,
                                 n.wire_delay, 0.0, n.miss_overhead, 1.0);
}

// The model functions above, factored for the loops over many configurations: what depends on
// the core count alone, the cache size alone, the scale step alone, or on the step together with
// the count or with the size, is worked out once for each and kept in small tables. A
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

Terms::Terms(const Selection &s, Range caches, Range cores, double miss_rate_ref)
    : s_(s), caches_(caches), cores_(cores), miss_rate_ref_(miss_rate_ref),
      stack_area_(s.stack_area()), power_stack_miss_rate_(s.stacked ? s.stack_miss_rate : 1.0),
      access_(speedup_terms::exposed_accesses(s.workload.cpi, s.workload.l2_access_rate,
                                              s.workload.latency_hidden)),
      ref_supply2_(power_terms::float_square(s.ref.Vdd)) {
    const WorkloadFigures &w = s.workload;
    const CoreKindFigures &k = s.kind;
    const ReferenceChip &r = s.ref;
    const double reference =
        (1 - r.latency_hidden) * ((r.cores * r.core_perf) * (1 / r.cpi)) * 0.12;
    for (int c = cores.first; c <= cores.last; c++) {
        const double n_cores = s.core_counts[c];
        core_area_[c] = n_cores * s.core_area;
        amdahl_[c] = s.parallel_fraction / n_cores + (1 - s.parallel_fraction);
        switching_head_[c] = (n_cores * k.core_power + k.uncore_power) * s.cgate_core() / r.Cgate;
        const double distance = static_cast<double>(sqrtf(static_cast<float>(n_cores)) /
                                                    sqrtf(static_cast<float>(r.cores)));
        const double activity = (1 - w.latency_hidden) *
                                ((1 / w.cpi) *
                                 (((r.icn_power_a + r.icn_power_b) * distance + r.l2_dyn_power) *
                                  n_cores * k.core_perf) *
                                 w.l2_access_rate);
        l2_switching_head_[c] = activity / reference * s.cgate_l2() / r.Cgate;
        traffic_head_[c] = n_cores * k.core_perf / (r.cores * r.core_perf);
        leakage_head_[c] =
            n_cores * s.core_area / 100 * s.density_core() * s.wgate_core() * s.ileak_core();
    }
    for (int j = caches.first; j <= caches.last; j++) {
        const double cache_mb = s.cache_sizes[j];
        miss_rate_[j] = s.miss_rate(cache_mb);
        l2_latency_[j] = s.l2_latency[j];
        l2_area_[j] = L2_mm(cache_mb, s.l2_area_per_mb);
        l2_leakage_head_[j] = cache_mb / r.l2_mb * r.l2_leak_power;
    }
}

void Terms::enter_step(const OperatingPoint &op) {
    using speedup_terms::wire_round_trip;
    const TranTechRecord &n = s_.node;
    const double fmax = s_.fmax_core(), f_ratio = op.f_ratio;
    op_ = op;
    ok_ = op.ok;

    // core_performance's dividend, over the divisor by count.
    const double perf = s_.kind.core_perf * fmax * f_ratio;
    greatest_perf_ = -std::numeric_limits<double>::infinity();
    for (int c = cores_.first; c <= cores_.last; c++) {
        perf_[c] = perf / amdahl_[c];
        if (perf_[c] > greatest_perf_)
            greatest_perf_ = perf_[c];
    }

    // The stall term, by cache size, with the steps of speedup_cores or, its wires of length 0,
    // of speedup_cores_stacked.
    const double cycle = 1 / (fmax * f_ratio);
    const double access = access_;
    const double mem_latency = n.mem_latency, miss_overhead = n.miss_overhead;
    if (!s_.stacked) {
        const double wires = wire_round_trip(n.wire_delay, n.wire_length);
        for (int j = caches_.first; j <= caches_.last; j++) {
            const double miss_rate = miss_rate_[j], l2_latency = l2_latency_[j];
            const double miss_cycles = (wires + (mem_latency + l2_latency)) / cycle + miss_overhead;
            const double hit_cycles = (1 - miss_rate) * l2_latency / cycle;
            const double stall = (miss_cycles * miss_rate + hit_cycles) * access;
            stall_plus_one_[j] = stall + 1;
        }
    } else {
        const double wires = wire_round_trip(n.wire_delay, 0.0);
        const double smr = s_.stack_miss_rate;
        const double stack_latency = (1 - s_.stack.latency_cut) * mem_latency;
        for (int j = caches_.first; j <= caches_.last; j++) {
            const double miss_rate = miss_rate_[j], l2_latency = l2_latency_[j];
            const double hit = (1 - miss_rate) * l2_latency / cycle;
            const double stack_hit =
                ((stack_latency + l2_latency) / cycle + 2.0) * ((1 - smr) * miss_rate);
            const double stack_miss =
                ((wires + ((stack_latency + mem_latency) + l2_latency)) / cycle + miss_overhead +
                 2.0) *
                (smr * miss_rate);
            const double stall = (hit + stack_hit + stack_miss) * access;
            stall_plus_one_[j] = stall + 1;
        }
    }
}

void Terms::enter_step_figures() {
    using power_terms::float_square;
    const Selection &s = s_;
    const TranTechRecord &n = s.node;
    const WorkloadFigures &w = s.workload;
    const CoreKindFigures &k = s.kind;
    const ReferenceChip &r = s.ref;
    const double vdd_ratio = op_.vdd_ratio, f_ratio = op_.f_ratio;
    const double fmax = s.fmax_core(), fmax_l2 = s.fmax_l2();
    const double ref_supply2 = ref_supply2_;
    uncore_ = s.uncore_power != 0 ? uncore_power_term(s.uncore_power, vdd_ratio, f_ratio) : 0.0;

    // power_W_stacked's terms that depend on the step alone.
    const double supply2 = float_square(s.vdd_core() * vdd_ratio);
    const double t2 = k.reference_uncore_power * s.cgate_core() / r.Cgate * supply2 / ref_supply2 *
                      f_ratio * fmax / r.freq;
    const double l2_supply2 = float_square(vdd_ratio * s.vdd_l2());
    full_use_ = n.bw_offchip / r.bw_offchip * r.mem_if_power * s.cgate_core() / r.Cgate * supply2 /
                ref_supply2 * n.mem_data_rate / r.mem_rate;
    memory_interface_ = r.mem_if_power * s.cgate_core() / r.Cgate * supply2 / ref_supply2 *
                        n.mem_data_rate / r.mem_rate;
    const double vdd = s.vdd_core() * vdd_ratio;
    const double ref_vdd_core2 = float_square(k.ref_Vdd);
    const double ref_freq_core = k.ref_freq, ref_freq = r.freq;
    // bandwidth as far as "/ bw_cpi".
    const double demand = w.bw_rate * f_ratio * fmax / w.bw_cpi;
    const double core_perf = k.core_perf, bw_width = w.bw_width;

    for (int c = cores_.first; c <= cores_.last; c++) {
        const double t1 =
            switching_head_[c] * supply2 / ref_vdd_core2 * f_ratio * fmax / ref_freq_core;
        const double t3 =
            l2_switching_head_[c] * l2_supply2 / ref_supply2 * f_ratio * fmax_l2 / ref_freq;
        switching_[c] = (t1 + t2) + t3;
        traffic_[c] = traffic_head_[c] * f_ratio * fmax / ref_freq;
        leakage_[c] = vdd * leakage_head_[c] * 0.5 / 1000;
        demand_[c] = demand * s.core_counts[c] * core_perf / bw_width;
    }
    const double vdd_l2 = s.vdd_l2(), ref_vdd = r.Vdd, ileak_l2 = s.ileak_l2(), ileak_ref = r.Ileak,
                 lgate_l2 = s.lgate_l2(), lgate_ref = r.Lgate;
    for (int j = caches_.first; j <= caches_.last; j++)
        l2_leakage_[j] = l2_leakage_head_[j] * vdd_ratio * vdd_l2 / ref_vdd * ileak_l2 / ileak_ref *
                         lgate_l2 / lgate_ref;

    auto finite_and_rising = [&](const double *table) {
        for (int c = cores_.first; c <= cores_.last; c++)
            if (!std::isfinite(table[c]) || (c > cores_.first && table[c] < table[c - 1]))
                return false;
        return true;
    };
    auto finite_and_at_least = [](double x, double floor) {
        return std::isfinite(x) && x >= floor;
    };
    rising_ = (ok_ == 0 || finite_and_rising(perf_)) && finite_and_rising(core_area_) &&
              finite_and_rising(switching_) && finite_and_rising(leakage_) &&
              finite_and_rising(traffic_) && finite_and_rising(demand_) &&
              finite_and_at_least(power_stack_miss_rate_, 0) &&
              finite_and_at_least(miss_rate_ref_, 0) && miss_rate_ref_ > 0 &&
              finite_and_at_least(memory_interface_, 0) && !std::isnan(full_use_) &&
              finite_and_at_least(s.stack_miss_rate, 0) && finite_and_at_least(w.bw_norm, 0) &&
              w.bw_norm > 0 && std::isfinite(stack_area_) && finite_and_at_least(uncore_, 0) &&
              finite_and_at_least(s.uncore_area, 0);
    std::fill(std::begin(rising_row_), std::end(rising_row_), -1);
}

// The largest and the least size of a table's values in range; NaN if one of them is NaN.
double largest_size(const double *table, Range range) {
    double most = 0;
    for (int i = range.first; i <= range.last; i++) {
        const double size = std::fabs(table[i]);
        if (std::isnan(size))
            return size;
        most = size > most ? size : most;
    }
    return most;
}

double least_size(const double *table, Range range) {
    double least = std::numeric_limits<double>::infinity();
    for (int i = range.first; i <= range.last; i++) {
        const double size = std::fabs(table[i]);
        if (std::isnan(size))
            return size;
        least = size < least ? size : least;
    }
    return least;
}

bool Terms::speedups_finite() const {
    return ok_ == 0 ||
           std::isfinite(largest_size(perf_, cores_) / least_size(stall_plus_one_, caches_));
}

bool Terms::figures_bounded(double max_vdd_ratio, double max_f_ratio) const {
    using power_terms::float_square;
    using std::fabs;
    const Selection &s = s_;
    const TranTechRecord &n = s.node;
    const WorkloadFigures &w = s.workload;
    const CoreKindFigures &k = s.kind;
    const ReferenceChip &r = s.ref;
    const double V = max_vdd_ratio, F = max_f_ratio;
    const double fmax = fabs(s.fmax_core()), fmax_l2 = fabs(s.fmax_l2());
    const double cgate = fabs(s.cgate_core()), ref_supply2 = fabs(ref_supply2_);

    // enter_step_figures, on sizes.
    const double supply2 = float_square(fabs(s.vdd_core()) * V);
    const double t2 = fabs(k.reference_uncore_power) * cgate / fabs(r.Cgate) * supply2 /
                      ref_supply2 * F * fmax / fabs(r.freq);
    const double l2_supply2 = float_square(V * fabs(s.vdd_l2()));
    const double full_use = fabs(n.bw_offchip) / fabs(r.bw_offchip) * fabs(r.mem_if_power) * cgate /
                            fabs(r.Cgate) * supply2 / ref_supply2 * fabs(n.mem_data_rate) /
                            fabs(r.mem_rate);
    const double memory_interface = fabs(r.mem_if_power) * cgate / fabs(r.Cgate) * supply2 /
                                    ref_supply2 * fabs(n.mem_data_rate) / fabs(r.mem_rate);
    const double vdd = fabs(s.vdd_core()) * V;
    const double ref_vdd_core2 = float_square(fabs(k.ref_Vdd));
    const double demand = fabs(w.bw_rate) * F * fmax / fabs(w.bw_cpi);
    const double t1 = largest_size(switching_head_, cores_) * supply2 / ref_vdd_core2 * F * fmax /
                      fabs(k.ref_freq);
    const double t3 = largest_size(l2_switching_head_, cores_) * l2_supply2 / ref_supply2 * F *
                      fmax_l2 / fabs(r.freq);
    const double switching = (t1 + t2) + t3;
    const double traffic = largest_size(traffic_head_, cores_) * F * fmax / fabs(r.freq);
    const double leakage = vdd * largest_size(leakage_head_, cores_) * 0.5 / 1000;
    const double count_demand =
        demand * largest_size(s.core_counts, cores_) * fabs(k.core_perf) / fabs(w.bw_width);
    const double l2_leakage = largest_size(l2_leakage_head_, caches_) * V * fabs(s.vdd_l2()) /
                              fabs(r.Vdd) * fabs(s.ileak_l2()) / fabs(r.Ileak) *
                              fabs(s.lgate_l2()) / fabs(r.Lgate);

    // power(), bandwidths() and area(), on sizes.
    const double miss_rate = largest_size(miss_rate_, caches_);
    const double at_traffic =
        memory_interface *
        ((fabs(power_stack_miss_rate_) * (traffic * miss_rate)) / fabs(miss_rate_ref_));
    if (!std::isfinite(at_traffic) || !std::isfinite(full_use))
        return false;
    const double t5 = at_traffic > full_use ? at_traffic : full_use; // either may be the min
    double power = leakage + ((switching + l2_leakage) + t5);
    if (s.uncore_power != 0) // uncore_power_term
        power = power + fabs(s.uncore_power) * float_square(V) * F;
    if (s.stacked)
        power = power + fabs(s.stack_power());
    const double bandwidth_traffic = count_demand * miss_rate;
    const double bandwidth = bandwidth_traffic / fabs(w.bw_norm);
    const double stacked_bandwidth =
        s.stacked ? (fabs(s.stack_miss_rate) * bandwidth_traffic) / fabs(w.bw_norm) : 0.0;
    double area = largest_size(core_area_, cores_) + largest_size(l2_area_, caches_);
    if (s.stacked)
        area = fabs(stack_area_) + area;
    if (s.uncore_area != 0)
        area = area + fabs(s.uncore_area);
    return std::isfinite(power) && std::isfinite(bandwidth) && std::isfinite(stacked_bandwidth) &&
           std::isfinite(area);
}

bool Terms::rising_row_checked(int cache) const {
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    const double stack_power = s_.stack_power();
    const double miss_rate = miss_rate_[cache];
    if (!rising_ || !(miss_rate >= 0 && miss_rate < kInfinity) ||
        !std::isfinite(l2_leakage_[cache]) || !std::isfinite(l2_area_[cache]) ||
        !std::isfinite(stack_power))
        return false;
    if (ok_ != 0 && !(stall_plus_one_[cache] > 0 && stall_plus_one_[cache] < kInfinity))
        return false;
    // Every value the power, the bandwidths and the area are made of, as power(), bandwidths()
    // and area() work them out.
    for (int c : {cores_.first, cores_.last}) {
        const double traffic = traffic_[c] * miss_rate;
        const double stack_traffic = power_stack_miss_rate_ * traffic;
        const double per_reference = stack_traffic / miss_rate_ref_;
        const double at_traffic = memory_interface_ * per_reference;
        const double t5 = min(at_traffic, full_use_);
        const double switching = switching_[c] + l2_leakage_[cache];
        const double chip_only = leakage_[c] + (switching + t5);
        const double chip = uncore_ != 0 ? chip_only + uncore_ : chip_only;
        const double demand = demand_[c] * miss_rate;
        ConfigurationFigures f;
        bandwidths(cache, c, f);
        for (double value :
             {speedup(cache, c), traffic, stack_traffic, per_reference, at_traffic, t5, switching,
              switching + t5, chip, chip + stack_power, demand, f.bandwidth, f.bandwidth_tsv,
              s_.stack_miss_rate * demand, area(cache, c)})
            if (!std::isfinite(value))
                return false;
    }
    return true;
}

// Every figure of one configuration with the model functions whole, and the power without the
// memory stack's layers (what the power lines show) in chip_power.
// With terms, the power's terms as well (chip_power is their total()).
ConfigurationFigures figures_of(const Selection &s, const SearchSpec &spec, int scale, int cache,
                                int cores, double &chip_power, PowerTerms *terms = nullptr) {
    const OperatingPoint op = operating_point(s, spec, scale);
    const double n_cores = s.core_counts[cores], cache_mb = s.cache_sizes[cache];
    const double miss_rate = s.miss_rate(cache_mb);
    ConfigurationFigures f;
    f.area = area_of(s, n_cores, cache_mb, s.stack_area());
    const PowerTerms power =
        power_terms_of(s, n_cores, cache_mb, op.vdd_ratio, op.f_ratio, miss_rate, s.miss_rate(4.0));
    if (terms != nullptr)
        *terms = power;
    chip_power = power.total();
    f.power = s.stacked ? chip_power + s.stack_power() : chip_power;
    f.bandwidth = offchip_bandwidth_of(s, n_cores, op.f_ratio, miss_rate);
    if (s.stacked)
        f.bandwidth_tsv = tsv_bandwidth_of(s, n_cores, op.f_ratio, miss_rate);
    f.speedup = speedup_of(s, op.ok, n_cores, op.f_ratio, miss_rate, s.l2_latency[cache]);
    return f;
}

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

struct Ranges {
    Range scales, caches, cores;
};

Ranges ranges_of(const SearchSpec &spec) {
    return {range_of(spec.hold_scale, spec.scale, kScaleSteps),
            range_of(spec.hold_cache, spec.cache, kCacheSizes),
            range_of(spec.hold_cores, spec.cores, kCoreCounts)};
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

double voltage_step(const TranTechRecord &node, int transistor, double target) {
    if (transistor == 0)
        return Vdd_scale(node.Vdd_LOP, target, node.Vth_LOP);
    if (transistor == 1)
        return Vdd_scale_HP_LOP(node.Vdd_HP, target, node.Vdd_min_HP, node.Vdd_LOP, node.Vth_LOP);
    return Vdd_scale_HP_LOP(node.Vdd_HP, target, node.Vdd_min_HP, node.Vdd_HP, node.Vth_HP);
}

double step_frequency_ratio(const Model &model, const TranTechRecord &node, int transistor,
                            double target) {
    return frequency_ratio(model, node, transistor, target, voltage_step(node, transistor, target));
}

double figure_of(const ConfigurationFigures &f, Limit limit) {
    return limit == Limit::Area        ? f.area
           : limit == Limit::Power     ? f.power
           : limit == Limit::Bandwidth ? f.bandwidth
                                       : f.bandwidth_tsv;
}

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

ConfigurationFigures evaluate_design_point(const SearchSpec &spec, int scale, int cache,
                                           int cores) {
    double chip_power;
    return figures_of(selection_of(spec), spec, scale, cache, cores, chip_power);
}

PowerBreakdown power_breakdown(const SearchSpec &spec, int scale, int cache, int cores) {
    const Selection s = selection_of(spec);
    PowerBreakdown b{};
    double chip_power;
    b.power = figures_of(s, spec, scale, cache, cores, chip_power, &b.chip).power;
    b.memory_stack = s.stacked ? s.stack_power() : 0.0;
    b.uncore_area = s.uncore_area;
    return b;
}

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
