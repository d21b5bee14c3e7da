#include "study/design.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <tuple>

#include "model/model.h"
#include "model/scaling.h"
#include "model/state.h"
#include "model/tables.h"
#include "study/choices.h"
#include "study/parallel.h"

namespace {

constexpr double kUnlimited = std::numeric_limits<double>::infinity();

// A frequency typed from a printed figure may differ from the computed ceiling in its last
// digits; this much above the ceiling still counts as the ceiling.
constexpr double kCeilingSlack = 1e-9;

// A computed figure as a person would type it back (within the ceiling's slack).
std::string rounded(double value) {
    char text[32];
    snprintf(text, sizeof text, "%.10g", value);
    return text;
}

const char *core_technology(const OptionSet &o) {
    return o.transistor == 0 ? "LOP" : "HP";
}

// The limits a configuration's figures break, with the search's own strict comparisons; one
// with a figure that is not finite breaks every limit, as the search never selects it.
void find_breaks(const ConfigurationFigures &f, const LimitValues &l, bool stacked, bool out[4]) {
    if (!figures_finite(f)) {
        out[int(Limit::Area)] = out[int(Limit::Power)] = out[int(Limit::Bandwidth)] = true;
        out[int(Limit::Tsv)] = stacked;
        return;
    }
    out[int(Limit::Area)] = f.area > l.area;
    out[int(Limit::Power)] = f.power > l.power;
    out[int(Limit::Bandwidth)] = f.bandwidth > l.bandwidth;
    out[int(Limit::Tsv)] = stacked && f.bandwidth_tsv > l.tsv;
}

std::vector<Limit> limits_of(const OptionSet &o) {
    if (o.memory != 0)
        return {Limit::Area, Limit::Power, Limit::Bandwidth, Limit::Tsv};
    return {Limit::Area, Limit::Power, Limit::Bandwidth};
}

struct Range {
    int first, last;
};

Range range_of(const std::optional<int> &held, int count) {
    return held ? Range{*held, *held} : Range{0, count - 1};
}

// The limits that no configuration in range meets on its own. The fewest cores with the
// smallest cache, at each scale step, meet nearly every limit that anything meets, so they are
// tried first; a limit they all break is settled by searching with only that limit checked
// (the two bandwidth limits share one check, so the other one is lifted).
std::vector<Limit> unmeetable_alone(const Request &r, const SearchSpec &spec) {
    const OptionSet &o = r.options;
    bool met[4] = {};
    const Range scales = range_of(r.holds.scale, kScaleSteps);
    for (int i = scales.first; i <= scales.last; i++) {
        bool breaks[4];
        find_breaks(
            evaluate_design_point(spec, i, r.holds.cache.value_or(0), r.holds.cores.value_or(0)),
            limits_in_force(o, r.limits), o.memory != 0, breaks);
        for (int l = 0; l < 4; l++)
            met[l] = met[l] || !breaks[l];
    }

    std::vector<Limit> unmeetable;
    for (Limit limit : limits_of(o)) {
        if (met[int(limit)])
            continue;
        SearchSpec alone = spec;
        LimitChecks &l = alone.limits;
        l.area = limit == Limit::Area;
        l.power = limit == Limit::Power;
        l.bandwidth = limit == Limit::Bandwidth || limit == Limit::Tsv;
        if (limit == Limit::Tsv)
            l.bandwidth_limit = kUnlimited;
        if (limit == Limit::Bandwidth)
            l.tsv_limit = kUnlimited;
        if (!search_design_space(alone).found)
            unmeetable.push_back(limit);
    }
    return unmeetable;
}

// The supply passes the guard of the cache technology (2.3 x its threshold voltage).
bool meets_voltage_floor(const OptionSet &o, double vdd_ratio) {
    const TranTechRecord &n = active_model().nodes[o.node].tech;
    const bool cache_lop = o.transistor == 0 || o.transistor == 1;
    return guard_check(vdd_ratio, cache_lop ? n.Vdd_LOP : n.Vdd_HP,
                       cache_lop ? n.Vth_LOP : n.Vth_HP) != 0;
}

} // namespace

