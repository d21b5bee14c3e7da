#include "study/sensitivity.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

#include "study/parallel.h"

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// The node's numbers an option set's figures read: the cores' and the L2 cache's transistor
// flavours (LOP: both LOP; LOP/HP: HP cores, LOP cache; HP: both HP), the supply rule of the
// scale steps, the wires with plain memory and the stack's interface with 3D memory.
std::set<std::string> used_node_keys(const OptionSet &o, const Model &m) {
    const bool stacked = o.memory != 0;
    const char *core = o.transistor == 0 ? "LOP" : "HP";
    const char *cache = o.transistor <= 1 ? "LOP" : "HP";
    std::set<std::string> keys{"mem_data_rate", "bw_offchip", "mem_latency", "miss_overhead"};
    if (!stacked) {
        keys.insert("wire_delay");
        keys.insert("wire_length");
    } else {
        keys.insert("node_nm");
    }
    for (const char *key : {"fmax_", "Vdd_", "Cgate_", "Ileak_", "Wgate_", "density_"})
        keys.insert(std::string(key) + core);
    for (const char *key : {"fmax_", "Vdd_", "Vth_", "Cgate_", "Ileak_", "Lgate_", "L2_area_"})
        keys.insert(std::string(key) + cache);
    // The supply rule of the scale steps.
    if (o.transistor == 0) {
        keys.insert({"Vdd_LOP", "Vth_LOP"});
    } else if (o.transistor == 1) {
        keys.insert({"Vdd_HP", "Vdd_min_HP", "Vdd_LOP", "Vth_LOP"});
    } else {
        keys.insert({"Vdd_HP", "Vdd_min_HP", "Vth_HP"});
    }
    keys.insert(std::string("core_area_") + core + "_mm2." + m.core_kinds[o.core_kind].name);
    // The node's uncore where the model gives one (0 moves by nothing).
    const NodeRecord &n = m.nodes[size_t(o.node)];
    if (n.uncore_area_mm2 != 0)
        keys.insert("uncore_area_mm2");
    if (n.uncore_power_W != 0)
        keys.insert("uncore_power_W");
    return keys;
}

bool same_configuration(const SearchOutcome &a, const SearchOutcome &b) {
    return a.found == b.found &&
           (!a.found || (a.scale == b.scale && a.cache == b.cache && a.cores == b.cores));
}

double effect_of(const SearchOutcome &base, const SearchOutcome &end) {
    if (base.found != end.found)
        return kInfinity;
    return base.found ? std::fabs(change_percent(base, end)) : 0.0;
}

} // namespace

std::vector<ModelNumberField> used_fields(const OptionSet &o, const Model &m) {
    const std::set<std::string> node_keys = used_node_keys(o, m);
    std::vector<ModelNumberField> used;
    for (ModelNumberField &f : model_number_fields(m)) {
        bool take = false;
        if (f.section == "constants")
            // The model's parallel fraction only for a workload without its own.
            take = (f.key == "parallel_fraction" &&
                    !m.workloads[size_t(o.workload)].parallel_fraction) ||
                   f.key == "working_set_growth";
        else if (f.section == "reference_chip")
            take = true;
        else if (f.section == "memory_stack")
            take = o.memory != 0;
        else if (f.section == "workload")
            take = f.entry == o.workload;
        else if (f.section == "core_kind")
            take = f.entry == o.core_kind;
        else if (f.section == "node")
            take = f.entry == o.node && node_keys.count(f.key) != 0;
        if (take)
            used.push_back(std::move(f));
    }
    return used;
}

FieldRange moved_range(const ModelNumberField &f, double value, double spread) {
    auto kept = [&](double v) {
        if (f.whole)
            v = std::round(v);
        if (v < f.low || (f.low_open && v <= f.low))
            v = f.low_open ? value : f.low; // an open end is never reached with a spread below 1
        if (v > f.high || (f.high_open && v >= f.high))
            v = f.high_open ? std::nextafter(f.high, f.low) : f.high;
        if (f.whole && v > f.high)
            v = std::floor(f.high);
        return v;
    };
    const double move = spread * std::fabs(value);
    return FieldRange{kept(value - move), kept(value + move)};
}

