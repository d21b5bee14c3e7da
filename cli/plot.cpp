#include "cli/plot.h"

#include "model/tables.h"
#include "pictures/drawing_module.h"
#include "spacemap/space_map.h"

namespace {

constexpr int kWidth = 900, kHeight = 860;

} // namespace

PlotData plot_data(const Request &request) {
    PlotData d{request, limits_in_force(request.options, request.limits), {}};
    Holds &h = d.request.holds;
    h.cores.reset();
    h.cache.reset();
    if (!h.scale) {
        const BestConfiguration overall = search_best(d.request);
        h.scale = overall.feasible ? overall.scale : 0;
    }
    d.point = held_operating_point(d.request.options, h);
    return d;
}

SpaceChart plot_chart(const PlotData &d) {
    return space_map(spec_of(d.request), d.point.vdd, d.point.freq);
}

double PlotGeometry::cell_x(int cores) const {
    return left + (cores + 0.5) * cell_width;
}

double PlotGeometry::cell_y(int cache) const {
    return top + (kCacheSizes - 1 - cache + 0.5) * cell_height;
}

PlotGeometry plot_geometry() {
    std::string error;
    const DrawingModule *drawing = drawing_module(error);
    if (drawing == nullptr)
        return PlotGeometry{kWidth, kHeight, 0, 0, 0, 0};
    const SpaceChartLayout g = drawing->space_chart_layout(kWidth, kHeight, space_map_frame());
    return PlotGeometry{kWidth, kHeight, g.left, g.top, g.cell_width, g.cell_height};
}

std::string write_plot(const PlotData &data, const std::string &path, ImageFormat format) {
    std::string error;
    const DrawingModule *drawing = drawing_module(error);
    if (drawing == nullptr)
        return error;
    const SpaceChart chart = plot_chart(data);
    return drawing->write_image(path, format, kWidth, kHeight,
                                [&](cairo_t *cr, int width, int height) {
                                    drawing->draw_space_chart(cr, width, height, chart);
                                });
}
