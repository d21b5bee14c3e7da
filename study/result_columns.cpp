#include "study/result_columns.h"

#include <cstdarg>
#include <cstdio>

#include "model/model.h"
#include "study/choices.h"

std::string format(const char *pattern, ...) {
    va_list args, copy;
    va_start(args, pattern);
    va_copy(copy, args);
    const int length = vsnprintf(nullptr, 0, pattern, copy);
    va_end(copy);
    std::string text(length > 0 ? size_t(length) : 0, '\0');
    if (length > 0)
        vsnprintf(text.data(), text.size() + 1, pattern, args);
    va_end(args);
    return text;
}

const char *unit_of(Limit limit) {
    return limit == Limit::Area ? "mm^2" : limit == Limit::Power ? "W" : "GB/s";
}

const char *caption_of(Limit limit) {
    return limit == Limit::Area        ? "area"
           : limit == Limit::Power     ? "power"
           : limit == Limit::Bandwidth ? "off-chip bandwidth"
                                       : "TSV bandwidth";
}

double limit_value(const LimitValues &l, Limit limit) {
    return limit == Limit::Area        ? l.area
           : limit == Limit::Power     ? l.power
           : limit == Limit::Bandwidth ? l.bandwidth
                                       : l.tsv;
}

uint64_t limit_set(const std::vector<Limit> &limits) {
    uint64_t set = 0;
    for (Limit limit : limits)
        set |= uint64_t(1) << int(limit);
    return set;
}

namespace {

const std::vector<std::string> kLimitNames{"area", "power", "bandwidth", "tsv"};

void add_option_columns(Table &t) {
    t.add("workload", ColumnType::Name, choice_names(Choice::Workload));
    t.add("memory", ColumnType::Name, choice_names(Choice::Memory));
    t.add("transistor", ColumnType::Name, choice_names(Choice::Transistor));
    t.add("core", ColumnType::Name, choice_names(Choice::CoreKind));
    t.add("node", ColumnType::Name, choice_names(Choice::Node));
}

// Appends the option columns of a row from column `c` on; returns the next column.
size_t add_options(Table &t, size_t c, const OptionSet &o) {
    t.columns[c++].add_name(o.workload);
    t.columns[c++].add_name(o.memory);
    t.columns[c++].add_name(o.transistor);
    t.columns[c++].add_name(o.core_kind);
    t.columns[c++].add_name(o.node);
    return c;
}

} // namespace

Table best_table(bool edges) {
    Table t;
    add_option_columns(t);
    for (const char *name :
         {"area_limit_mm2", "power_limit_w", "bandwidth_limit_gbps", "tsv_limit_gbps"})
        t.add(name, ColumnType::Number);
    t.add("feasible", ColumnType::Flag);
    t.add("speedup", ColumnType::Number);
    t.add("cores", ColumnType::Integer);
    t.add("cache_mb", ColumnType::Integer);
    for (const char *name : {"scale", "vdd_v", "freq_ghz", "area_mm2", "power_w", "bandwidth_gbps",
                             "tsv_bandwidth_gbps"})
        t.add(name, ColumnType::Number);
    t.add("unmeetable_limits", ColumnType::Names, kLimitNames);
    if (edges) {
        t.add("edge_cores", ColumnType::Name, {"fewest", "most"});
        t.add("edge_cache", ColumnType::Name, {"smallest", "largest"});
        t.add("edge_scale", ColumnType::Name, {"first", "last"});
    }
    return t;
}

void add_best_row(Table &t, const BestConfiguration &b) {
    const Model &m = active_model();
    const bool stacked = b.options.memory != 0;
    size_t c = add_options(t, 0, b.options);
    t.columns[c++].add_number(b.limits.area);
    t.columns[c++].add_number(b.limits.power);
    t.columns[c++].add_number(b.limits.bandwidth);
    Column &tsv_limit = t.columns[c++];
    stacked ? tsv_limit.add_number(b.limits.tsv) : tsv_limit.add_none();
    t.columns[c++].add_flag(b.feasible);
    if (!b.feasible) {
        for (int i = 0; i < 10; i++)
            t.columns[c++].add_none();
    } else {
        t.columns[c++].add_number(b.speedup);
        t.columns[c++].add_integer(int(m.core_counts[b.cores]));
        t.columns[c++].add_integer(int(m.cache_sizes[b.cache]));
        t.columns[c++].add_number(m.scale_steps[b.scale]);
        t.columns[c++].add_number(b.vdd);
        t.columns[c++].add_number(b.freq);
        t.columns[c++].add_number(b.figures.area);
        t.columns[c++].add_number(b.figures.power);
        t.columns[c++].add_number(b.figures.bandwidth);
        Column &tsv = t.columns[c++];
        stacked ? tsv.add_number(b.figures.bandwidth_tsv) : tsv.add_none();
    }
    t.columns[c++].add_names(limit_set(b.unmeetable));
    if (c < t.columns.size() && t.columns[c].name() == "edge_cores")
        for (int end : {b.edges.cores, b.edges.cache, b.edges.scale}) {
            Column &edge = t.columns[c++];
            b.feasible &&end != 0 ? edge.add_name(end < 0 ? 0 : 1) : edge.add_none();
        }
}

