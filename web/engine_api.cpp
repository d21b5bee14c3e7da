#include "web/engine_api.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "model/model.h"
#include "model/scaling.h"
#include "model/state.h"
#include "modelfile/model_file.h"
#include "search/search.h"
#include "spacemap/space_map.h"
#include "study/budget.h"
#include "study/explain.h"
#include "web/model_open.h"
#include "web/session.h"

// The window's controls are made again with the model.
void shim_forget_widgets(void);

namespace {

std::unique_ptr<Session> session;
SpaceChart latest_map;
std::vector<double> map_speedups;
// The notice of figures that are not finite with the model file in use, while it is made.
std::unique_ptr<NonFiniteScan> scan;

Session &current() {
    if (!session)
        engine_restart();
    return *session;
}

std::string number(double v) {
    if (!std::isfinite(v))
        return "null";
    return shortest(v);
}

std::string names(const std::vector<std::string> &list) {
    std::string j = "[";
    for (size_t i = 0; i < list.size(); i++) {
        j += i ? "," : "";
        j += json_string(list[i]);
    }
    return j + "]";
}

template <typename Entries> std::string items(const Entries &entries) {
    std::vector<std::string> list;
    for (const OptionName &e : entries)
        list.push_back(e.window_item);
    return names(list);
}

template <typename Axis> std::string axis(const Axis &values) {
    std::string j = "[";
    for (size_t i = 0; i < values.size(); i++) {
        j += i ? "," : "";
        j += number(values[i]);
    }
    return j + "]";
}

// The request the design state stands for: its options, the limits in force and the
// dimensions the latest search held, at the operating point on show. An evaluation of one
// configuration (everything held, after an option or limit change) has nothing to analyse:
// there the options and limits are analysed with nothing held.
Request request_on_show() {
    Request r;
    r.options =
        OptionSet{User_Option[0], User_Option[1], User_Option[2], User_Option[3], User_Option[4]};
    r.limits = Limits{AREA_CONSTRT, POWER_CONSTRT, BW_CONSTRT, BW_CONSTRT_TSV};
    const int *held = current().held();
    if (held[0] && held[1] && held[2])
        return r;
    if (held[0])
        r.holds.cores = User_Option[8];
    if (held[1])
        r.holds.cache = User_Option[9];
    if (held[2]) {
        r.holds.scale = User_Option[10];
        r.holds.vdd = VDD_G;
        r.holds.freq = FRE;
    }
    return r;
}

} // namespace

void engine_restart() {
    session.reset();
    shim_forget_widgets();
    reset_design_state();
    session = std::make_unique<Session>();
}

std::string engine_act(const std::string &line) {
    const std::string error = current().act(line);
    return "{\"error\":" + json_string(error) + ",\"state\":" + current().state_json() + "}";
}

std::string engine_model_json() {
    const Model &m = active_model();
    // Each node's default limits, as an option change loads them into the spin buttons.
    std::string defaults = "[";
    for (size_t i = 0; i < m.nodes.size(); i++) {
        const TranTechRecord &n = m.nodes[i].tech;
        defaults += i ? "," : "";
        defaults += names({shortest(n.area_budget), shortest(n.power_budget),
                           shortest(n.bw_offchip), shortest(n.bw_tsv)});
    }
    defaults += "]";
    // The parallel fraction a search of each workload uses: its own, or the model's.
    std::string fractions = "[";
    for (size_t i = 0; i < m.workloads.size(); i++) {
        if (i > 0)
            fractions += ",";
        fractions += number(parallel_fraction_of(m, int(i)));
    }
    fractions += "]";
    return "{\"source\":" + json_string(m.source) +
           ",\"parallel_fraction\":" + number(m.parallel_fraction) +
           ",\"workload_parallel_fractions\":" + fractions + ",\"names\":[" +
           names(choice_names(Choice::Workload)) + "," + names(choice_names(Choice::Memory)) + "," +
           names(choice_names(Choice::Transistor)) + "," + names(choice_names(Choice::CoreKind)) +
           "," + names(choice_names(Choice::Node)) + "],\"items\":[" + items(m.workloads) + "," +
           items(m.memory_kinds) + "," + items(m.transistor_kinds) + "," + items(m.core_kinds) +
           "," + items(m.nodes) + "],\"start_node\":" + std::to_string(m.start_node) +
           ",\"defaults\":" + defaults + ",\"core_counts\":" + axis(m.core_counts) +
           ",\"cache_sizes\":" + axis(m.cache_sizes) + ",\"scale_steps\":" + axis(m.scale_steps) +
           "}";
}

