#include "search/terms.h"

namespace search_detail {

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

namespace {

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

} // namespace

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

} // namespace search_detail
