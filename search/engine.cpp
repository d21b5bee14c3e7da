#include "search/engine.h"

#include <cmath>

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
    const double *l2_latency; // the node's row of the cache technology's latencies
    double stack_miss_rate;   // share of the L2 misses that miss in the memory stack too

    double fmax_core() const { return core_lop ? node.fmax_LOP : node.fmax_HP; }
    double vdd_core() const { return core_lop ? node.Vdd_LOP : node.Vdd_HP; }
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
        m.parallel_fraction,
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
    op.f_ratio = MUX(fix_scale, s.f_scal(target), spec.f_ratio);
    return op;
}

double area_of(const Selection &s, double n_cores, double cache_mb, double stack_area) {
    double area = area_cores_L2(n_cores, s.core_area, L2_mm(cache_mb, s.l2_area_per_mb));
    return s.stacked ? stack_area + area : area;
}

struct Range {
    int first, last;
};

Range range_of(bool held, int index, int count) {
    return held ? Range{index, index} : Range{0, count - 1};
}

double power_of(const Selection &s, double n_cores, double cache_mb, double vdd_ratio,
                double f_ratio, double miss_rate, double miss_rate_ref) {
    const TranTechRecord &n = s.node;
    const WorkloadFigures &w = s.workload;
    const CoreKindFigures &k = s.kind;
    const ReferenceChip &r = s.ref;
    if (!s.stacked)
        return power_W(n_cores, k.core_power, s.cgate_core(), r.Cgate, s.vdd_core(), vdd_ratio,
                       k.ref_Vdd, f_ratio, s.fmax_core(), k.ref_freq, k.reference_uncore_power,
                       r.Vdd, r.freq, r.l2_dyn_power, r.cores, r.icn_power_a, r.icn_power_b,
                       k.core_perf, w.cpi, w.l2_access_rate, w.latency_hidden, r.core_perf, r.cpi,
                       r.latency_hidden, cache_mb, r.l2_mb, r.l2_leak_power, s.ileak_core(),
                       r.Ileak, s.lgate_l2(), r.Lgate, miss_rate, miss_rate_ref, r.mem_if_power,
                       n.mem_data_rate, r.mem_rate, n.bw_offchip, r.bw_offchip, s.core_area,
                       s.density_core(), s.wgate_core(), s.cgate_l2(), s.fmax_l2(), s.ileak_l2(),
                       s.vdd_l2(), k.uncore_power);
    return power_W_stacked(
        n_cores, k.core_power, s.cgate_core(), r.Cgate, s.vdd_core(), vdd_ratio, k.ref_Vdd, f_ratio,
        s.fmax_core(), k.ref_freq, k.reference_uncore_power, r.Vdd, r.freq, r.l2_dyn_power, r.cores,
        r.icn_power_a, r.icn_power_b, k.core_perf, w.cpi, w.l2_access_rate, w.latency_hidden,
        r.core_perf, r.cpi, r.latency_hidden, cache_mb, r.l2_mb, r.l2_leak_power, s.ileak_core(),
        r.Ileak, s.lgate_l2(), r.Lgate, miss_rate, s.stack_miss_rate, miss_rate_ref, r.mem_if_power,
        n.mem_data_rate, r.mem_rate, n.bw_offchip, r.bw_offchip, s.core_area, s.density_core(),
        s.wgate_core(), s.cgate_l2(), s.fmax_l2(), s.ileak_l2(), s.vdd_l2(), k.uncore_power);
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

// Enumerates the configurations in range, scale outermost and cores innermost, and returns
// the best one accepted. Ties go to the later configuration; NaN is never accepted.
//
// Flattened: every model function is inlined into the loops whatever its size, so that no
// configuration pays for a call with a long argument list (the power model takes 47).
template <bool kPowerLines> [[gnu::flatten]] SearchOutcome find_best(const SearchSpec &spec) {
    const Selection s = selection_of(spec);
    const LimitChecks limits = spec.limits;
    const bool evaluation = spec.evaluation();
    const Range scales = range_of(spec.hold_scale, spec.scale, kScaleSteps);
    const Range caches = range_of(spec.hold_cache, spec.cache, kCacheSizes);
    const Range cores = range_of(spec.hold_cores, spec.cores, kCoreCounts);

    SearchOutcome best;
    best.scale = spec.hold_scale ? spec.scale : 7;
    best.cache = spec.hold_cache ? spec.cache : 0;
    best.cores = spec.hold_cores ? spec.cores : 0;

    const double miss_rate_ref = s.miss_rate(4.0);
    const double stack_area = s.stack_area();
    const double stack_power = s.stack_power();
    const double *cache_sizes = s.cache_sizes;
    const double *core_counts = s.core_counts;
    // The miss rate depends on the cache size alone: once per size, not once per scale step.
    double miss_rates[kCacheSizes];
    for (int j = caches.first; j <= caches.last; j++)
        miss_rates[j] = s.miss_rate(cache_sizes[j]);
    // A configuration whose speedup is below the best so far cannot be accepted, whatever its
    // power and bandwidth. Unless its power line is due (3D memory with HP cores), the search
    // drops it before working those out: the same figures, the same outcome, less work.
    const bool prints_power = kPowerLines && s.stacked && s.transistor != 0 && limits.power;
    const bool drop_slower = !evaluation && !prints_power;

    for (int i = scales.first; i <= scales.last; i++) {
        const OperatingPoint op = operating_point(s, spec, i);
        const double vdd_ratio = op.vdd_ratio, f_ratio = op.f_ratio;
        const int ok = op.ok;
        for (int j = caches.first; j <= caches.last; j++) {
            const double cache_mb = cache_sizes[j];
            const double miss_rate = miss_rates[j];
            for (int k = cores.first; k <= cores.last; k++) {
                const double n_cores = core_counts[k];
                ConfigurationFigures f;
                bool broken = false;
                if (limits.area) {
                    f.area = area_of(s, n_cores, cache_mb, stack_area);
                    if (f.area > limits.area_limit) {
                        if (!evaluation)
                            continue;
                        broken = true;
                    }
                }
                const double speedup =
                    speedup_of(s, ok, n_cores, f_ratio, miss_rate, s.l2_latency[j]);
                if (drop_slower && (speedup < best.speedup || std::isnan(speedup)))
                    continue;
                if (limits.power) {
                    f.power = power_of(s, n_cores, cache_mb, vdd_ratio, f_ratio, miss_rate,
                                       miss_rate_ref);
                    if (s.stacked) {
                        if (prints_power)
                            trace_power(f.power);
                        f.power = f.power + stack_power;
                    }
                    if (f.power > limits.power_limit) {
                        if (!evaluation)
                            continue;
                        broken = true;
                    }
                }
                if (limits.bandwidth) {
                    f.bandwidth = offchip_bandwidth_of(s, n_cores, f_ratio, miss_rate);
                    bool over = f.bandwidth > limits.bandwidth_limit;
                    if (s.stacked) {
                        f.bandwidth_tsv = tsv_bandwidth_of(s, n_cores, f_ratio, miss_rate);
                        over = over || f.bandwidth_tsv > limits.tsv_limit;
                    }
                    if (over) {
                        if (!evaluation)
                            continue;
                        broken = true;
                    }
                }
                f.speedup = broken ? 0.0 : speedup;
                if (f.speedup < best.speedup || std::isnan(f.speedup))
                    continue;
                best.speedup = f.speedup;
                best.scale = i;
                best.cache = j;
                best.cores = k;
                best.figures = f;
                best.found = true;
            }
        }
    }
    return best;
}

} // namespace

