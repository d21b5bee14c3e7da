#include "cli/plot.h"

#include <algorithm>
#include <iterator>

#include "charts/drawing.h"
#include "model/model.h"
#include "model/tables.h"

namespace {

constexpr int kWidth = 900, kHeight = 860;

// What the picture's layout depends on: the axes, a legend line for each limit and the notes.
SpaceChart chart_frame() {
    const Model &m = active_model();
    SpaceChart chart;
    chart.core_counts.assign(m.core_counts.begin(), m.core_counts.end());
    chart.cache_sizes.assign(m.cache_sizes.begin(), m.cache_sizes.end());
    chart.core_ticks = {1, 4, 8, 16, 32, 48, 64, 96, 128, 160, 192};
    chart.cache_ticks = {1, 8, 64, 128, 192, 256, 320, 384, 448, 512};
    chart.limits.resize(4);
    // The model in use, so that a picture in a paper says what it rests on.
    chart.notes.push_back("Model: " + m.source + ", parallel fraction " +
                          shortest(m.parallel_fraction));
    return chart;
}

} // namespace

PlotData plot_data(const Request &request) {
    PlotData d{request, limits_in_force(request.options, request.limits), {}, {}, {}};
    Holds &h = d.request.holds;
    h.cores.reset();
    h.cache.reset();
    if (!h.scale) {
        const BestConfiguration overall = search_best(d.request);
        h.scale = overall.feasible ? overall.scale : 0;
    }
    d.point = held_operating_point(d.request.options, h);
    d.grid = space(d.request);
    d.best = search_best(d.request);
    return d;
}

SpaceChart plot_chart(const PlotData &d) {
    const Model &m = active_model();
    SpaceChart chart = chart_frame();
    chart.title = "Speedup over core count and L2 cache size";
    chart.subtitle = describe(d.request.options) + ", scale step " +
                     number("%.1f", m.scale_steps[*d.request.holds.scale]) + " (" +
                     number("%.3f", d.point.vdd) + " V, " + number("%.3f", d.point.freq) + " GHz)";
    chart.cells.resize(chart.core_counts.size() * chart.cache_sizes.size());
    for (const SpaceRow &row : d.grid) {
        SpaceChartCell &c = chart.cells[size_t(row.cache) * kCoreCounts + row.cores];
        c.speedup = row.figures.speedup;
        std::copy(std::begin(row.breaks), std::end(row.breaks), c.breaks);
        c.area = row.figures.area;
        c.power = row.figures.power;
        c.bandwidth = row.figures.bandwidth;
        c.bandwidth_tsv = row.figures.bandwidth_tsv;
    }
    chart.limits[0] = SpaceChartLimit{"area", "mm^2", d.limits.area};
    chart.limits[1] = SpaceChartLimit{"power", "W", d.limits.power};
    chart.limits[2] = SpaceChartLimit{"off-chip bandwidth", "GB/s", d.limits.bandwidth};
    if (d.request.options.memory != 0)
        chart.limits[3] = SpaceChartLimit{"TSV bandwidth", "GB/s", d.limits.tsv};
    const BestConfiguration &b = d.best;
    if (b.feasible) {
        chart.best = std::pair{b.cache, b.cores};
        chart.best_text = "best: " + number("%.0f", m.core_counts[b.cores]) + " cores, " +
                          number("%.0f", m.cache_sizes[b.cache]) + " MB L2 cache, speedup " +
                          number("%.4f", b.speedup);
    } else {
        chart.best_text = "No configuration at this scale step meets the limits.";
    }
    return chart;
}

double PlotGeometry::cell_x(int cores) const {
    return left + (cores + 0.5) * cell_width;
}

double PlotGeometry::cell_y(int cache) const {
    return top + (kCacheSizes - 1 - cache + 0.5) * cell_height;
}

PlotGeometry plot_geometry() {
    const SpaceChartLayout g = space_chart_layout(kWidth, kHeight, chart_frame());
    return PlotGeometry{kWidth, kHeight, g.left, g.top, g.cell_width, g.cell_height};
}

std::string write_plot(const PlotData &data, const std::string &path, ImageFormat format) {
    const SpaceChart chart = plot_chart(data);
    return write_image(path, format, kWidth, kHeight, [&](cairo_t *cr, int width, int height) {
        draw_space_chart(cr, width, height, chart);
    });
}
