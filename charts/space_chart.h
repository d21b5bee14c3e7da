// The design-space map: speedup over core count and L2 cache size at one scale step as a heat
// map, the configurations that break a limit greyed, the line along which each limit cuts the
// space, and the best configuration marked; with a colour bar, titles and a legend.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <cairo.h>

// A limit shown on the map: "area", "mm^2", 221.88.
struct SpaceChartLimit {
    std::string caption, unit;
    double value;
};

// One configuration. breaks is indexed like SpaceChart::limits; the figures are for the caller
// to show (a window's tooltip), the map draws the speedup.
struct SpaceChartCell {
    double speedup = 0;
    bool breaks[4] = {};
    double area = 0, power = 0, bandwidth = 0, bandwidth_tsv = 0;
    bool feasible() const { return !breaks[0] && !breaks[1] && !breaks[2] && !breaks[3]; }
};

struct SpaceChart {
    std::string title;
    std::string subtitle;           // options, scale step and operating point
    std::vector<std::string> notes; // further lines under the subtitle (the model in use)
    std::vector<double> core_counts, cache_sizes; // the axes, ascending
    // Axis values to label; values not on the axis are left out. None: labels evenly spaced.
    std::vector<double> core_ticks, cache_ticks;
    std::vector<SpaceChartCell> cells; // cache-major: cells[cache * core_counts.size() + cores]
    // Up to 4 (area, power, off-chip bandwidth, TSV bandwidth); none is not shown. The legend
    // keeps a line for each entry, so that the map stays in place whichever are shown.
    std::vector<std::optional<SpaceChartLimit>> limits;
    std::optional<std::pair<int, int>> best;  // (cache, cores) of the best configuration
    std::optional<std::pair<int, int>> shown; // (cache, cores) of a configuration on show
    std::string best_text;                    // "best: 16 cores, ..." or why there is none
    std::string shown_text;                   // beside best_text, when shown is set
};

// Where the map's cells lie in a picture of width x height (pixels, or points for SVG).
struct SpaceChartLayout {
    double scale;                   // of the text and margins (text_scale)
    double left, top;               // top left corner of the map
    double cell_width, cell_height; // one core count by one cache size
    int columns, rows;              // core counts, cache sizes
    double cell_x(int cores) const; // centre of a core-count index's column
    double cell_y(int cache) const; // centre of a cache-size index's row (largest on top)
};
SpaceChartLayout space_chart_layout(int width, int height, const SpaceChart &chart);

void draw_space_chart(cairo_t *cr, int width, int height, const SpaceChart &chart);

// The (cache, cores) cell under a point of the picture drawn at width x height, for hovering;
// none outside the map.
std::optional<std::pair<int, int>> space_chart_cell_at(int width, int height,
                                                       const SpaceChart &chart, double x, double y);
