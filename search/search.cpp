#include "search/search.h"

#include <cmath>

#include "model/area.h"
#include "model/power.h"
#include "model/scaling.h"
#include "model/speedup.h"
#include "model/state.h"
#include "model/tables.h"
#include "search/trace.h"

namespace {

// Everything the model needs that depends only on the option selections.
struct Selection {
    const TranTechRecord &node;
    const AppTechRecord &workload;
    const AppTechRecord &kind;
    const AppTechRecord &ref; // the reference chip, App_Tech[0]
    bool stacked;             // 3D memory
    int transistor;           // 0 LOP, 1 LOP/HP, anything else HP
    bool core_lop, cache_lop; // which flavour feeds the cores and the L2 cache
    double core_area, l2_area_per_mb;
    const double *l2_latency; // the node's row of the cache technology's latency table
    double base_year;
    double stack_miss_rate; // share of the L2 misses that miss in the memory stack too

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
        return stacked ? stack_interface_area(node.node_nm, Mem_3D_Tech[0], Mem_3D_Tech[8]) : 0.0;
    }

    double miss_rate(double cache_mb) const {
        return L2_model_missRate(workload.miss_alpha, cache_mb, Workload_Factor, node.year,
                                 base_year, workload.miss_beta, workload.miss_gamma);
    }

    // Voltage ratio of a scale step under the transistor kind's rule.
    double voltage_step(double target) const {
        if (transistor == 0)
            return Vdd_scale(node.Vdd_LOP, target, node.Vth_LOP);
        if (transistor == 1)
            return Vdd_scale_HP_LOP(node.Vdd_HP, target, node.Vdd_min_HP, node.Vdd_LOP,
                                    node.Vth_LOP);
        return Vdd_scale_HP_LOP(node.Vdd_HP, target, node.Vdd_min_HP, node.Vdd_HP, node.Vth_HP);
    }
};

Selection current_selection() {
    int core_kind = User_Option[3];
    int node = User_Option[4];
    int transistor = User_Option[2];
    bool core_lop = transistor == 0;
    bool cache_lop = transistor == 0 || transistor == 1;
    const TranTechRecord &record = Tran_Tech[node];
    const AppTechRecord &workload = App_Tech[User_Option[0]];
    const double *core_areas = core_lop ? Core_Area_LOP_data : Core_Area_data;
    const double *latencies = cache_lop ? Cache_Latency_LOP : Cache_Latency;
    return Selection{
        record,
        workload,
        App_Tech[core_kind],
        App_Tech[0],
        User_Option[1] != 0,
        transistor,
        core_lop,
        cache_lop,
        core_areas[core_kind * kNodes + node],
        cache_lop ? record.L2_area_LOP : record.L2_area_HP,
        latencies + node * kCacheSizes,
        Tran_Tech[1].year,
        // The same for every configuration: worked out once, not in each model function.
        stack_miss_rate(workload.miss_alpha, Mem_3D_Tech[4], Mem_3D_Tech[5], Workload_Factor,
                        record.year, Tran_Tech[1].year, workload.miss_beta, workload.miss_gamma),
    };
}

// Power of the memory stack's own layers: layers x layer_power.
const double kStackPower = Mem_3D_Tech[5] * Mem_3D_Tech[3];

// Ratios of a scale step, or of the current operating point when the scale is held.
struct OperatingPoint {
    double vdd_ratio, f_ratio;
    int ok; // the supply respects the floor of the cache technology
};

OperatingPoint operating_point(const Selection &s, int scale, int fix_scale) {
    const double target = Target_Array[scale];
    OperatingPoint op;
    op.vdd_ratio = MUX(fix_scale, s.voltage_step(target), VDD_G / VDD_MAX);
    op.ok = guard_check(op.vdd_ratio, s.vdd_l2(), s.vth_l2());
    op.f_ratio = MUX(fix_scale, f_scal(target), FRE / FRE_MAX);
    return op;
}

double area_of(const Selection &s, double n_cores, double cache_mb, double stack_area) {
    double area = area_cores_L2(n_cores, s.core_area, L2_mm(cache_mb, s.l2_area_per_mb));
    return s.stacked ? stack_area + area : area;
}

struct Range {
    int first, last;
};

Range range_of(int fix, int held, int count) {
    return fix != 0 ? Range{held, held} : Range{0, count - 1};
}

