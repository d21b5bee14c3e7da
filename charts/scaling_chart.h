// Best speedup and its core count over technology nodes: two panels that share the node axis,
// best speedup on top and the chosen core count (a log2 axis) below, a line with markers per
// series, broken where nothing meets the limits at a node.
#pragma once

#include <string>
#include <vector>

#include <cairo.h>

// One entry per node; an entry missing at the end of a list is a node without a result.
struct ScalingSeries {
    std::string label;
    std::vector<bool> feasible;
    std::vector<double> speedup, cores;
};

struct ScalingChart {
    std::string title;
    std::vector<std::string> notes; // lines under the title
    std::vector<std::string> nodes; // "90nm", "65nm", ...
    std::vector<ScalingSeries> series;
};

void draw_scaling_chart(cairo_t *cr, int width, int height, const ScalingChart &chart);