double voltage_step(const TranTechRecord &node, int transistor, double target) {
    if (transistor == 0)
        return Vdd_scale(node.Vdd_LOP, target, node.Vth_LOP);
    if (transistor == 1)
        return Vdd_scale_HP_LOP(node.Vdd_HP, target, node.Vdd_min_HP, node.Vdd_LOP, node.Vth_LOP);
    return Vdd_scale_HP_LOP(node.Vdd_HP, target, node.Vdd_min_HP, node.Vdd_HP, node.Vth_HP);
}

double &LimitChecks::value(Limit limit) {
    return limit == Limit::Area        ? area_limit
           : limit == Limit::Power     ? power_limit
           : limit == Limit::Bandwidth ? bandwidth_limit
                                       : tsv_limit;
}

double LimitChecks::value(Limit limit) const {
    return const_cast<LimitChecks &>(*this).value(limit);
}

double figure_of(const ConfigurationFigures &f, Limit limit) {
    return limit == Limit::Area        ? f.area
           : limit == Limit::Power     ? f.power
           : limit == Limit::Bandwidth ? f.bandwidth
                                       : f.bandwidth_tsv;
}

SearchOutcome search_design_space(const SearchSpec &spec, bool power_lines) {
    return power_lines ? find_best<true>(spec) : find_best<false>(spec);
}

