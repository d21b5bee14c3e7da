#include "web/session.h"

#include <cmath>
#include <string>
#include <vector>

#include "model/model.h"
#include "model/scaling.h"
#include "model/state.h"
#include "model/tables.h"
#include "search/search.h"
#include "study/choices.h"
#include "web/quiet_trace.h"
#include "widgets/mycpu.h"

namespace {

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            i++;
        size_t j = i;
        while (j < line.size() && line[j] != ' ' && line[j] != '\t')
            j++;
        if (j > i)
            out.push_back(line.substr(i, j - i));
        i = j;
    }
    return out;
}

std::optional<int> whole_in(std::string_view text, int low, int high) {
    const std::optional<double> v = parse_number(text);
    if (!v || *v != std::floor(*v) || *v < low || *v > high)
        return std::nullopt;
    return int(*v);
}

const char *kFieldNames[] = {
    "speedup", "cores",          "cache_mb",           "scale",   "vdd_v", "freq_ghz", "area_mm2",
    "power_w", "bandwidth_gbps", "tsv_bandwidth_gbps", "feasible"};

} // namespace

Session::Session() : window_(build_explorer_window()) {
    gtk_widget_show_all(window_.window);
}

std::string Session::act(std::string_view line) {
    const std::vector<std::string_view> w = words(line);
    if (w.empty())
        return "no action";
    const std::string verb(w[0]);
    const Model &m = active_model();
    const unsigned long before = searches_run();
    int hold[3] = {1, 1, 1}; // what the action's last search holds, if it searches
    if (verb == "best" && w.size() == 1) {
        for (int i = 0; i < 3; i++)
            hold[i] = check[i];
        gtk_button_clicked(GTK_BUTTON(window_.best_button));
    } else if (verb == "option" && w.size() == 3) {
        const std::optional<int> box = whole_in(w[1], 0, 4);
        if (!box)
            return "option: no option box " + std::string(w[1]) + "; accepted: 0 to 4";
        const int count[5] = {int(m.workloads.size()), 2, 3, int(m.core_kinds.size()),
                              int(m.nodes.size())};
        const std::optional<int> item = whole_in(w[2], 0, count[*box] - 1);
        if (!item)
            return "option: no item " + std::string(w[2]) + " in option box " +
                   std::to_string(*box) + "; accepted: 0 to " + std::to_string(count[*box] - 1);
        gtk_combo_box_set_active(GTK_COMBO_BOX(window_.option_box[*box]), *item);
    } else if (verb == "limit" && w.size() == 3) {
        const std::optional<int> slot = whole_in(w[1], 2, 5);
        const std::optional<double> value = parse_number(w[2]);
        if (!slot)
            return "limit: no limit " + std::string(w[1]) + "; accepted: 2 to 5";
        if (!value)
            return "limit: " + std::string(w[2]) + " is not a number";
        gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin_button[*slot]), *value);
    } else if (verb == "lock" && w.size() == 3) {
        const std::optional<int> lock = whole_in(w[1], 0, 2);
        const std::optional<int> on = whole_in(w[2], 0, 1);
        if (!lock || !on)
            return "lock: accepted: a lock 0 to 2 and 0 or 1";
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(window_.lock_button[*lock]), *on);
    } else if (verb == "slider" && w.size() == 3) {
        const std::optional<int> slot = whole_in(w[1], 0, 5);
        const std::optional<double> value = parse_number(w[2]);
        if (!slot || *slot == 2)
            return "slider: no slider " + std::string(w[1]) + "; accepted: 0, 1, 3, 4, 5";
        if (!value)
            return "slider: " + std::string(w[2]) + " is not a number";
        for (int i = 0; i < 3; i++)
            hold[i] = check[i];
        if (*slot == 0)
            hold[0] = 1;
        else if (*slot == 1)
            hold[1] = 1;
        else
            hold[2] = 1;
        gtk_range_set_value(GTK_RANGE(scale_global[*slot]), *value);
    } else if (verb == "point" && w.size() == 4) {
        const std::optional<int> scale =
            w[1] == "-" ? User_Option[10] : whole_in(w[1], 0, kScaleSteps - 1);
        const std::optional<double> vdd = parse_number(w[2]);
        const std::optional<double> freq = parse_number(w[3]);
        if (!scale || (w[2] != "-" && !(vdd && *vdd >= 0)) ||
            (w[3] != "-" && !(freq && *freq >= 0)))
            return "point: accepted: a scale-step index 0 to " + std::to_string(kScaleSteps - 1) +
                   " (- for the one on show)" +
                   ", then a supply and a frequency not below 0, or - for the step's own";
        // The step's own supply and frequency where none is given, and a supply's frequency
        // where only the supply is, as the voltage slider gives it.
        const double target = m.scale_steps[*scale];
        const double own_vdd =
            VDD_MAX * voltage_step(m.nodes[User_Option[4]].tech, User_Option[2], target);
        const double new_vdd = vdd ? *vdd : own_vdd;
        const double new_freq =
            freq  ? *freq
            : vdd ? FRE_MAX * held_supply_frequency_ratio(*vdd / VDD_MAX)
                  : FRE_MAX * step_frequency_ratio(m, m.nodes[User_Option[4]].tech, User_Option[2],
                                                   target);
        // As a search leaves them: the handlers that the sliders' changes run find the guard
        // taken and return.
        flag = 0;
        User_Option[10] = *scale;
        VDD_G = new_vdd;
        FRE = new_freq;
        gtk_range_set_value(GTK_RANGE(scale_global[3]), *scale);
        const double top = FRE_MAX * held_supply_frequency_ratio(VDD_G / VDD_MAX);
        if (top > 0)
            gtk_range_set_range(GTK_RANGE(scale_global[4]), 0, top);
        gtk_range_set_value(GTK_RANGE(scale_global[4]), FRE);
        gtk_range_set_value(GTK_RANGE(scale_global[5]), VDD_G);
        flag = 1;
    } else {
        return "unknown action: " + std::string(line);
    }
    if (searches_run() != before)
        record(hold[0], hold[1], hold[2]);
    return {};
}

