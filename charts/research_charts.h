// The research commands' pictures: a Pareto front over the whole design space, and a tornado
// chart of how the best speedup changes as each assumption moves.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <cairo.h>

// Every configuration as a dot at (x, y), those within the limits darker than those that break
// one, the front's configurations as larger marks joined in x order, coloured by a third figure
// when there is one, and the limits on either axis as lines.
struct ParetoChart {
    std::string title;
    std::vector<std::string> notes;
    std::string x_label, y_label;
    std::vector<double> x, y;          // every configuration
    std::vector<unsigned char> within; // meets every limit
    std::vector<double> front_x, front_y;
    std::vector<double> front_colour; // the third objective's figure; empty with two
    std::string colour_label;         // its name and unit, and which way is better
    std::optional<double> x_limit, y_limit;
    bool log_x = false, log_y = false; // an axis that spans decades (energy), as log10
};
void draw_pareto_chart(cairo_t *cr, int width, int height, const ParetoChart &chart);

// A bar per field, from the change at its low end to that at its high end (percent of the
// optimum's speedup), largest first from the top; the low end's bar blue and the high end's
// orange; a field at whose end no configuration meets the limits is marked at the axis's edge.
struct TornadoBar {
    std::string label;
    double low, high; // change in percent; NaN: no configuration at that end
    bool optimum_moves;
};
struct TornadoChart {
    std::string title;
    std::vector<std::string> notes;
    std::string axis_label;
    std::vector<TornadoBar> bars;
};
void draw_tornado_chart(cairo_t *cr, int width, int height, const TornadoChart &chart);

// The height a tornado chart of so many bars needs at the full width.
int tornado_chart_height(size_t bars);
