// Each recalculating handler runs only when `flag` is 1 and holds it at 0 while it updates the
// window: setting a slider inside a handler emits that slider's "value-changed" at once, and
// those nested runs must not start searches of their own. spin_changed and cb_changed do not
// look at it.
#include "ui/handlers.h"

#include <cstdio>

#include "model/model.h"
#include "model/scaling.h"
#include "model/state.h"
#include "model/tables.h"
#include "search/search.h"
#include "search/trace.h"
#include "ui/window.h"

namespace {

enum Slider { kCores = 0, kCache = 1, kSpeedup = 2, kTarget = 3, kFrequency = 4, kVoltage = 5 };

// Large enough for any of the label formats with any double ("%f" of the largest double has
// 309 digits before the point).
constexpr size_t kLabelTextSize = 512;

void show(int slot, const char *format, double value) {
    char text[kLabelTextSize];
    snprintf(text, sizeof text, format, value);
    gtk_label_set_text(GTK_LABEL(label[slot]), text);
}

void show_cores() {
    char text[kLabelTextSize];
    snprintf(text, sizeof text, "%d cores",
             static_cast<int>(active_model().core_counts[User_Option[8]]));
    gtk_label_set_text(GTK_LABEL(label[0]), text);
}

void show_cache() {
    char text[kLabelTextSize];
    snprintf(text, sizeof text, "%d MB",
             static_cast<int>(active_model().cache_sizes[User_Option[9]]));
    gtk_label_set_text(GTK_LABEL(label[1]), text);
}

void show_target(const char *format) {
    show(3, format, active_model().scale_steps[User_Option[10]]);
}
void show_frequency() {
    show(14, "%.2f GHz", FRE);
}
void show_voltage() {
    show(15, "%.2f V", VDD_G);
}

void show_results() {
    show(11, "Area: %.2f mm^2", AREA_RESULT);
    show(12, "Power: %.2f W", POWER_RESULT);
    show(13, "Bandwidth: %.2f GB/s", BW_RESULT);
    show(16, "Bandwidth_TSV: %.2f GB/s", BW_RESULT_TSV);
}

void set_slider(GtkWidget **scales, Slider slot, double value) {
    gtk_range_set_value(GTK_RANGE(scales[slot]), value);
}

// GTK refuses an empty range; the slider then keeps the range it has.
void set_slider_top(GtkWidget **scales, Slider slot, double top) {
    if (top > 0)
        gtk_range_set_range(GTK_RANGE(scales[slot]), 0, top);
}

// The frequency slider reaches as far as the current supply allows.
void set_frequency_top(GtkWidget **scales) {
    set_slider_top(scales, kFrequency, FRE_MAX * held_supply_frequency_ratio(VDD_G / VDD_MAX));
}

// A positive peak becomes the top of the speedup slider and the gauge's 100 %.
void take_as_best(GtkWidget **scales, double peak) {
    if (peak > 0) {
        set_slider_top(scales, kSpeedup, peak);
        best = peak;
    }
}

void store_limit(int slot, double value) {
    switch (slot) {
    case 2:
        AREA_CONSTRT = value;
        break;
    case 3:
        POWER_CONSTRT = value;
        break;
    case 4:
        BW_CONSTRT = value;
        break;
    case 5:
        BW_CONSTRT_TSV = value;
        break;
    default:
        break;
    }
}

// Whether a slider handler may recalculate: a locked dimension snaps its slider back to the
// held value (before the guard, so also while another handler is updating). If so the guard
// is taken.
bool begin_recalculation(GtkRange *slider, int locked, double held) {
    if (locked != 0) {
        gtk_range_set_value(slider, held);
        return false;
    }
    if (flag == 0)
        return false;
    flag = 0;
    return true;
}

void end_recalculation() {
    flag = 1;
    trace_flush();
}

// The frequency slider's range, position and caption, then the voltage slider's.
void show_operating_point(GtkWidget **scales) {
    set_frequency_top(scales);
    set_slider(scales, kFrequency, FRE);
    show_frequency();
    set_slider(scales, kVoltage, VDD_G);
    show_voltage();
}

} // namespace

void load_ceilings() {
    const TranTechRecord &node = active_model().nodes[User_Option[4]].tech;
    if (User_Option[2] > 0) {
        FRE_MAX = node.fmax_HP;
        VDD_MAX = node.Vdd_HP;
    } else {
        FRE_MAX = node.fmax_LOP;
        VDD_MAX = node.Vdd_LOP;
    }
}

