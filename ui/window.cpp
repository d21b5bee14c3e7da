#include "ui/window.h"

#include <cmath>

#include "model/model.h"
#include "model/state.h"
#include "ui/handlers.h"
#include "widgets/mycpu.h"

GtkWidget *scale_global[6];
GtkWidget *label[17];
GtkWidget *spin_button[6];

// Identifiers handed to the handlers that serve several controls; they must outlive the
// main loop.
static int ids[6];

namespace {

void pack(GtkWidget *box, GtkWidget *child, gboolean expand, gboolean fill, guint padding = 0) {
    gtk_box_pack_start(GTK_BOX(box), child, expand, fill, padding);
}

GtkWidget *make_slider(int slot, double min, double max, double step, gboolean draw_value) {
    GtkWidget *slider = gtk_vscale_new_with_range(min, max, step);
    gtk_range_set_inverted(GTK_RANGE(slider), TRUE); // maximum at the top
    gtk_scale_set_draw_value(GTK_SCALE(slider), draw_value);
    scale_global[slot] = slider;
    return slider;
}

GtkWidget *make_label(int slot, const char *text, int width_chars) {
    GtkWidget *caption = gtk_label_new(text);
    gtk_label_set_width_chars(GTK_LABEL(caption), width_chars);
    label[slot] = caption;
    return caption;
}

GtkWidget *make_spin_button(int slot, double initial) {
    GtkWidget *spin = gtk_spin_button_new_with_range(0, 1000, 0.01);
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin), initial);
    spin_button[slot] = spin;
    return spin;
}

// The option box of a list of the model's options, in the model's order: the item's position
// is the option's value.
template <typename Entries> GtkWidget *make_option_box(const Entries &entries, int active) {
    GtkWidget *box = gtk_combo_box_new_text();
    for (const OptionName &entry : entries)
        gtk_combo_box_append_text(GTK_COMBO_BOX(box), entry.window_item.c_str());
    gtk_combo_box_set_active(GTK_COMBO_BOX(box), active);
    return box;
}

// A default limit as the spin buttons hold it, to their two decimals.
double to_hundredths(double value) {
    return std::round(value * 100) / 100;
}

// A control that is driven and read like the others but packed nowhere: the window holds it
// and releases it when it goes.
GtkWidget *keep_off_screen(GtkWidget *window, const char *key, GtkWidget *widget) {
    g_object_set_data_full(G_OBJECT(window), key, g_object_ref_sink(widget), g_object_unref);
    return widget;
}

void connect(GtkWidget *widget, const char *signal, GCallback handler, gpointer data) {
    g_signal_connect(widget, signal, handler, data);
}

} // namespace