// As the desktop map reads the design state: the scale step on show at its operating point,
// and before anything is on show (no supply and no frequency yet) the step at its own.
std::string engine_map_json() {
    current();
    SearchSpec spec = spec_from_design_state(0, 0, 1);
    const Model &m = *spec.model;
    const bool on_show = VDD_G != 0 || FRE != 0;
    double vdd = VDD_G, freq = FRE;
    if (!on_show) {
        const double target = m.scale_steps[spec.scale];
        spec.vdd_ratio = voltage_step(m.nodes[spec.node].tech, spec.transistor, target);
        spec.f_ratio = step_frequency_ratio(m, m.nodes[spec.node].tech, spec.transistor, target);
        vdd = VDD_MAX * spec.vdd_ratio;
        freq = FRE_MAX * spec.f_ratio;
    }
    latest_map = space_map(spec, vdd, freq);
    if (on_show)
        mark_shown(latest_map, User_Option[9], User_Option[8]);
    const SpaceChart &c = latest_map;
    std::string j =
        "{\"title\":" + json_string(c.title) + ",\"subtitle\":" + json_string(c.subtitle);
    j += ",\"notes\":" + names(c.notes) + ",\"best_text\":" + json_string(c.best_text) +
         ",\"shown_text\":" + json_string(c.shown_text);
    j += ",\"core_ticks\":" + axis(c.core_ticks) + ",\"cache_ticks\":" + axis(c.cache_ticks);
    j += ",\"best\":" +
         (c.best ? "[" + std::to_string(c.best->first) + "," + std::to_string(c.best->second) + "]"
                 : std::string("null"));
    j += ",\"shown\":" + (c.shown ? "[" + std::to_string(c.shown->first) + "," +
                                        std::to_string(c.shown->second) + "]"
                                  : std::string("null"));
    j += ",\"limits\":[";
    for (size_t i = 0; i < c.limits.size(); i++) {
        j += i ? "," : "";
        j += c.limits[i] ? "{\"caption\":" + json_string(c.limits[i]->caption) +
                               ",\"unit\":" + json_string(c.limits[i]->unit) +
                               ",\"value\":" + number(c.limits[i]->value) + "}"
                         : "null";
    }
    // Per cell the broken limits as bits; the speedups go as numbers in memory
    // (engine_map_speedups).
    map_speedups.assign(c.cells.size(), 0);
    for (size_t i = 0; i < c.cells.size(); i++)
        map_speedups[i] = c.cells[i].speedup;
    j += "],\"cells\":" + std::to_string(c.cells.size());
    j += ",\"breaks\":[";
    for (size_t i = 0; i < c.cells.size(); i++) {
        const SpaceChartCell &cell = c.cells[i];
        const int bits =
            cell.breaks[0] | cell.breaks[1] << 1 | cell.breaks[2] << 2 | cell.breaks[3] << 3;
        j += i ? "," : "";
        j += std::to_string(bits);
    }
    return j + "]}";
}

const double *engine_map_speedups() {
    return map_speedups.data();
}

std::string engine_map_cell(int cache, int cores) {
    return space_map_cell_text(latest_map, cache, cores);
}

std::string engine_explain_json(double step) {
    current();
    const Request request = request_on_show();
    const Explanation e = explain(request, step);
    std::string held;
    if (request.holds.cores)
        held += "\"cores\",";
    if (request.holds.cache)
        held += "\"cache\",";
    if (request.holds.scale)
        held += "\"scale\",";
    if (!held.empty())
        held.pop_back();
    std::string j = "{\"held\":[" + held +
                    "],\"feasible\":" + std::string(e.best.feasible ? "true" : "false") +
                    ",\"speedup\":" + number(e.best.speedup) + ",\"limits\":[";
    for (size_t i = 0; i < e.limits.size(); i++) {
        const LimitAnalysis &l = e.limits[i];
        j += (i ? "," : "");
        j += "{\"limit\":" + json_string(limit_name(l.limit)) + ",\"value\":" + number(l.value) +
             ",\"figure\":" + number(l.figure) + ",\"slack\":" + number(l.value - l.figure) +
             ",\"binds\":" + (l.binds ? "true" : "false") +
             ",\"relaxed_value\":" + number(l.relaxed_value) +
             ",\"relaxed_speedup\":" + (l.relaxed_found ? number(l.relaxed_speedup) : "null") +
             ",\"gain_percent\":" +
             (l.relaxed_found ? number(gain_percent(l.relaxed_speedup, e.best.speedup)) : "null") +
             ",\"changes_at\":" + number(l.changes_at) + "}";
    }
    j += "],\"together\":[";
    for (size_t i = 0; i < e.together.size(); i++)
        j += std::string(i ? "," : "") +
             "{\"limit\":" + json_string(limit_name(e.together[i].first)) +
             ",\"value\":" + number(e.together[i].second) + "}";
    return j + "]}";
}

std::string engine_budget_json(int limit, double start, double end, double step) {
    current();
    if (limit < 0 || limit > 3)
        return "{\"error\":\"no such limit\"}";
    BudgetRequest b;
    b.request = request_on_show();
    b.varied.push_back(LimitRange{Limit(limit), start, end, step});
    const std::string error = budget_error(b);
    if (!error.empty())
        return "{\"error\":" + json_string(error) + "}";
    const Budget result = budget(b, 1);
    const BudgetSeries &s = result.series.at(0);
    std::string j =
        "{\"error\":\"\",\"limit\":" + json_string(limit_name(Limit(limit))) + ",\"values\":[";
    for (size_t i = 0; i < s.best.size(); i++) {
        j += i ? "," : "";
        j += number(b.varied[0].value(i));
    }
    j += "],\"speedup\":[";
    for (size_t i = 0; i < s.best.size(); i++) {
        const BestConfiguration point = best_at(s, limits_at(b, s, i), s.best[i]);
        j += i ? "," : "";
        j += (point.feasible ? number(point.speedup) : std::string("null"));
    }
    return j + "]}";
}

std::string engine_load_model(std::string_view bytes, const std::string &name) {
    return open_model_file(bytes, name,
                           [](std::shared_ptr<const Model> model) {
                               session.reset();
                               set_active_model(std::move(model));
                               engine_restart();
                               scan = std::make_unique<NonFiniteScan>();
                           })
        .answer;
}

std::string engine_scan_step(int option_sets) {
    const bool done = !scan || scan->step(size_t(std::max(option_sets, 1)));
    return "{\"done\":" + std::string(done ? "true" : "false") +
           ",\"notice\":" + json_string(scan ? scan->notice() : "") + "}";
}

std::string engine_export_model() {
    return export_model(active_model());
}