const char *limit_name(Limit limit) {
    switch (limit) {
    case Limit::Area:
        return "area";
    case Limit::Power:
        return "power";
    case Limit::Bandwidth:
        return "bandwidth";
    case Limit::Tsv:
        break;
    }
    return "tsv";
}

LimitValues limits_in_force(const OptionSet &o, const Limits &l) {
    const TranTechRecord &n = active_model().nodes[o.node].tech;
    // The window loads the TSV default only with 3D memory and 0 otherwise.
    return LimitValues{
        l.area.value_or(n.area_budget),
        l.power.value_or(n.power_budget),
        l.bandwidth.value_or(n.bw_offchip),
        l.tsv.value_or(o.memory != 0 ? n.bw_tsv : 0.0),
    };
}

Ceilings ceilings_of(const OptionSet &o) {
    const TranTechRecord &n = active_model().nodes[o.node].tech;
    return o.transistor > 0 ? Ceilings{n.fmax_HP, n.Vdd_HP} : Ceilings{n.fmax_LOP, n.Vdd_LOP};
}

double step_voltage_ratio(const OptionSet &o, int scale) {
    const TranTechRecord &n = active_model().nodes[o.node].tech;
    const double target = active_model().scale_steps[scale];
    if (o.transistor == 0)
        return Vdd_scale(n.Vdd_LOP, target, n.Vth_LOP);
    if (o.transistor == 1)
        return Vdd_scale_HP_LOP(n.Vdd_HP, target, n.Vdd_min_HP, n.Vdd_LOP, n.Vth_LOP);
    return Vdd_scale_HP_LOP(n.Vdd_HP, target, n.Vdd_min_HP, n.Vdd_HP, n.Vth_HP);
}

double step_frequency_ratio(const OptionSet &o, int scale) {
    const Model &m = active_model();
    return ::step_frequency_ratio(m, m.nodes[o.node].tech, o.transistor, m.scale_steps[scale]);
}

double held_frequency_ratio(const OptionSet &o, double vdd_ratio) {
    const Model &m = active_model();
    return supply_frequency_ratio(m, m.nodes[o.node].tech, o.transistor, vdd_ratio);
}

OperatingPoint held_operating_point(const OptionSet &o, const Holds &h) {
    const Ceilings c = ceilings_of(o);
    const int scale = h.scale.value_or(0);
    // As the window's sliders do: a supply brings the frequency it allows, a frequency alone
    // leaves the step's supply.
    const double vdd = h.vdd ? *h.vdd : c.vdd * step_voltage_ratio(o, scale);
    double freq;
    if (h.freq)
        freq = *h.freq;
    else if (h.vdd)
        freq = c.freq * held_frequency_ratio(o, *h.vdd / c.vdd);
    else
        freq = c.freq * step_frequency_ratio(o, scale);
    return OperatingPoint{vdd, freq};
}

std::string operating_point_error(const OptionSet &o, const Holds &h) {
    const Ceilings c = ceilings_of(o);
    const std::string node = choice_names(Choice::Node)[o.node];
    if (h.vdd && !(*h.vdd > 0 && *h.vdd <= c.vdd))
        return "--vdd: " + shortest(*h.vdd) + " V is out of range; accepted: above 0 and at most " +
               shortest(c.vdd) + " V (the nominal " + core_technology(o) + " supply at " + node +
               ")";
    if (h.freq) {
        double top = h.vdd ? c.freq * held_frequency_ratio(o, *h.vdd / c.vdd)
                           : c.freq * step_frequency_ratio(o, h.scale.value_or(0));
        // A supply that is a scale step's own, as a search reports it, allows that step's
        // frequency: read back through the table of supply ratios, its ratio may round to just
        // below the step's and fall to the row beneath (0.56 V at 32 nm LOP: 0.7999999999999998).
        if (h.vdd)
            for (int s = 0; s < int(active_model().scale_steps.size()); ++s)
                if (*h.vdd == c.vdd * step_voltage_ratio(o, s))
                    top = std::max(top, c.freq * step_frequency_ratio(o, s));
        if (!(*h.freq > 0 && *h.freq <= top * (1 + kCeilingSlack)))
            return "--freq: " + shortest(*h.freq) +
                   " GHz is out of range; accepted: above 0 and at most " + rounded(top) +
                   " GHz (the frequency the " + (h.vdd ? "given supply" : "scale step's supply") +
                   " allows for " + core_technology(o) + " cores at " + node + ")";
    }
    return {};
}

