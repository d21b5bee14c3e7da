#include "search/configuration.h"

#include "model/area.h"
#include "model/power.h"
#include "model/scaling.h"
#include "model/speedup.h"

using namespace search_detail;

namespace {

double area_of(const Selection &s, double n_cores, double cache_mb, double stack_area) {
    double area = area_cores_L2(n_cores, s.core_area, L2_mm(cache_mb, s.l2_area_per_mb));
    area = s.stacked ? stack_area + area : area;
    // Not added when 0, so that a model without uncore area keeps every bit.
    return s.uncore_area != 0 ? area + s.uncore_area : area;
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

} // namespace

namespace search_detail {

ConfigurationFigures figures_of(const Selection &s, const SearchSpec &spec, int scale, int cache,
                                int cores, double &chip_power, PowerTerms *terms) {
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

} // namespace search_detail

double figure_of(const ConfigurationFigures &f, Limit limit) {
    return limit == Limit::Area        ? f.area
           : limit == Limit::Power     ? f.power
           : limit == Limit::Bandwidth ? f.bandwidth
                                       : f.bandwidth_tsv;
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