void list_changed(GtkComboBox *box, int *id) {
    const int active = gtk_combo_box_get_active(box);
    if (active < 0)
        return; // no item active: there is no option to store
    User_Option[*id] = active;
    trace_option(*id, active);

    // The node's defaults replace whatever limits were typed; each spin button that changes
    // runs spin_changed right here, with the ceilings of before.
    const TranTechRecord &node = active_model().nodes[User_Option[4]].tech;
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin_button[2]), node.area_budget);
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin_button[3]), node.power_budget);
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin_button[4]), node.bw_offchip);
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin_button[5]),
                              User_Option[1] != 0 ? node.bw_tsv : 0);

    load_ceilings();

    if (flag != 0) {
        flag = 0;
        take_as_best(scale_global, speedup_max_1(0, 0, 0));
        const double s = speedup_max(1, 1, 1);
        set_frequency_top(scale_global);
        set_slider(scale_global, kSpeedup, s);
        set_slider(scale_global, kCores, User_Option[8]);
        set_slider(scale_global, kCache, User_Option[9]);
        set_slider(scale_global, kTarget, User_Option[10]);
        set_slider(scale_global, kFrequency, FRE);
        set_slider(scale_global, kVoltage, VDD_G);
        show_cores();
        show_cache();
        show_target("Target: %f");
        show_frequency();
        show_voltage();
        show_results();
        flag = 1;
    }
    trace_flush();
}

void spin_changed(GtkSpinButton *spin, int *id) {
    store_limit(*id, gtk_spin_button_get_value(spin));
    const double s = speedup_max(1, 1, 1);
    take_as_best(scale_global, speedup_max_1(0, 0, 0));
    set_slider(scale_global, kSpeedup, s);
    trace_flush();
}

void check_box_set(GtkToggleButton *button, int *id) {
    check[*id] = gtk_toggle_button_get_active(button) ? 1 : 0;
}

void cb_changed(GtkRange *slider, MyCpu *gauge) {
    my_cpu_set_percent(gauge, gtk_range_get_value(slider) / (best / 100));
}

void get_best_performance(GtkButton *, GtkWidget **scales) {
    if (flag == 0)
        return;
    flag = 0;
    const double s = speedup_max(check[0], check[1], check[2]);
    take_as_best(scales, s);
    set_slider(scales, kSpeedup, s);
    set_slider(scales, kCores, User_Option[8]);
    set_slider(scales, kCache, User_Option[9]);
    set_slider(scales, kTarget, User_Option[10]);
    set_frequency_top(scales);
    set_slider(scales, kFrequency, FRE);
    set_slider(scales, kVoltage, VDD_G);
    show_cores();
    show_cache();
    show_target("%f ");
    show_frequency();
    show_voltage();
    show_results();
    end_recalculation();
}

// The slider handlers: the user's value is held and the rest is searched again.

void performance_cal0(GtkRange *slider, GtkWidget **scales) {
    if (!begin_recalculation(slider, check[0], User_Option[8]))
        return;
    User_Option[8] = static_cast<int>(gtk_range_get_value(slider));
    show_cores();
    const double s = speedup_max(1, check[1], check[2]);
    set_slider(scales, kSpeedup, s);
    set_slider(scales, kCache, User_Option[9]);
    show_cache();
    show_operating_point(scales);
    show_results();
    end_recalculation();
}

void performance_cal1(GtkRange *slider, GtkWidget **scales) {
    if (!begin_recalculation(slider, check[1], User_Option[9]))
        return;
    User_Option[9] = static_cast<int>(gtk_range_get_value(slider));
    show_cache();
    const double s = speedup_max(check[0], 1, check[2]);
    set_slider(scales, kSpeedup, s);
    set_slider(scales, kCores, User_Option[8]);
    show_cores();
    show_operating_point(scales);
    show_results();
    end_recalculation();
}

void performance_cal2(GtkRange *slider, GtkWidget **scales) {
    if (!begin_recalculation(slider, check[2], VDD_G))
        return;
    VDD_G = gtk_range_get_value(slider);
    show_voltage();
    FRE = FRE_MAX * held_supply_frequency_ratio(VDD_G / VDD_MAX);
    const double s = speedup_max(check[0], check[1], 1);
    set_slider(scales, kSpeedup, s);
    set_slider(scales, kCores, User_Option[8]);
    show_cores();
    set_slider(scales, kCache, User_Option[9]);
    show_cache();
    set_slider_top(scales, kFrequency, FRE); // the new frequency is the top of its range
    set_slider(scales, kFrequency, FRE);
    show_frequency();
    show_results();
    end_recalculation();
}

void performance_cal3(GtkRange *slider, GtkWidget **scales) {
    if (!begin_recalculation(slider, check[2], FRE))
        return;
    FRE = gtk_range_get_value(slider);
    show_frequency();
    const double s = speedup_max(check[0], check[1], 1);
    set_slider(scales, kSpeedup, s);
    set_slider(scales, kCores, User_Option[8]);
    show_cores();
    set_slider(scales, kCache, User_Option[9]);
    show_cache();
    show_results();
    end_recalculation();
}

void change_vscale(GtkRange *slider, GtkWidget **) {
    if (flag == 0)
        return;
    flag = 0;
    User_Option[10] = static_cast<int>(gtk_range_get_value(slider));
    show_target("Target: %f");
    trace_scale(User_Option[10]);
    end_recalculation();
}
