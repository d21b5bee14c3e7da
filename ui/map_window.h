// The design-space map beside the explorer window: speedup over core count and cache size at
// the scale step on show, drawn by the charts library from the design state as the explorer
// leaves it, with the best configuration and the configuration on show marked.
#pragma once

#include <gtk/gtk.h>

#include "charts/space_chart.h"
#include "ui/window.h"

// The map of the design state: the options and limits in force at the scale step on show, run
// at the operating point on show (FRE, VDD_G) with the configuration on show marked; before
// anything is on show (no supply and no frequency yet), at the step's own operating point.
// Reads the state and changes nothing; prints nothing.
SpaceChart design_state_map();

// Opens the map as a second top-level window beside the explorer, shown. After every action in
// the explorer the map is built again once the main loop is idle: after the explorer's handlers
// have finished and its window has drawn, and once for a burst of actions. The map closes with
// the explorer; closing the map alone leaves the explorer as it is.
GtkWidget *open_map_window(const ExplorerWindow &explorer);

// For tests: the map's content as last built, and how many times it has been built.
const SpaceChart &map_window_chart(GtkWidget *map);
int map_window_builds(GtkWidget *map);