double power_of(const Selection &s, double n_cores, double cache_mb, double vdd_ratio,
                double f_ratio, double miss_rate, double miss_rate_ref) {
    const TranTechRecord &n = s.node;
    const AppTechRecord &w = s.workload, &k = s.kind, &r = s.ref;
    double uncore_other = User_Option[3] != 0 ? r.uncore_power : 0.0;
    if (!s.stacked)
        return power_W(n_cores, k.core_power, s.cgate_core(), Tran_Tech[0].Cgate_HP, s.vdd_core(),
                       vdd_ratio, k.ref_Vdd, f_ratio, s.fmax_core(), k.ref_freq, uncore_other,
                       r.ref_Vdd, r.ref_freq, r.l2_dyn_power, r.ref_cores, r.icn_power_a,
                       r.icn_power_b, k.core_perf, w.cpi, w.l2_access_rate, w.latency_hidden,
                       r.core_perf, App_Tech[2].cpi, App_Tech[2].latency_hidden, cache_mb,
                       r.ref_l2_mb, r.l2_leak_power, s.ileak_core(), Tran_Tech[0].Ileak_HP,
                       s.lgate_l2(), Tran_Tech[0].Lgate_HP, miss_rate, miss_rate_ref,
                       r.mem_if_power, n.mem_data_rate, r.ref_mem_rate, n.bw_offchip,
                       Tran_Tech[0].bw_offchip, s.core_area, s.density_core(), s.wgate_core(),
                       s.cgate_l2(), s.fmax_l2(), s.ileak_l2(), s.vdd_l2(), k.uncore_power);
    return power_W_stacked(
        n_cores, k.core_power, s.cgate_core(), Tran_Tech[0].Cgate_HP, s.vdd_core(), vdd_ratio,
        k.ref_Vdd, f_ratio, s.fmax_core(), k.ref_freq, uncore_other, r.ref_Vdd, r.ref_freq,
        r.l2_dyn_power, r.ref_cores, r.icn_power_a, r.icn_power_b, k.core_perf, w.cpi,
        w.l2_access_rate, w.latency_hidden, r.core_perf, App_Tech[2].cpi,
        App_Tech[2].latency_hidden, cache_mb, r.ref_l2_mb, r.l2_leak_power, s.ileak_core(),
        Tran_Tech[0].Ileak_HP, s.lgate_l2(), Tran_Tech[0].Lgate_HP, miss_rate, s.stack_miss_rate,
        miss_rate_ref, r.mem_if_power, n.mem_data_rate, r.ref_mem_rate, n.bw_offchip,
        Tran_Tech[0].bw_offchip, s.core_area, s.density_core(), s.wgate_core(), s.cgate_l2(),
        s.fmax_l2(), s.ileak_l2(), s.vdd_l2(), k.uncore_power);
}

// Off-chip demand: with the memory stack, only what the stack does not serve.
double offchip_bandwidth_of(const Selection &s, double n_cores, double f_ratio, double miss_rate) {
    const AppTechRecord &w = s.workload;
    if (!s.stacked)
        return bandwidth(w.bw_rate, f_ratio, s.fmax_core(), w.bw_cpi, n_cores, s.kind.core_perf,
                         w.bw_width, miss_rate, w.bw_norm);
    return bandwidth_stacked(w.bw_rate, f_ratio, s.fmax_core(), w.bw_cpi, n_cores, s.kind.core_perf,
                             w.bw_width, miss_rate, s.stack_miss_rate, w.bw_norm);
}

// With the memory stack, the whole L2 miss traffic crosses the through-silicon vias.
double tsv_bandwidth_of(const Selection &s, double n_cores, double f_ratio, double miss_rate) {
    const AppTechRecord &w = s.workload;
    return bandwidth(w.bw_rate, f_ratio, s.fmax_core(), w.bw_cpi, n_cores, s.kind.core_perf,
                     w.bw_width, miss_rate, w.bw_norm);
}

double speedup_of(const Selection &s, int ok, double n_cores, double f_ratio, double miss_rate,
                  double l2_latency) {
    const TranTechRecord &n = s.node;
    const AppTechRecord &w = s.workload;
    if (!s.stacked)
        return speedup_cores(ok, s.kind.core_perf, s.fmax_core(), f_ratio, Parallel_Fraction,
                             n_cores, w.cpi, w.l2_access_rate, w.latency_hidden, miss_rate,
                             l2_latency, n.mem_latency, n.wire_delay, n.wire_length,
                             n.miss_overhead, 1.0);
    return speedup_cores_stacked(ok, s.kind.core_perf, s.fmax_core(), f_ratio, Parallel_Fraction,
                                 n_cores, w.cpi, w.l2_access_rate, w.latency_hidden, miss_rate,
                                 l2_latency, s.stack_miss_rate, n.mem_latency, Mem_3D_Tech[2],
                                 n.wire_delay, 0.0, n.miss_overhead, 1.0);
}

