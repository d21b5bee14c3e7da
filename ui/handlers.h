// The window's signal handlers: options and limits in, searches run, figures shown.
#pragma once

#include <gtk/gtk.h>

#include "widgets/mycpu.h"

// The frequency and supply at scale step 1.0 (FRE_MAX, VDD_MAX) of the selected node and
// transistor kind, as every option change loads them.
void load_ceilings();

// Option boxes ("changed"); *id is the option index 0 to 4.
void list_changed(GtkComboBox *box, int *id);
// Constraint spin buttons ("value-changed"); *id is the slot 2 to 5.
void spin_changed(GtkSpinButton *spin, int *id);
// Lock check buttons ("toggled"); *id is 0 (core count), 1 (cache size) or 2 (scale step).
void check_box_set(GtkToggleButton *button, int *id);
// Speedup slider ("value-changed"): shows its value on the gauge as a percentage of best.
void cb_changed(GtkRange *slider, MyCpu *gauge);

// "Best Performance" ("clicked") and the sliders ("value-changed"); the user data is the
// slider table.
void get_best_performance(GtkButton *button, GtkWidget **scales);
void performance_cal0(GtkRange *slider, GtkWidget **scales); // core count
void performance_cal1(GtkRange *slider, GtkWidget **scales); // cache size
void performance_cal2(GtkRange *slider, GtkWidget **scales); // supply voltage
void performance_cal3(GtkRange *slider, GtkWidget **scales); // frequency
void change_vscale(GtkRange *slider, GtkWidget **scales);    // target scale
