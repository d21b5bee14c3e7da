#include "chips/evaluation.h"

#include <algorithm>
#include <cmath>

#include "model/scaling.h"
#include "model/speedup.h"
#include "study/choices.h"

namespace {

bool lop_cores(const OptionSet &o) {
    return o.transistor == 0;
}

// The cache technology is LOP with LOP and LOP/HP transistors.
bool lop_cache(const OptionSet &o) {
    return o.transistor == 0 || o.transistor == 1;
}

std::string range_error(const Model &m, const EvaluationRequest &r, int &scale_index) {
    const OptionSet &o = r.options;
    if (o.workload < 0 || size_t(o.workload) >= m.workloads.size() || o.memory < 0 ||
        o.memory > 1 || o.transistor < 0 || o.transistor > 2 || o.core_kind < 0 ||
        size_t(o.core_kind) >= m.core_kinds.size() || o.node < 0 ||
        size_t(o.node) >= m.nodes.size())
        return "options: an option is not one of the model's";
    if (!(std::isfinite(r.cores) && r.cores >= 1 && r.cores == std::floor(r.cores)))
        return "cores: " + shortest(r.cores) +
               " is out of range; accepted: a whole number, at least 1";
    if (!(std::isfinite(r.cache_mb) && r.cache_mb > 0))
        return "cache: " + shortest(r.cache_mb) +
               " MB is out of range; accepted: a size above 0 MB";
    scale_index = 0;
    if (r.scale) {
        const auto &steps = m.scale_steps;
        const auto at = std::find(steps.begin(), steps.end(), *r.scale);
        if (at == steps.end()) {
            std::string list;
            for (double step : steps)
                list += (list.empty() ? "" : ", ") + step_text(step);
            return "scale: " + shortest(*r.scale) + " is not a scale step; accepted: " + list;
        }
        scale_index = int(at - steps.begin());
    }
    if (r.vdd && !(std::isfinite(*r.vdd) && *r.vdd > 0))
        return "vdd: " + shortest(*r.vdd) + " V is out of range; accepted: a supply above 0 V";
    if (r.freq && !(std::isfinite(*r.freq) && *r.freq > 0))
        return "freq: " + shortest(*r.freq) +
               " GHz is out of range; accepted: a frequency above 0 GHz";
    return {};
}

void find_breaks(const Evaluation &e, bool stacked, bool out[4]) {
    const ConfigurationFigures &f = e.figures;
    if (!figures_finite(f)) {
        out[int(Limit::Area)] = out[int(Limit::Power)] = out[int(Limit::Bandwidth)] = true;
        out[int(Limit::Tsv)] = stacked;
        return;
    }
    out[int(Limit::Area)] = f.area > e.limits.area;
    out[int(Limit::Power)] = f.power > e.limits.power;
    out[int(Limit::Bandwidth)] = f.bandwidth > e.limits.bandwidth;
    out[int(Limit::Tsv)] = stacked && f.bandwidth_tsv > e.limits.tsv;
}

} // namespace

double nominal_supply(const Model &m, const OptionSet &o) {
    const TranTechRecord &n = m.nodes[size_t(o.node)].tech;
    return lop_cores(o) ? n.Vdd_LOP : n.Vdd_HP;
}

double fastest_clock(const Model &m, const OptionSet &o) {
    const TranTechRecord &n = m.nodes[size_t(o.node)].tech;
    return lop_cores(o) ? n.fmax_LOP : n.fmax_HP;
}

double clock_at_supply(const Model &m, const OptionSet &o, double vdd) {
    return fastest_clock(m, o) * supply_frequency_ratio(m, m.nodes[size_t(o.node)].tech,
                                                        o.transistor, vdd / nominal_supply(m, o));
}

double l2_latency_at(const Model &m, int node, bool lop, double cache_mb) {
    const NodeRecord &n = m.nodes[size_t(node)];
    const auto &row = lop ? n.l2_latency_LOP : n.l2_latency_HP;
    const auto &sizes = m.cache_sizes;
    if (cache_mb <= sizes.front())
        return row.front();
    if (cache_mb >= sizes.back())
        return row.back();
    const size_t above =
        size_t(std::lower_bound(sizes.begin(), sizes.end(), cache_mb) - sizes.begin());
    if (sizes[above] == cache_mb)
        return row[above];
    const size_t below = above - 1;
    const double t = (cache_mb - sizes[below]) / (sizes[above] - sizes[below]);
    return row[below] + t * (row[above] - row[below]);
}