// The latest search once more, on the state it left: its held dimensions are where it held
// them and its free ones are searched again, so the outcome is the one the handler had.
void Session::record(int hold_cores, int hold_cache, int hold_scale) {
    searched_ = true;
    held_[0] = hold_cores, held_[1] = hold_cache, held_[2] = hold_scale;
    outcome_ = find_best_configuration(hold_cores, hold_cache, hold_scale);
    feasible_ = outcome_.found;
    if (feasible_ && hold_cores && hold_cache && hold_scale) {
        // One configuration evaluated: it is "found" even when it breaks a limit, which then
        // scores 0; whether it meets the limits is read from its figures.
        const ConfigurationFigures f =
            evaluate_configuration(User_Option[10], User_Option[9], User_Option[8], 1);
        feasible_ = !(f.area > AREA_CONSTRT) && !(f.power > POWER_CONSTRT) &&
                    !(f.bandwidth > BW_CONSTRT) &&
                    !(User_Option[1] != 0 && f.bandwidth_tsv > BW_CONSTRT_TSV);
    }
}

std::string Session::state_json() const {
    const Model &m = active_model();
    auto number = [](double v) { return json_string(shortest(v)); };
    std::string j = "{\"fields\":{";
    std::string values[11];
    if (searched_) {
        values[10] = feasible_ ? "true" : "false";
        if (feasible_) {
            values[0] = shortest(outcome_.speedup);
            values[1] = shortest(m.core_counts[User_Option[8]]);
            values[2] = shortest(m.cache_sizes[User_Option[9]]);
            values[3] = shortest(m.scale_steps[User_Option[10]]);
            values[4] = shortest(VDD_G);
            values[5] = shortest(FRE);
            values[6] = shortest(AREA_RESULT);
            values[7] = shortest(POWER_RESULT);
            values[8] = shortest(BW_RESULT);
            if (User_Option[1] != 0)
                values[9] = shortest(BW_RESULT_TSV);
        }
    }
    for (int i = 0; i < 11; i++)
        j += std::string(i ? "," : "") + json_string(kFieldNames[i]) + ":" + json_string(values[i]);
    j += "},\"labels\":{";
    const int slots[] = {0, 1, 3, 11, 12, 13, 14, 15, 16};
    for (size_t i = 0; i < std::size(slots); i++)
        j += std::string(i ? "," : "") + "\"" + std::to_string(slots[i]) +
             "\":" + json_string(gtk_label_get_text(GTK_LABEL(label[slots[i]])));
    j += "},\"sliders\":[";
    for (int i = 0; i < 6; i++)
        j += std::string(i ? "," : "") + number(gtk_range_get_value(GTK_RANGE(scale_global[i])));
    j += "],\"tops\":[";
    for (int i = 0; i < 6; i++)
        j += std::string(i ? "," : "") +
             number(gtk_adjustment_get_upper(gtk_range_get_adjustment(GTK_RANGE(scale_global[i]))));
    j += "],\"limits\":[";
    for (int i = 2; i <= 5; i++)
        j += std::string(i > 2 ? "," : "") +
             number(gtk_spin_button_get_value(GTK_SPIN_BUTTON(spin_button[i])));
    j += "],\"options\":[";
    for (int i = 0; i < 5; i++)
        j += std::string(i ? "," : "") +
             std::to_string(gtk_combo_box_get_active(GTK_COMBO_BOX(window_.option_box[i])));
    j += "],\"locks\":[";
    for (int i = 0; i < 3; i++)
        j +=
            std::string(i ? "," : "") +
            std::to_string(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(window_.lock_button[i])));
    j += "],\"held\":[" + std::to_string(held_[0]) + "," + std::to_string(held_[1]) + "," +
         std::to_string(held_[2]) + "]";
    j += ",\"gauge\":" + number(my_cpu_get_percent(MY_CPU(window_.gauge)));
    j += ",\"best\":" + number(best);
    j += ",\"indices\":[" + std::to_string(User_Option[8]) + "," + std::to_string(User_Option[9]) +
         "," + std::to_string(User_Option[10]) + "]";
    j += ",\"operating_point\":[" + number(VDD_G) + "," + number(FRE) + "]";
    j += ",\"ceilings\":[" + number(VDD_MAX) + "," + number(FRE_MAX) + "]";
    j += "}";
    return j;
}