FieldRange sensitivity_range(const ModelNumberField &f, double value, double spread) {
    if (f.key != "parallel_fraction")
        return moved_range(f, value, spread);
    const double serial = 1 - value;
    const double low = 1 - (serial + serial * spread);
    double high = 1 - (serial - serial * spread);
    // With serial work, some is left at the high end however small the share.
    if (value < 1 && high >= 1)
        high = std::nextafter(1.0, 0.0);
    return FieldRange{std::max(low, 0.0), high};
}

SearchOutcome search_under(const Request &r, const Model &model) {
    Request plain{r.options, r.limits, {}};
    SearchSpec spec = spec_of(plain);
    spec.model = &model;
    return search_design_space(spec);
}

double change_percent(const SearchOutcome &base, const SearchOutcome &end) {
    if (!base.found || !end.found)
        return std::nan("");
    return (end.speedup - base.speedup) / base.speedup * 100;
}

Sensitivity sensitivity(const Request &request, double spread, int jobs) {
    const Model &model = active_model();
    Sensitivity s{
        Request{request.options, request.limits, {}}, spread, search_under(request, model), {}};
    const std::vector<ModelNumberField> fields = used_fields(request.options, model);
    s.rows.resize(fields.size());
    run_in_parallel(fields.size(), jobs, [&](size_t i) {
        const ModelNumberField &f = fields[i];
        Model changed = model;
        const double value = f.value(model);
        const FieldRange range = sensitivity_range(f, value, spread);
        SensitivityRow &row = s.rows[i];
        row.field = f.name;
        row.value = value;
        f.value(changed) = range.low;
        row.low = SensitivityEnd{range.low, search_under(request, changed)};
        f.value(changed) = range.high;
        row.high = SensitivityEnd{range.high, search_under(request, changed)};
        row.effect = std::max(effect_of(s.base, row.low.best), effect_of(s.base, row.high.best));
        row.optimum_moves =
            !same_configuration(s.base, row.low.best) || !same_configuration(s.base, row.high.best);
    });
    std::stable_sort(
        s.rows.begin(), s.rows.end(),
        [](const SensitivityRow &a, const SensitivityRow &b) { return a.effect > b.effect; });
    return s;
}

Table sensitivity_table(const Sensitivity &s) {
    const Model &m = active_model();
    std::vector<std::string> names;
    for (const SensitivityRow &row : s.rows)
        names.push_back(row.field);
    Table t;
    t.add("field", ColumnType::Name, names);
    t.add("value", ColumnType::Number);
    for (const char *end : {"low", "high"}) {
        const std::string e = end;
        t.add(e + "_value", ColumnType::Number);
        t.add(e + "_speedup", ColumnType::Number);
        t.add(e + "_change_pct", ColumnType::Number);
        t.add(e + "_cores", ColumnType::Integer);
        t.add(e + "_cache_mb", ColumnType::Integer);
        t.add(e + "_scale", ColumnType::Number);
    }
    t.add("optimum_moves", ColumnType::Flag);
    for (size_t i = 0; i < s.rows.size(); i++) {
        const SensitivityRow &row = s.rows[i];
        size_t c = 0;
        t.columns[c++].add_name(int(i));
        t.columns[c++].add_number(row.value);
        for (const SensitivityEnd *end : {&row.low, &row.high}) {
            t.columns[c++].add_number(end->value);
            if (!end->best.found) {
                for (int k = 0; k < 5; k++)
                    t.columns[c++].add_none();
                continue;
            }
            t.columns[c++].add_number(end->best.speedup);
            const double change = change_percent(s.base, end->best);
            std::isnan(change) ? t.columns[c++].add_none() : t.columns[c++].add_number(change);
            t.columns[c++].add_integer(int(m.core_counts[end->best.cores]));
            t.columns[c++].add_integer(int(m.cache_sizes[end->best.cache]));
            t.columns[c++].add_number(m.scale_steps[end->best.scale]);
        }
        t.columns[c++].add_flag(row.optimum_moves);
    }
    return t;
}