Evaluation evaluate(const Model &model, const EvaluationRequest &r) {
    Evaluation e;
    e.request = r;
    e.error = range_error(model, r, e.scale_index);
    if (!e.error.empty())
        return e;
    const OptionSet &o = r.options;
    const NodeRecord &node = model.nodes[size_t(o.node)];
    const TranTechRecord &tech = node.tech;
    e.vdd_nominal = nominal_supply(model, o);
    e.freq_max = fastest_clock(model, o);
    const double step = model.scale_steps[size_t(e.scale_index)];

    // The configuration sits at the first core count and cache size of a private copy.
    Model scratch = model;
    NodeRecord &scratch_node = scratch.nodes[size_t(o.node)];
    e.l2_latency_ns = l2_latency_at(model, o.node, lop_cache(o), r.cache_mb);
    scratch.core_counts[0] = r.cores;
    scratch.cache_sizes[0] = r.cache_mb;
    (lop_cache(o) ? scratch_node.l2_latency_LOP : scratch_node.l2_latency_HP)[0] = e.l2_latency_ns;

    SearchSpec spec;
    spec.model = &scratch;
    spec.workload = o.workload;
    spec.memory = o.memory;
    spec.transistor = o.transistor;
    spec.core_kind = o.core_kind;
    spec.node = o.node;
    spec.hold_cores = spec.hold_cache = true;
    spec.scale = e.scale_index;
    const bool held = r.vdd.has_value() || r.freq.has_value();
    const double step_ratio = voltage_step(tech, o.transistor, step);
    if (held) {
        // As a held scale step runs in the searches: the operating point over the ceilings.
        spec.hold_scale = true;
        e.vdd = r.vdd ? *r.vdd : e.vdd_nominal * step_ratio;
        e.freq = r.freq  ? *r.freq
                 : r.vdd ? clock_at_supply(model, o, *r.vdd)
                         : e.freq_max * step_frequency_ratio(model, tech, o.transistor, step);
        spec.vdd_ratio = e.vdd / e.vdd_nominal;
        spec.f_ratio = e.freq / e.freq_max;
    } else {
        e.vdd = e.vdd_nominal * step_ratio;
        e.freq = e.freq_max * step_frequency_ratio(model, tech, o.transistor, step);
    }
    e.figures = evaluate_design_point(spec, e.scale_index, 0, 0);
    e.power = power_breakdown(spec, e.scale_index, 0, 0);
    e.energy = energy_of(e.figures);
    e.miss_rate = L2_model_missRate(model.workloads[size_t(o.workload)].miss_alpha, r.cache_mb,
                                    model.working_set_growth, tech.year, model.base_year,
                                    model.workloads[size_t(o.workload)].miss_beta,
                                    model.workloads[size_t(o.workload)].miss_gamma);
    e.limits = LimitValues{
        r.limits.area.value_or(tech.area_budget),
        r.limits.power.value_or(tech.power_budget),
        r.limits.bandwidth.value_or(tech.bw_offchip),
        r.limits.tsv.value_or(o.memory != 0 ? tech.bw_tsv : 0.0),
    };
    find_breaks(e, o.memory != 0, e.breaks);

    const std::string cores_name =
        model.transistor_kinds[size_t(o.transistor)].name + " cores at " + node.name;
    const auto &sizes = model.cache_sizes;
    if (std::find(sizes.begin(), sizes.end(), r.cache_mb) == sizes.end()) {
        if (r.cache_mb < sizes.front() || r.cache_mb > sizes.back())
            e.notes.push_back("the L2 latency of " + shortest(r.cache_mb) + " MB is that of " +
                              shortest(r.cache_mb < sizes.front() ? sizes.front() : sizes.back()) +
                              " MB, the nearest size the model gives one for");
        else
            e.notes.push_back("the L2 latency of " + shortest(r.cache_mb) +
                              " MB is interpolated between the neighbouring cache sizes' rows");
    }
    if (e.vdd > e.vdd_nominal)
        e.notes.push_back("the supply " + shortest(e.vdd) + " V is above the nominal " +
                          shortest(e.vdd_nominal) + " V of " + cores_name +
                          ": the model's figures there are extrapolated");
    const double allowed = clock_at_supply(model, o, e.vdd);
    if (held && e.freq > allowed * (1 + 1e-9))
        e.notes.push_back("the clock " + shortest(e.freq) + " GHz is above the " +
                          shortest(allowed) + " GHz the model allows " + cores_name + " at " +
                          shortest(e.vdd) + " V");
    const double vdd_l2 = lop_cache(o) ? tech.Vdd_LOP : tech.Vdd_HP;
    const double vth_l2 = lop_cache(o) ? tech.Vth_LOP : tech.Vth_HP;
    if (guard_check(held ? spec.vdd_ratio : step_ratio, vdd_l2, vth_l2) == 0)
        e.notes.push_back("the supply is below the voltage floor of the L2 cache's transistors "
                          "(2.3 times their threshold): the speedup is 0");
    return e;
}
