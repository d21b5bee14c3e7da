#include "charts/scaling_chart.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>

#include "charts/drawing.h"

namespace {

// A series' value at a node, when it has one that a panel can show (a log axis shows no value
// below 1 core).
std::optional<double> value_at(const ScalingSeries &series, const std::vector<double> &values,
                               size_t node, bool log) {
    if (node >= series.feasible.size() || !series.feasible[node] || node >= values.size())
        return std::nullopt;
    const double v = values[node];
    if (!std::isfinite(v) || (log && v < 1))
        return std::nullopt;
    return v;
}

struct Panel {
    double top, bottom;
    std::function<double(double)> y; // a value's position
    bool log;
};

// The lines and markers of every series in one panel. Series at the same node sit a little
// apart, so that equal values stay visible.
void draw_series(cairo_t *cr, const ScalingChart &chart, const Panel &panel,
                 std::vector<double> ScalingSeries::*values, const std::vector<double> &node_x,
                 double spacing, double scale) {
    const size_t count = chart.series.size();
    const double apart = std::fmin(4 * scale, 0.3 * spacing / double(std::max<size_t>(count, 1)));
    for (size_t k = 0; k < count; k++) {
        const ScalingSeries &series = chart.series[k];
        const SeriesStyle &style = series_style(k);
        const double shift = (double(k) - (double(count) - 1) / 2) * apart;
        cairo_new_path(cr);
        bool joined = false;
        for (size_t i = 0; i < node_x.size(); i++) {
            const std::optional<double> v = value_at(series, series.*values, i, panel.log);
            if (!v) {
                joined = false;
                continue;
            }
            if (joined)
                cairo_line_to(cr, node_x[i] + shift, panel.y(*v));
            else
                cairo_move_to(cr, node_x[i] + shift, panel.y(*v));
            joined = true;
        }
        stroke_series(cr, style, 2 * scale);
        for (size_t i = 0; i < node_x.size(); i++)
            if (const std::optional<double> v = value_at(series, series.*values, i, panel.log))
                draw_marker(cr, node_x[i] + shift, panel.y(*v), 4 * scale, style);
    }
}

void frame(cairo_t *cr, double left, double top, double right, double bottom) {
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, std::round(left) + 0.5, std::round(top) + 0.5,
                    std::round(right) - std::round(left), std::round(bottom) - std::round(top));
    cairo_stroke(cr);
}

} // namespace

void draw_scaling_chart(cairo_t *cr, int width, int height, const ScalingChart &chart) {
    std::vector<std::string> labels;
    for (const ScalingSeries &series : chart.series)
        labels.push_back(series.label);
    const ChartFrame f = begin_chart(cr, width, height, chart.title, chart.notes, labels, 30);
    const double s = f.scale, left = f.left, right = f.right, top = f.top, bottom = f.bottom;
    const double gap = 22 * s, split = top + (bottom - top - gap) * 0.55;

    double top_speedup = 0, top_cores = 1;
    for (const ScalingSeries &series : chart.series)
        for (size_t i = 0; i < chart.nodes.size(); i++) {
            top_speedup =
                std::fmax(top_speedup, value_at(series, series.speedup, i, false).value_or(0));
            top_cores = std::fmax(top_cores, value_at(series, series.cores, i, true).value_or(1));
        }
    // The axes end a little below the frames, so that no marker sits on one.
    const double pad = 8 * s;
    const LinearAxis speedup =
        linear_axis(0, top_speedup, split, top + pad, int((split - top) / (40 * s)), true);
    // Cores on a log2 axis from 1 to the power of two at or above the most.
    const int powers = std::max(1, int(std::ceil(std::log2(top_cores) - 1e-9)));
    const double lower_top = split + gap;
    const Panel upper{top, split, [&](double v) { return speedup.at(v); }, false};
    const Panel lower{
        lower_top, bottom,
        [&](double v) { return bottom - std::log2(v) / powers * (bottom - lower_top - pad); },
        true};

    const size_t n = chart.nodes.size();
    const double spacing = (right - left) / double(std::max<size_t>(n, 1));
    std::vector<double> node_x;
    for (size_t i = 0; i < n; i++)
        node_x.push_back(std::round(left + (double(i) + 0.5) * spacing) + 0.5);

    // Grid lines and the tick labels of both panels.
    draw_vertical_axis(cr, speedup, left, right, s);
    const int every = std::max(1, int(std::ceil(powers * 14 * s / (bottom - lower_top - pad))));
    for (int e = 0; e <= powers; e += every) {
        const double y = std::round(lower.y(std::ldexp(1.0, e))) + 0.5;
        draw_tick_line(cr, y, left, right, s);
        text_at(cr, left - 7 * s, y + 4 * s, number("%.0f", std::ldexp(1.0, e)), 11 * s,
                Align::Right);
    }
    cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
    for (double x : node_x) {
        cairo_move_to(cr, x, top);
        cairo_line_to(cr, x, split);
        cairo_move_to(cr, x, lower_top);
        cairo_line_to(cr, x, bottom);
    }
    cairo_stroke(cr);

    cairo_save(cr);
    cairo_rectangle(cr, left - 6 * s, top - 6 * s, right - left + 12 * s, split - top + 12 * s);
    cairo_clip(cr);
    draw_series(cr, chart, upper, &ScalingSeries::speedup, node_x, spacing, s);
    cairo_restore(cr);
    cairo_save(cr);
    cairo_rectangle(cr, left - 6 * s, lower_top - 6 * s, right - left + 12 * s,
                    bottom - lower_top + 12 * s);
    cairo_clip(cr);
    draw_series(cr, chart, lower, &ScalingSeries::cores, node_x, spacing, s);
    cairo_restore(cr);

    frame(cr, left, top, right, split);
    frame(cr, left, lower_top, right, bottom);
    const double bottom_edge = std::round(bottom) + 0.5;
    for (size_t i = 0; i < n; i++) {
        cairo_move_to(cr, node_x[i], bottom_edge);
        cairo_line_to(cr, node_x[i], bottom_edge + 5 * s);
        cairo_stroke(cr);
        text_at(cr, node_x[i], bottom + 18 * s, chart.nodes[i], 11 * s, Align::Centre, false,
                spacing - 4 * s);
    }
    text_at(cr, (left + right) / 2, bottom + 38 * s, "technology node", 13 * s, Align::Centre);
    upright_text_at(cr, left - 46 * s, (top + split) / 2, "best speedup", 13 * s);
    upright_text_at(cr, left - 46 * s, (lower_top + bottom) / 2, "cores", 13 * s);
    if (n == 0)
        text_at(cr, (left + right) / 2, (top + split) / 2, "nothing to show", 13 * s,
                Align::Centre);
    series_legend(cr, left, bottom + 50 * s, right - left, s, labels, true);
    cairo_restore(cr);
}
