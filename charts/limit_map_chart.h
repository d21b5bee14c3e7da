// Best speedup over two limits: speedup as colour (the design-space map's scale), grey where
// nothing meets the limits, and which limit binds as hatching, with lines between the regions.
#pragma once

#include <string>
#include <vector>

#include <cairo.h>

struct LimitMapChart {
    std::string title;
    std::vector<std::string> notes; // lines under the title
    std::string x_label, y_label;   // the axes: "power limit (W)"
    std::string x_name, y_name;     // the limits in the legend: "power"; the labels if empty
    std::vector<double> xs, ys;     // the limits' values, ascending
    std::vector<double> speedup;    // ys.size() * xs.size(), y-major: speedup[y * xs.size() + x];
                                    // NaN: nothing meets the limits
    std::vector<unsigned char> binding; // the same shape (or empty): bit 0 the x limit binds,
                                        // bit 1 the y limit binds
};

// Values not ascending or not finite, or a speedup table of another shape, draw an empty map
// that says so; a binding table of another shape is not shown. Onto a vector surface (an SVG
// file) evenly spaced cells go as one image of a pixel per cell, at most 1000 a side (evenly
// spaced samples of the cells beyond that), and hatching and borders as whole straight runs, so
// that the file stays small: about 70 KB for 200 x 200 points.
void draw_limit_map_chart(cairo_t *cr, int width, int height, const LimitMapChart &chart);
