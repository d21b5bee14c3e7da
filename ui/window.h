// The explorer window: its construction and the widget tables the handlers reach.
#pragma once

#include <gtk/gtk.h>

// Sliders: 0 core-count index, 1 cache-size index, 2 speedup, 3 target-scale index (never on
// screen), 4 frequency in GHz, 5 supply voltage in V.
extern GtkWidget *scale_global[6];
// Labels: 0 cores, 1 cache, 2 "Performance", 3 target scale (never on screen), 4 "CPU",
// 7-10 constraint captions, 11-13 and 16 results, 14 frequency, 15 voltage. 5 and 6 unused.
extern GtkWidget *label[17];
// Constraint spin buttons in slots 2 (area) to 5 (TSV bandwidth); 0 and 1 unused.
extern GtkWidget *spin_button[6];

// The controls that only the window holds, for callers that drive it.
struct ExplorerWindow {
    GtkWidget *window;
    GtkWidget *option_box[5]; // workload, memory, transistor, core kind, technology node
    GtkWidget *best_button;
    GtkWidget *lock_button[3]; // "core number", "cache size", "Vdd"
    GtkWidget *gauge;
};

// Builds the window with every control at its initial value, fills the widget tables and
// only then connects the handlers, so construction searches and prints nothing; it loads the
// selected options' ceilings (load_ceilings). The option boxes list the active model's options;
// the limits start at its start-up node's defaults. Closing the window ends the GTK main loop.
// The window is not shown.
ExplorerWindow build_explorer_window();
