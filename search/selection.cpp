#include "search/selection.h"

namespace search_detail {

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

OperatingPoint operating_point(const Selection &s, const SearchSpec &spec, int scale) {
    const double target = s.scale_steps[scale];
    const int fix_scale = spec.hold_scale ? 1 : 0;
    OperatingPoint op;
    op.vdd_ratio = MUX(fix_scale, s.voltage_step(target), spec.vdd_ratio);
    op.ok = guard_check(op.vdd_ratio, s.vdd_l2(), s.vth_l2());
    op.f_ratio = MUX(fix_scale, s.step_f_ratio(target, op.vdd_ratio), spec.f_ratio);
    return op;
}

Range range_of(bool held, int index, int count) {
    return held ? Range{index, index} : Range{0, count - 1};
}

Ranges ranges_of(const SearchSpec &spec) {
    return {range_of(spec.hold_scale, spec.scale, kScaleSteps),
            range_of(spec.hold_cache, spec.cache, kCacheSizes),
            range_of(spec.hold_cores, spec.cores, kCoreCounts)};
}

} // namespace search_detail

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
