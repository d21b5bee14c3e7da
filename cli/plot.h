// A picture of one scale step of the design space: speedup over core count and L2 cache size
// as a heat map, the configurations that break a limit greyed, the line along which each limit
// cuts the space, and the best configuration marked. The content is the design-space map's
// (spacemap/space_map.h), built from the tool's request; the drawing is the charts library's.
#pragma once

#include <string>

#include "charts/image_file.h"
#include "charts/space_chart.h"
#include "study/design.h"

struct PlotData {
    Request request; // with its scale step held
    LimitValues limits;
    OperatingPoint point; // supply and frequency of the held step
};

// Without a held scale step, the picture shows the step of the best configuration (1.0 when
// nothing meets the limits).
PlotData plot_data(const Request &request);

// The picture's content as the charts library draws it.
SpaceChart plot_chart(const PlotData &data);

// Where the heat map's cells lie in the picture, in pixels (PNG) or points (SVG).
struct PlotGeometry {
    int width, height;
    double left, top;               // top left corner of the heat map
    double cell_width, cell_height; // one core count by one cache size
    double cell_x(int cores) const; // centre of the column of a core-count index
    double cell_y(int cache) const; // centre of the row of a cache-size index (largest on top)
};
PlotGeometry plot_geometry();

// Draws the picture into path, through a temporary file in the same folder, so that a failed
// write leaves no partial picture. Returns an empty string or why the file was not written.
std::string write_plot(const PlotData &data, const std::string &path, ImageFormat format);