void apply_request(const Request &r) {
    reset_design_state();
    const OptionSet &o = r.options;
    User_Option[0] = o.workload;
    User_Option[1] = o.memory;
    User_Option[2] = o.transistor;
    User_Option[3] = o.core_kind;
    User_Option[4] = o.node;
    const LimitValues l = limits_in_force(o, r.limits);
    AREA_CONSTRT = l.area;
    POWER_CONSTRT = l.power;
    BW_CONSTRT = l.bandwidth;
    BW_CONSTRT_TSV = l.tsv;
    const Ceilings c = ceilings_of(o);
    FRE_MAX = c.freq;
    VDD_MAX = c.vdd;
    if (r.holds.cores)
        User_Option[8] = *r.holds.cores;
    if (r.holds.cache)
        User_Option[9] = *r.holds.cache;
    if (r.holds.scale) {
        User_Option[10] = *r.holds.scale;
        const OperatingPoint op = held_operating_point(o, r.holds);
        VDD_G = op.vdd;
        FRE = op.freq;
    }
}

SearchSpec spec_of(const Request &r) {
    const OptionSet &o = r.options;
    SearchSpec spec;
    spec.model = &active_model();
    spec.workload = o.workload;
    spec.memory = o.memory;
    spec.transistor = o.transistor;
    spec.core_kind = o.core_kind;
    spec.node = o.node;
    const LimitValues l = limits_in_force(o, r.limits);
    spec.limits = LimitChecks{true, true, true, l.area, l.power, l.bandwidth, l.tsv};
    spec.hold_cores = r.holds.cores.has_value();
    spec.hold_cache = r.holds.cache.has_value();
    spec.hold_scale = r.holds.scale.has_value();
    spec.cores = r.holds.cores.value_or(0);
    spec.cache = r.holds.cache.value_or(0);
    spec.scale = r.holds.scale.value_or(0);
    if (spec.hold_scale) {
        // As the window holds it: the operating point over the ceilings.
        const OperatingPoint op = held_operating_point(o, r.holds);
        const Ceilings c = ceilings_of(o);
        spec.vdd_ratio = op.vdd / c.vdd;
        spec.f_ratio = op.freq / c.freq;
    }
    return spec;
}