ConfigurationFigures evaluate_design_point(const SearchSpec &spec, int scale, int cache,
                                           int cores) {
    const Selection s = selection_of(spec);
    const OperatingPoint op = operating_point(s, spec, scale);
    const double n_cores = s.core_counts[cores], cache_mb = s.cache_sizes[cache];
    const double miss_rate = s.miss_rate(cache_mb);
    ConfigurationFigures f;
    f.area = area_of(s, n_cores, cache_mb, s.stack_area());
    f.power = power_of(s, n_cores, cache_mb, op.vdd_ratio, op.f_ratio, miss_rate, s.miss_rate(4.0));
    if (s.stacked)
        f.power = f.power + s.stack_power();
    f.bandwidth = offchip_bandwidth_of(s, n_cores, op.f_ratio, miss_rate);
    if (s.stacked)
        f.bandwidth_tsv = tsv_bandwidth_of(s, n_cores, op.f_ratio, miss_rate);
    f.speedup = speedup_of(s, op.ok, n_cores, op.f_ratio, miss_rate, s.l2_latency[cache]);
    return f;
}

// The loops of the search without its checks: what depends on the scale step or the cache size
// alone is worked out once per step or size, as the search does.
[[gnu::flatten]] std::vector<EvaluatedConfiguration> evaluate_design_space(const SearchSpec &spec) {
    const Selection s = selection_of(spec);
    const Range scales = range_of(spec.hold_scale, spec.scale, kScaleSteps);
    const Range caches = range_of(spec.hold_cache, spec.cache, kCacheSizes);
    const Range cores = range_of(spec.hold_cores, spec.cores, kCoreCounts);
    const double miss_rate_ref = s.miss_rate(4.0);
    const double stack_area = s.stack_area();
    const double stack_power = s.stack_power();
    double miss_rates[kCacheSizes];
    for (int j = caches.first; j <= caches.last; j++)
        miss_rates[j] = s.miss_rate(s.cache_sizes[j]);

    std::vector<EvaluatedConfiguration> all;
    all.reserve(size_t(scales.last - scales.first + 1) * (caches.last - caches.first + 1) *
                (cores.last - cores.first + 1));
    for (int i = scales.first; i <= scales.last; i++) {
        const OperatingPoint op = operating_point(s, spec, i);
        for (int j = caches.first; j <= caches.last; j++) {
            const double cache_mb = s.cache_sizes[j];
            const double miss_rate = miss_rates[j];
            for (int k = cores.first; k <= cores.last; k++) {
                const double n_cores = s.core_counts[k];
                EvaluatedConfiguration c{i, j, k, {}};
                ConfigurationFigures &f = c.figures;
                f.area = area_of(s, n_cores, cache_mb, stack_area);
                f.power = power_of(s, n_cores, cache_mb, op.vdd_ratio, op.f_ratio, miss_rate,
                                   miss_rate_ref);
                if (s.stacked)
                    f.power = f.power + stack_power;
                f.bandwidth = offchip_bandwidth_of(s, n_cores, op.f_ratio, miss_rate);
                if (s.stacked)
                    f.bandwidth_tsv = tsv_bandwidth_of(s, n_cores, op.f_ratio, miss_rate);
                f.speedup = speedup_of(s, op.ok, n_cores, op.f_ratio, miss_rate, s.l2_latency[j]);
                all.push_back(c);
            }
        }
    }
    return all;
}