// Enumerates the configurations in range, scale outermost and cores innermost, and returns
// the best one accepted. Ties go to the later configuration; NaN is never accepted.
//
// Flattened: every model function is inlined into the loops whatever its size, so that no
// configuration pays for a call with a long argument list (the power model takes 47).
[[gnu::flatten]] SearchOutcome find_best(int fix_cores, int fix_cache, int fix_scale) {
    const Selection s = current_selection();
    const bool evaluation = fix_cores != 0 && fix_cache != 0 && fix_scale != 0;
    const Range scales = range_of(fix_scale, User_Option[10], kScaleSteps);
    const Range caches = range_of(fix_cache, User_Option[9], kCacheSizes);
    const Range cores = range_of(fix_cores, User_Option[8], kCoreCounts);

    SearchOutcome best;
    best.scale = fix_scale != 0 ? User_Option[10] : 7;
    best.cache = fix_cache != 0 ? User_Option[9] : 0;
    best.cores = fix_cores != 0 ? User_Option[8] : 0;

    const double miss_rate_ref = s.miss_rate(4.0);
    const double stack_area = s.stack_area();
    // The miss rate depends on the cache size alone: once per size, not once per scale step.
    double miss_rates[kCacheSizes];
    for (int j = caches.first; j <= caches.last; j++)
        miss_rates[j] = s.miss_rate(Cache_Size[j]);
    // A configuration whose speedup is below the best so far cannot be accepted, whatever its
    // power and bandwidth. Unless its power line is due (3D memory with HP cores), the search
    // drops it before working those out: the same figures, the same outcome, less work.
    const bool prints_power = s.stacked && s.transistor != 0 && User_Option[6] != 0;
    const bool drop_slower = !evaluation && !prints_power;

    for (int i = scales.first; i <= scales.last; i++) {
        const OperatingPoint op = operating_point(s, i, fix_scale);
        const double vdd_ratio = op.vdd_ratio, f_ratio = op.f_ratio;
        const int ok = op.ok;
        for (int j = caches.first; j <= caches.last; j++) {
            const double cache_mb = Cache_Size[j];
            const double miss_rate = miss_rates[j];
            for (int k = cores.first; k <= cores.last; k++) {
                const double n_cores = Cores_Num[k];
                ConfigurationFigures f;
                bool broken = false;
                if (User_Option[5] != 0) {
                    f.area = area_of(s, n_cores, cache_mb, stack_area);
                    if (f.area > AREA_CONSTRT) {
                        if (!evaluation)
                            continue;
                        broken = true;
                    }
                }
                const double speedup =
                    speedup_of(s, ok, n_cores, f_ratio, miss_rate, s.l2_latency[j]);
                if (drop_slower && (speedup < best.speedup || std::isnan(speedup)))
                    continue;
                if (User_Option[6] != 0) {
                    f.power = power_of(s, n_cores, cache_mb, vdd_ratio, f_ratio, miss_rate,
                                       miss_rate_ref);
                    if (s.stacked) {
                        if (s.transistor != 0)
                            trace_power(f.power);
                        f.power = f.power + kStackPower;
                    }
                    if (f.power > POWER_CONSTRT) {
                        if (!evaluation)
                            continue;
                        broken = true;
                    }
                }
                if (User_Option[7] != 0) {
                    f.bandwidth = offchip_bandwidth_of(s, n_cores, f_ratio, miss_rate);
                    bool over = f.bandwidth > BW_CONSTRT;
                    if (s.stacked) {
                        f.bandwidth_tsv = tsv_bandwidth_of(s, n_cores, f_ratio, miss_rate);
                        over = over || f.bandwidth_tsv > BW_CONSTRT_TSV;
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
    trace_search_end();
    return best;
}

} // namespace

double speedup_max(int fix_cores, int fix_cache, int fix_scale) {
    const SearchOutcome best = find_best(fix_cores, fix_cache, fix_scale);
    if (best.found) {
        AREA_RESULT = best.figures.area;
        POWER_RESULT = best.figures.power;
        BW_RESULT = best.figures.bandwidth;
        BW_RESULT_TSV = best.figures.bandwidth_tsv;
    }
    trace_summary(best.speedup, Target_Array[best.scale], Cache_Size[best.cache],
                  Cores_Num[best.cores]);
    User_Option[8] = best.cores;
    User_Option[9] = best.cache;
    User_Option[10] = best.scale;
    if (fix_scale == 0) {
        const double target = Target_Array[best.scale];
        VDD_G = VDD_MAX * current_selection().voltage_step(target);
        FRE = FRE_MAX * f_scal(target);
    }
    return best.speedup;
}

double speedup_max_1(int fix_cores, int fix_cache, int fix_scale) {
    return find_best(fix_cores, fix_cache, fix_scale).speedup;
}

SearchOutcome find_best_configuration(int fix_cores, int fix_cache, int fix_scale) {
    return find_best(fix_cores, fix_cache, fix_scale);
}

ConfigurationFigures evaluate_configuration(int scale, int cache, int cores, int fix_scale) {
    const Selection s = current_selection();
    const OperatingPoint op = operating_point(s, scale, fix_scale);
    const double n_cores = Cores_Num[cores], cache_mb = Cache_Size[cache];
    const double miss_rate = s.miss_rate(cache_mb);
    ConfigurationFigures f;
    f.area = area_of(s, n_cores, cache_mb, s.stack_area());
    f.power = power_of(s, n_cores, cache_mb, op.vdd_ratio, op.f_ratio, miss_rate, s.miss_rate(4.0));
    if (s.stacked)
        f.power = f.power + kStackPower;
    f.bandwidth = offchip_bandwidth_of(s, n_cores, op.f_ratio, miss_rate);
    if (s.stacked)
        f.bandwidth_tsv = tsv_bandwidth_of(s, n_cores, op.f_ratio, miss_rate);
    f.speedup = speedup_of(s, op.ok, n_cores, op.f_ratio, miss_rate, s.l2_latency[cache]);
    return f;
}