namespace {

// A request's best configuration from what the engine found for it.
BestConfiguration best_of(const Request &r, const SearchSpec &spec, const SearchOutcome &outcome) {
    const OptionSet &o = r.options;
    BestConfiguration best;
    best.options = o;
    best.limits = limits_in_force(o, r.limits);
    if (spec.evaluation()) {
        // Evaluating one configuration, the search scores a broken one 0 and still "finds" it:
        // whether it meets the limits is read from its figures.
        bool breaks[4];
        find_breaks(evaluate_design_point(spec, outcome.scale, outcome.cache, outcome.cores),
                    best.limits, o.memory != 0, breaks);
        for (Limit limit : limits_of(o))
            if (breaks[int(limit)])
                best.unmeetable.push_back(limit);
        best.feasible = outcome.found && best.unmeetable.empty();
    } else {
        best.feasible = outcome.found;
        if (!best.feasible)
            best.unmeetable = unmeetable_alone(r, spec);
    }
    if (!best.feasible)
        return best;

    best.speedup = outcome.speedup;
    best.scale = outcome.scale;
    best.cache = outcome.cache;
    best.cores = outcome.cores;
    best.edges = edges_of(outcome.cores, outcome.cache, outcome.scale, r.holds);
    best.figures = outcome.figures;
    const Ceilings c = ceilings_of(o);
    if (spec.hold_scale) {
        const OperatingPoint op = held_operating_point(o, r.holds);
        best.vdd = op.vdd;
        best.freq = op.freq;
        best.below_voltage_floor = !meets_voltage_floor(o, op.vdd / c.vdd);
    } else {
        // The operating point the library's speedup_max records for the step it chose.
        best.vdd = c.vdd * step_voltage_ratio(o, outcome.scale);
        best.freq = c.freq * step_frequency_ratio(o, outcome.scale);
    }
    return best;
}

// Whether two searches differ in their limits at most.
bool same_but_limits(const SearchSpec &a, const SearchSpec &b) {
    return a.model == b.model && a.workload == b.workload && a.memory == b.memory &&
           a.transistor == b.transistor && a.core_kind == b.core_kind && a.node == b.node &&
           a.hold_cores == b.hold_cores && a.hold_cache == b.hold_cache &&
           a.hold_scale == b.hold_scale && a.cores == b.cores && a.cache == b.cache &&
           a.scale == b.scale && a.vdd_ratio == b.vdd_ratio && a.f_ratio == b.f_ratio;
}

// An order of searches in which those that differ in their limits at most are neighbours (the
// operating point compared by its bits, so that a NaN sorts too).
uint64_t bits_of(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

auto as_key(const SearchSpec &s) {
    return std::make_tuple(s.workload, s.memory, s.transistor, s.core_kind, s.node, s.hold_cores,
                           s.hold_cache, s.hold_scale, s.cores, s.cache, s.scale,
                           bits_of(s.vdd_ratio), bits_of(s.f_ratio));
}

} // namespace

BestConfiguration search_best(const Request &r) {
    const SearchSpec spec = spec_of(r);
    return best_of(r, spec, search_design_space(spec));
}

std::vector<BestConfiguration> search_best_many(const std::vector<Request> &requests, int jobs) {
    // The requests that differ in their limits at most go to the engine together, in batches of
    // at most kBatch so that the threads share the work however it is grouped.
    constexpr size_t kBatch = 64;
    std::vector<SearchSpec> specs(requests.size());
    std::vector<size_t> order(requests.size());
    for (size_t i = 0; i < requests.size(); i++)
        specs[i] = spec_of(requests[i]), order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return as_key(specs[a]) < as_key(specs[b]); });
    struct Batch {
        size_t first, count; // into order
    };
    std::vector<Batch> batches;
    for (size_t i = 0; i < order.size(); i++) {
        if (batches.empty() || batches.back().count == kBatch ||
            !same_but_limits(specs[order[i]], specs[order[batches.back().first]]))
            batches.push_back({i, 0});
        batches.back().count++;
    }
    std::vector<BestConfiguration> found(requests.size());
    run_in_parallel(batches.size(), jobs, [&](size_t b) {
        const Batch &batch = batches[b];
        std::vector<LimitChecks> limits(batch.count);
        for (size_t i = 0; i < batch.count; i++)
            limits[i] = specs[order[batch.first + i]].limits;
        const SearchSpec &spec = specs[order[batch.first]];
        const std::vector<SearchOutcome> outcomes = search_design_space_many(spec, limits);
        for (size_t i = 0; i < batch.count; i++) {
            const size_t task = order[batch.first + i];
            found[task] = best_of(requests[task], specs[task], outcomes[i]);
        }
    });
    return found;
}

namespace {

// How many values an option of a filter takes, and its i-th.
size_t values_of(const std::vector<int> &given, size_t all) {
    return given.empty() ? all : given.size();
}
int value_at(const std::vector<int> &given, size_t i) {
    return given.empty() ? int(i) : given[i];
}

} // namespace

size_t option_set_count(const OptionFilter &f) {
    const Model &m = active_model();
    return values_of(f.workloads, m.workloads.size()) * values_of(f.memories, 2) *
           values_of(f.transistors, 3) * values_of(f.core_kinds, m.core_kinds.size()) *
           values_of(f.nodes, m.nodes.size());
}