ExplorerWindow build_explorer_window() {
    ExplorerWindow w{};
    w.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_container_set_border_width(GTK_CONTAINER(w.window), 15);
    gtk_window_set_title(GTK_WINDOW(w.window), "CPU widget");

    GtkWidget *outer = gtk_vbox_new(FALSE, 10);
    GtkWidget *row[8]; // rows 1 to 7
    for (int r = 1; r <= 7; r++)
        row[r] = gtk_hbox_new(TRUE, 15);
    GtkWidget *cell[7]; // cells 1 to 6 of row 4
    for (int c = 1; c <= 6; c++)
        cell[c] = gtk_hbox_new(TRUE, 90);

    // Row 1: the options and the search button.
    const Model &model = active_model();
    w.option_box[0] = make_option_box(model.workloads, 0);
    w.option_box[1] = make_option_box(model.memory_kinds, 0);
    w.option_box[2] = make_option_box(model.transistor_kinds, 0);
    w.option_box[3] = make_option_box(model.core_kinds, 0);
    w.option_box[4] = make_option_box(model.nodes, model.start_node);
    w.best_button = gtk_button_new_with_label("Best Performance");
    for (GtkWidget *box : w.option_box)
        pack(row[1], box, FALSE, FALSE);
    pack(row[1], w.best_button, FALSE, FALSE);

    // Row 2: core count, cache size, supply voltage, frequency, speedup, gauge.
    pack(row[2], make_slider(0, 0, 34, 1, FALSE), TRUE, TRUE);
    pack(row[2], make_slider(1, 0, 66, 1, FALSE), TRUE, TRUE);
    pack(row[2], make_slider(5, 0, 1.5, 0.01, FALSE), TRUE, TRUE);
    pack(row[2], make_slider(4, 0, 10, 0.01, FALSE), TRUE, TRUE);
    pack(row[2], make_slider(2, 0, 100, 0.01, TRUE), TRUE, TRUE);
    keep_off_screen(w.window, "target-scale", make_slider(3, 0, 7, 1, TRUE));
    w.gauge = my_cpu_new();
    pack(row[2], w.gauge, FALSE, FALSE);

    // Row 3: their captions.
    pack(row[3], make_label(0, "1 core", 4), TRUE, TRUE);
    pack(row[3], make_label(1, "1 MB", 4), TRUE, TRUE);
    pack(row[3], make_label(15, "0 V", 30), TRUE, TRUE);
    pack(row[3], make_label(14, "0 GHz", 30), TRUE, TRUE);
    pack(row[3], make_label(2, "Performance", 4), TRUE, TRUE);
    pack(row[3], make_label(4, "CPU", 4), TRUE, TRUE);
    keep_off_screen(w.window, "target-label", make_label(3, "Target: 1", 30));

    // Row 4: the lock buttons under the first three columns.
    const char *locks[3] = {"core number", "cache size", "Vdd"};
    for (int i = 0; i < 3; i++) {
        w.lock_button[i] = gtk_check_button_new_with_label(locks[i]);
        pack(cell[i + 1], w.lock_button[i], TRUE, TRUE, 50);
    }
    for (int c = 1; c <= 6; c++)
        pack(row[4], cell[c], TRUE, TRUE);

    // Rows 5 to 7: the limits, their captions and the results. The limits start at the
    // start-up node's defaults to the spin buttons' two decimals (221.88 mm^2, 102 W and
    // 46.44 GB/s at 65 nm in the built-in model, the design state's initial limits) and the
    // TSV limit at 0, as plain memory loads it.
    const TranTechRecord &start = model.nodes[model.start_node].tech;
    AREA_CONSTRT = to_hundredths(start.area_budget);
    POWER_CONSTRT = to_hundredths(start.power_budget);
    BW_CONSTRT = to_hundredths(start.bw_offchip);
    pack(row[5], make_spin_button(2, AREA_CONSTRT), TRUE, FALSE);
    pack(row[5], make_spin_button(3, POWER_CONSTRT), TRUE, FALSE);
    pack(row[5], make_spin_button(4, BW_CONSTRT), TRUE, FALSE);
    pack(row[5], make_spin_button(5, 0), TRUE, FALSE);
    pack(row[6], make_label(7, "Area Constraint", 4), TRUE, TRUE);
    pack(row[6], make_label(8, "Power Constraint(W)", 4), TRUE, TRUE);
    pack(row[6], make_label(9, "Bandwidth Constraint(GB/s)", 4), TRUE, TRUE);
    pack(row[6], make_label(10, "TSV Bandwidth Constraint(GB/s)", 4), TRUE, TRUE);
    pack(row[7], make_label(11, "Area:", 4), TRUE, TRUE);
    pack(row[7], make_label(12, "Power:", 4), TRUE, TRUE);
    pack(row[7], make_label(13, "Bandwidth:", 4), TRUE, TRUE);
    pack(row[7], make_label(16, "Bandwidth_TSV:", 4), TRUE, TRUE);

    for (int r = 1; r <= 7; r++)
        pack(outer, row[r], TRUE, FALSE);
    gtk_container_add(GTK_CONTAINER(w.window), outer);

    for (int i = 0; i < 6; i++)
        ids[i] = i;

    // Every initial value is in place: from here on a change runs a handler.
    for (int i = 0; i < 5; i++)
        connect(w.option_box[i], "changed", G_CALLBACK(list_changed), &ids[i]);
    connect(scale_global[0], "value-changed", G_CALLBACK(performance_cal0), scale_global);
    connect(scale_global[1], "value-changed", G_CALLBACK(performance_cal1), scale_global);
    connect(scale_global[3], "value-changed", G_CALLBACK(change_vscale), scale_global);
    connect(scale_global[4], "value-changed", G_CALLBACK(performance_cal3), scale_global);
    connect(scale_global[5], "value-changed", G_CALLBACK(performance_cal2), scale_global);
    connect(scale_global[2], "value-changed", G_CALLBACK(cb_changed), w.gauge);
    for (int i = 0; i < 3; i++)
        connect(w.lock_button[i], "toggled", G_CALLBACK(check_box_set), &ids[i]);
    connect(w.best_button, "clicked", G_CALLBACK(get_best_performance), scale_global);
    for (int slot = 2; slot <= 5; slot++)
        connect(spin_button[slot], "value-changed", G_CALLBACK(spin_changed), &ids[slot]);
    connect(w.window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);

    // The ceilings of the selected options, as an option change loads them; nothing is searched.
    load_ceilings();
    return w;
}