Table space_table(bool with_options) {
    Table t;
    if (with_options)
        add_option_columns(t);
    t.add("scale", ColumnType::Number);
    t.add("vdd_v", ColumnType::Number);
    t.add("freq_ghz", ColumnType::Number);
    t.add("cores", ColumnType::Integer);
    t.add("cache_mb", ColumnType::Integer);
    for (const char *name :
         {"area_mm2", "power_w", "bandwidth_gbps", "tsv_bandwidth_gbps", "speedup"})
        t.add(name, ColumnType::Number);
    for (const char *name :
         {"breaks_area", "breaks_power", "breaks_bandwidth", "breaks_tsv", "feasible"})
        t.add(name, ColumnType::Flag);
    return t;
}

void add_space_row(Table &t, const OptionSet &o, const SpaceRow &row) {
    const Model &m = active_model();
    const bool stacked = o.memory != 0;
    const ConfigurationFigures &f = row.figures;
    size_t c = t.columns[0].name() == "workload" ? add_options(t, 0, o) : 0;
    t.columns[c++].add_number(m.scale_steps[row.scale]);
    t.columns[c++].add_number(row.vdd);
    t.columns[c++].add_number(row.freq);
    t.columns[c++].add_integer(int(m.core_counts[row.cores]));
    t.columns[c++].add_integer(int(m.cache_sizes[row.cache]));
    t.columns[c++].add_number(f.area);
    t.columns[c++].add_number(f.power);
    t.columns[c++].add_number(f.bandwidth);
    Column &tsv = t.columns[c++];
    stacked ? tsv.add_number(f.bandwidth_tsv) : tsv.add_none();
    t.columns[c++].add_number(f.speedup);
    t.columns[c++].add_flag(row.breaks[int(Limit::Area)]);
    t.columns[c++].add_flag(row.breaks[int(Limit::Power)]);
    t.columns[c++].add_flag(row.breaks[int(Limit::Bandwidth)]);
    Column &breaks_tsv = t.columns[c++];
    stacked ? breaks_tsv.add_flag(row.breaks[int(Limit::Tsv)]) : breaks_tsv.add_none();
    t.columns[c++].add_flag(row.feasible());
}

size_t power_column_count() {
    return has_uncore(active_model()) ? 9 : 7;
}

void add_power_columns(Table &t, const std::string &prefix) {
    for (const char *name : {"power_core_switching_w", "power_shared_logic_w",
                             "power_l2_switching_w", "power_core_leakage_w", "power_l2_leakage_w",
                             "power_memory_interface_w", "power_memory_stack_w"})
        t.add(prefix + name, ColumnType::Number);
    if (power_column_count() > 7) {
        t.add(prefix + "power_uncore_w", ColumnType::Number);
        t.add(prefix + "area_uncore_mm2", ColumnType::Number);
    }
}

void add_power_values(Table &t, size_t first, const PowerBreakdown *b) {
    const size_t count = power_column_count();
    if (b == nullptr) {
        for (size_t i = 0; i < count; i++)
            t.columns[first + i].add_none();
        return;
    }
    const PowerTerms &p = b->chip;
    for (double term : {p.core_switching, p.shared_logic, p.l2_switching, p.core_leakage,
                        p.l2_leakage, p.memory_interface, b->memory_stack})
        t.columns[first++].add_number(term);
    if (count > 7) {
        t.columns[first++].add_number(p.uncore);
        t.columns[first++].add_number(b->uncore_area);
    }
}

void add_power_values(Table &t, const PowerBreakdown *b) {
    add_power_values(t, t.columns.size() - power_column_count(), b);
}