OptionSet option_set_at(size_t i, const OptionFilter &f) {
    const Model &m = active_model();
    const size_t nodes = values_of(f.nodes, m.nodes.size()),
                 kinds = values_of(f.core_kinds, m.core_kinds.size()),
                 transistors = values_of(f.transistors, 3), memories = values_of(f.memories, 2);
    OptionSet o;
    o.node = value_at(f.nodes, i % nodes);
    i /= nodes;
    o.core_kind = value_at(f.core_kinds, i % kinds);
    i /= kinds;
    o.transistor = value_at(f.transistors, i % transistors);
    i /= transistors;
    o.memory = value_at(f.memories, i % memories);
    o.workload = value_at(f.workloads, i / memories);
    return o;
}

std::vector<OptionSet> every_option_set() {
    std::vector<OptionSet> sets(option_set_count());
    for (size_t i = 0; i < sets.size(); i++)
        sets[i] = option_set_at(i);
    return sets;
}

bool sweep_in_batches(const Limits &limits, const Holds &holds, int jobs,
                      const std::function<bool(const std::vector<BestConfiguration> &)> &take,
                      const OptionFilter &filter) {
    const size_t count = option_set_count(filter);
    // Enough option sets per batch to keep every thread busy, few enough to keep memory small.
    const size_t batch = size_t(std::max(jobs, 1)) * 64;
    std::vector<BestConfiguration> rows;
    for (size_t first = 0; first < count; first += batch) {
        rows.assign(std::min(batch, count - first), BestConfiguration{});
        run_in_parallel(rows.size(), jobs, [&](size_t i) {
            rows[i] = search_best(Request{option_set_at(first + i, filter), limits, holds});
        });
        if (!take(rows))
            return false;
    }
    return true;
}

std::vector<BestConfiguration> sweep(const Limits &limits, const Holds &holds, int jobs) {
    std::vector<BestConfiguration> all;
    sweep_in_batches(limits, holds, jobs, [&](const std::vector<BestConfiguration> &rows) {
        all.insert(all.end(), rows.begin(), rows.end());
        return true;
    });
    return all;
}

std::vector<SpaceRow> space(const Request &r) {
    const SearchSpec spec = spec_of(r);
    const OptionSet &o = r.options;
    const LimitValues limits = limits_in_force(o, r.limits);
    const Ceilings c = ceilings_of(o);
    const OperatingPoint held = held_operating_point(o, r.holds);

    // The operating point of each scale step, worked out once per step.
    double step_vdd[kScaleSteps], step_freq[kScaleSteps];
    for (int i = 0; i < kScaleSteps; i++) {
        step_vdd[i] = spec.hold_scale ? held.vdd : c.vdd * step_voltage_ratio(o, i);
        step_freq[i] = spec.hold_scale ? held.freq : c.freq * step_frequency_ratio(o, i);
    }
    const std::vector<EvaluatedConfiguration> all = evaluate_design_space(spec);
    std::vector<SpaceRow> rows;
    rows.reserve(all.size());
    for (const EvaluatedConfiguration &e : all) {
        SpaceRow row{e.scale,   e.cache, e.cores, step_vdd[e.scale], step_freq[e.scale],
                     e.figures, {}};
        find_breaks(row.figures, limits, o.memory != 0, row.breaks);
        rows.push_back(row);
    }
    return rows;
}

double least_figure(const Request &r, Limit limit) {
    double least = kUnlimited;
    for (const SpaceRow &row : space(r)) {
        const ConfigurationFigures &f = row.figures;
        if (!figures_finite(f)) // breaks every limit whatever its figures
            continue;
        const double figure = limit == Limit::Area        ? f.area
                              : limit == Limit::Power     ? f.power
                              : limit == Limit::Bandwidth ? f.bandwidth
                                                          : f.bandwidth_tsv;
        if (figure < least)
            least = figure;
    }
    return least;
}

