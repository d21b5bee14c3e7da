// The model against real chips in one picture: each published figure (a chip's clock, area or
// power) as a mark at (published, predicted) on log axes, one marker shape per figure, with the
// line y = x where the model would be exact and dashed lines where it is off by a factor of 2.
#pragma once

#include <string>
#include <vector>

#include <cairo.h>

struct ValidationMark {
    double published, predicted;
    int figure;       // index into ValidationChart::figure_labels
    std::string chip; // written beside the mark
};

struct ValidationChart {
    std::string title;
    std::vector<std::string> notes;
    std::vector<std::string> figure_labels; // "clock (GHz)", "area (mm^2)", "power (W)"
    std::vector<ValidationMark> marks;
};

void draw_validation_chart(cairo_t *cr, int width, int height, const ValidationChart &chart);
