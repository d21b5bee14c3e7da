#include "chips/evaluation_columns.h"

#include <algorithm>

#include "study/result_columns.h"

namespace {

std::string notes_of(const Evaluation &e) {
    std::string joined;
    for (const std::string &note : e.notes)
        joined += (joined.empty() ? "" : "; ") + note;
    return joined;
}

Table empty_table(const std::vector<std::string> &notes, bool breakdown) {
    Table t;
    t.add("workload", ColumnType::Name, choice_names(Choice::Workload));
    t.add("memory", ColumnType::Name, choice_names(Choice::Memory));
    t.add("transistor", ColumnType::Name, choice_names(Choice::Transistor));
    t.add("core", ColumnType::Name, choice_names(Choice::CoreKind));
    t.add("node", ColumnType::Name, choice_names(Choice::Node));
    t.add("scale", ColumnType::Number);
    t.add("vdd_v", ColumnType::Number);
    t.add("freq_ghz", ColumnType::Number);
    t.add("cores", ColumnType::Integer);
    for (const char *name : {"cache_mb", "l2_latency_ns", "miss_rate", "area_mm2", "power_w",
                             "bandwidth_gbps", "tsv_bandwidth_gbps", "speedup"})
        t.add(name, ColumnType::Number);
    add_energy_columns(t);
    for (const char *name :
         {"area_limit_mm2", "power_limit_w", "bandwidth_limit_gbps", "tsv_limit_gbps"})
        t.add(name, ColumnType::Number);
    for (const char *name :
         {"breaks_area", "breaks_power", "breaks_bandwidth", "breaks_tsv", "feasible"})
        t.add(name, ColumnType::Flag);
    t.add("notes", ColumnType::Name, notes);
    if (breakdown)
        add_power_columns(t);
    return t;
}

void add_row(Table &t, const Evaluation &e, bool breakdown) {
    const OptionSet &o = e.request.options;
    const bool stacked = o.memory != 0;
    const ConfigurationFigures &f = e.figures;
    size_t c = 0;
    for (int option : {o.workload, o.memory, o.transistor, o.core_kind, o.node})
        t.columns[c++].add_name(option);
    const bool stepped = !e.request.vdd && !e.request.freq;
    stepped ? t.columns[c++].add_number(active_model().scale_steps[size_t(e.scale_index)])
            : t.columns[c++].add_none();
    t.columns[c++].add_number(e.vdd);
    t.columns[c++].add_number(e.freq);
    t.columns[c++].add_integer(int64_t(e.request.cores));
    t.columns[c++].add_number(e.request.cache_mb);
    t.columns[c++].add_number(e.l2_latency_ns);
    t.columns[c++].add_number(e.miss_rate);
    t.columns[c++].add_number(f.area);
    t.columns[c++].add_number(f.power);
    t.columns[c++].add_number(f.bandwidth);
    stacked ? t.columns[c++].add_number(f.bandwidth_tsv) : t.columns[c++].add_none();
    t.columns[c++].add_number(f.speedup);
    add_energy_values(t, c, &f);
    c += 3;
    t.columns[c++].add_number(e.limits.area);
    t.columns[c++].add_number(e.limits.power);
    t.columns[c++].add_number(e.limits.bandwidth);
    stacked ? t.columns[c++].add_number(e.limits.tsv) : t.columns[c++].add_none();
    for (Limit limit : {Limit::Area, Limit::Power, Limit::Bandwidth})
        t.columns[c++].add_flag(e.breaks[int(limit)]);
    stacked ? t.columns[c++].add_flag(e.breaks[int(Limit::Tsv)]) : t.columns[c++].add_none();
    t.columns[c++].add_flag(e.meets());
    // The notes of each row are a label of the column.
    Column &notes = t.columns[c++];
    const std::vector<std::string> &labels = notes.labels();
    const std::string joined = notes_of(e);
    if (joined.empty())
        notes.add_none();
    else
        notes.add_name(int(std::find(labels.begin(), labels.end(), joined) - labels.begin()));
    if (breakdown)
        add_power_values(t, c, &e.power);
}

} // namespace

Table evaluation_table(const std::vector<Evaluation> &evaluations, bool breakdown) {
    std::vector<std::string> notes;
    for (const Evaluation &e : evaluations) {
        const std::string joined = notes_of(e);
        if (!joined.empty() && std::find(notes.begin(), notes.end(), joined) == notes.end())
            notes.push_back(joined);
    }
    Table t = empty_table(notes, breakdown);
    for (const Evaluation &e : evaluations)
        add_row(t, e, breakdown);
    return t;
}