Edges edges_of(int cores, int cache, int scale, const Holds &holds) {
    const Model &m = active_model();
    auto end = [](bool held, int index, size_t count) {
        return held ? 0 : index == 0 ? -1 : index == int(count) - 1 ? 1 : 0;
    };
    return Edges{end(holds.cores.has_value(), cores, m.core_counts.size()),
                 end(holds.cache.has_value(), cache, m.cache_sizes.size()),
                 end(holds.scale.has_value(), scale, m.scale_steps.size())};
}

std::string edges_text(const BestConfiguration &b) {
    if (!b.feasible)
        return {};
    const Model &m = active_model();
    std::vector<std::string> parts;
    char text[96];
    if (b.edges.cores != 0) {
        snprintf(text, sizeof text, "%s cores (%d)", b.edges.cores < 0 ? "fewest" : "most",
                 int(m.core_counts[b.cores]));
        parts.push_back(text);
    }
    if (b.edges.cache != 0) {
        snprintf(text, sizeof text, "%s L2 cache (%d MB)",
                 b.edges.cache < 0 ? "smallest" : "largest", int(m.cache_sizes[b.cache]));
        parts.push_back(text);
    }
    if (b.edges.scale != 0)
        parts.push_back(std::string(b.edges.scale < 0 ? "first" : "last") + " scale step (" +
                        step_text(m.scale_steps[b.scale]) + ")");
    std::string joined;
    for (const std::string &part : parts)
        joined += (joined.empty() ? "" : ", ") + part;
    return joined;
}

NonFiniteFigures non_finite_figures(const std::vector<Request> &requests, int jobs) {
    return non_finite_figures(
        requests.size(), [&](size_t i) { return requests[i]; }, jobs);
}

NonFiniteFigures non_finite_figures(size_t count, const std::function<Request(size_t)> &request_at,
                                    int jobs) {
    const Model &m = active_model();
    NonFiniteFigures all;
    // Each request on its own (on up to `jobs` threads), a batch at a time; the first example
    // in their order.
    const size_t batch = size_t(std::max(jobs, 1)) * 64;
    for (size_t first = 0; first < count; first += batch) {
        std::vector<NonFiniteFigures> each(std::min(batch, count - first));
        run_in_parallel(each.size(), jobs, [&](size_t i) {
            const Request request = request_at(first + i);
            NonFiniteFigures &found = each[i];
            const NonFiniteConfigurations scan = non_finite_configurations(spec_of(request));
            found.count = scan.count;
            if (scan.count == 0)
                return;
            const EvaluatedConfiguration &e = scan.first;
            const ConfigurationFigures &f = e.figures;
            const std::pair<const char *, double> figures[] = {{"speedup ", f.speedup},
                                                               {"area ", f.area},
                                                               {"power ", f.power},
                                                               {"off-chip bandwidth ", f.bandwidth},
                                                               {"TSV bandwidth ", f.bandwidth_tsv}};
            const char *units[] = {"", " mm^2", " W", " GB/s", " GB/s"};
            std::string figure;
            for (size_t k = 0; k < 5 && figure.empty(); k++)
                if (!std::isfinite(figures[k].second))
                    figure = figures[k].first + shortest(figures[k].second) + units[k];
            found.example = std::to_string(int(m.core_counts[e.cores])) + " cores, " +
                            std::to_string(int(m.cache_sizes[e.cache])) + " MB, step " +
                            step_text(m.scale_steps[e.scale]) + " of " + describe(request.options) +
                            ": " + figure;
        });
        for (const NonFiniteFigures &found : each) {
            if (all.count == 0)
                all.example = found.example;
            all.count += found.count;
        }
    }
    return all;
}

std::string non_finite_warning(const NonFiniteFigures &found) {
    if (found.count == 0)
        return {};
    return std::to_string(found.count) +
           (found.count == 1 ? " configuration has" : " configurations have") +
           " a figure that is not finite with this model (for example " + found.example +
           "); they break every limit and are never selected";
}
