#include "charts/limit_map_chart.h"

#include <algorithm>
#include <cmath>

#include "charts/drawing.h"

namespace {

constexpr Colour kNothing = {0.85, 0.85, 0.85};

bool ascending(const std::vector<double> &values) {
    if (values.empty())
        return false;
    for (size_t i = 0; i < values.size(); i++)
        if (!std::isfinite(values[i]) || (i > 0 && !(values[i] > values[i - 1])))
            return false;
    return true;
}

// Where each cell begins and ends along an axis: halfway to its neighbours.
std::vector<double> edges_of(const std::vector<double> &values) {
    const size_t n = values.size();
    std::vector<double> edges(n + 1);
    if (n == 1) {
        const double half = values[0] == 0 ? 0.5 : std::fabs(values[0]) / 2;
        return {values[0] - half, values[0] + half};
    }
    for (size_t i = 1; i < n; i++)
        edges[i] = (values[i - 1] + values[i]) / 2;
    edges[0] = values[0] - (values[1] - values[0]) / 2;
    edges[n] = values[n - 1] + (values[n - 1] - values[n - 2]) / 2;
    return edges;
}

bool drawable(const LimitMapChart &chart) {
    return ascending(chart.xs) && ascending(chart.ys) &&
           chart.speedup.size() == chart.xs.size() * chart.ys.size() &&
           std::isfinite(edges_of(chart.xs).back() - edges_of(chart.xs).front()) &&
           std::isfinite(edges_of(chart.ys).back() - edges_of(chart.ys).front());
}

// Hatching for which limits bind, within a rectangle: upright lines where the x limit binds (a
// wall across the x axis), level lines where the y limit binds, a grid where both do. The lines
// lie on one pattern over the whole picture, on pixel centres, so that neighbouring cells' pieces
// meet and stay sharp.
void add_hatching(cairo_t *cr, double x0, double y0, double x1, double y1, unsigned binding,
                  double spacing) {
    auto line = [&](double k) { return std::round(k * spacing) + 0.5; };
    if (binding & 1)
        for (double k = std::ceil(x0 / spacing - 1); line(k) < x1; k++)
            if (line(k) >= x0) {
                cairo_move_to(cr, line(k), y0);
                cairo_line_to(cr, line(k), y1);
            }
    if (binding & 2)
        for (double k = std::ceil(y0 / spacing - 1); line(k) < y1; k++)
            if (line(k) >= y0) {
                cairo_move_to(cr, x0, line(k));
                cairo_line_to(cr, x1, line(k));
            }
}

// A thin dark line on a wider light one: seen over dark and light colours alike, and without
// making the colour under it much lighter or darker.
void stroke_hatching(cairo_t *cr) {
    cairo_set_source_rgba(cr, 1, 1, 1, 0.4);
    cairo_set_line_width(cr, 3);
    cairo_stroke_preserve(cr);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.55);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
}

struct Map {
    std::vector<double> x_edges, y_edges; // in pixels
    double top_speedup;
};

void draw_cells(cairo_t *cr, const LimitMapChart &chart, const Map &m, double scale) {
    const size_t nx = chart.xs.size(), ny = chart.ys.size();
    const bool binding = chart.binding.size() == chart.speedup.size();
    auto colour = [&](size_t at) {
        const double v = chart.speedup[at];
        return std::isnan(v) ? kNothing : scale_colour(v / m.top_speedup);
    };
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    for (size_t j = 0; j < ny; j++)
        for (size_t i = 0; i < nx; i++) {
            set_colour(cr, colour(j * nx + i));
            cairo_rectangle(cr, m.x_edges[i], m.y_edges[j + 1], m.x_edges[i + 1] - m.x_edges[i],
                            m.y_edges[j] - m.y_edges[j + 1]);
            cairo_fill(cr);
        }
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
    if (!binding)
        return;
    cairo_new_path(cr);
    for (size_t j = 0; j < ny; j++)
        for (size_t i = 0; i < nx; i++)
            if (!std::isnan(chart.speedup[j * nx + i]))
                add_hatching(cr, m.x_edges[i], m.y_edges[j + 1], m.x_edges[i + 1], m.y_edges[j],
                             chart.binding[j * nx + i] & 3, 9 * scale);
    stroke_hatching(cr);
    // Lines between the regions where different limits bind.
    auto region = [&](size_t at) {
        return std::isnan(chart.speedup[at]) ? -1 : int(chart.binding[at] & 3);
    };
    cairo_new_path(cr);
    for (size_t j = 0; j < ny; j++)
        for (size_t i = 0; i < nx; i++) {
            const int here = region(j * nx + i);
            if (here < 0)
                continue;
            if (i + 1 < nx && region(j * nx + i + 1) >= 0 && region(j * nx + i + 1) != here) {
                cairo_move_to(cr, m.x_edges[i + 1], m.y_edges[j]);
                cairo_line_to(cr, m.x_edges[i + 1], m.y_edges[j + 1]);
            }
            if (j + 1 < ny && region((j + 1) * nx + i) >= 0 && region((j + 1) * nx + i) != here) {
                cairo_move_to(cr, m.x_edges[i], m.y_edges[j + 1]);
                cairo_line_to(cr, m.x_edges[i + 1], m.y_edges[j + 1]);
            }
        }
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_SQUARE);
    stroke_black_on_white(cr, 3.2 * scale, 1.4 * scale);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
}

// The legend's swatches in rows from left to right within width; returns the rows' height.
double legend(cairo_t *cr, double x, double y, double width, double scale,
              const LimitMapChart &chart, bool draw) {
    const std::string x_name = chart.x_name.empty() ? chart.x_label : chart.x_name;
    const std::string y_name = chart.y_name.empty() ? chart.y_label : chart.y_name;
    const struct {
        std::string label;
        int binding; // -1: nothing meets the limits
    } entries[] = {{x_name + " binds", 1},
                   {y_name + " binds", 2},
                   {"both bind", 3},
                   {"neither binds", 0},
                   {"nothing meets the limits", -1}};
    const double box = 14 * scale, gap = 6 * scale, spacing = 20 * scale, row = 20 * scale;
    const double size = 12 * scale;
    double at = 0;
    int rows = 1;
    for (const auto &entry : entries) {
        const double label = std::fmin(text_width(cr, entry.label, size), width - box - gap);
        if (at > 0 && at + box + gap + label > width) {
            at = 0;
            rows++;
        }
        if (draw) {
            const double x0 = x + at, y0 = y + (rows - 1) * row + (row - box) / 2;
            cairo_new_path(cr);
            cairo_rectangle(cr, x0, y0, box, box);
            set_colour(cr, entry.binding < 0 ? kNothing : scale_colour(0.3));
            cairo_fill(cr);
            if (entry.binding > 0) {
                add_hatching(cr, x0, y0, x0 + box, y0 + box, entry.binding, 5 * scale);
                stroke_hatching(cr);
            }
            cairo_rectangle(cr, x0 + 0.5, y0 + 0.5, box - 1, box - 1);
            cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
            cairo_set_line_width(cr, 1);
            cairo_stroke(cr);
            cairo_set_source_rgb(cr, 0, 0, 0);
            text_at(cr, x0 + box + gap, y0 + box / 2 + 4 * scale, entry.label, size, Align::Left,
                    false, width - box - gap);
        }
        at += box + gap + label + spacing;
    }
    return rows * row;
}

} // namespace

void draw_limit_map_chart(cairo_t *cr, int width, int height, const LimitMapChart &chart) {
    const double s = text_scale(width, height);
    cairo_save(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    // The map's box on whole pixels, so that its frame is crisp.
    const double left = std::round(80 * s);
    const double right = std::fmax(left + 10, std::round(width - 110 * s));
    const double top = std::round(
        draw_header(cr, left, s, width - left - 8 * s, chart.title, chart.notes) + 32 * s);
    const double legend_height = legend(cr, left, 0, width - left - 8 * s, s, chart, false);
    const double bottom = std::fmax(top + 10, std::round(height - legend_height - 60 * s));

    Map m{{}, {}, 1};
    if (drawable(chart)) {
        const std::vector<double> xe = edges_of(chart.xs), ye = edges_of(chart.ys);
        const LinearAxis x =
            linear_axis(xe.front(), xe.back(), left, right, int((right - left) / (90 * s)), false);
        const LinearAxis y =
            linear_axis(ye.front(), ye.back(), bottom, top, int((bottom - top) / (45 * s)), false);
        for (double e : xe)
            m.x_edges.push_back(x.at(e));
        for (double e : ye)
            m.y_edges.push_back(y.at(e));
        m.top_speedup = 0;
        for (double v : chart.speedup)
            if (std::isfinite(v))
                m.top_speedup = std::fmax(m.top_speedup, v);
        m.top_speedup = m.top_speedup > 0 ? m.top_speedup : 1;
        cairo_save(cr);
        cairo_rectangle(cr, left, top, right - left, bottom - top);
        cairo_clip(cr);
        draw_cells(cr, chart, m, s);
        cairo_restore(cr);
        draw_vertical_axis(cr, y, left, left, s);
        draw_horizontal_axis(cr, x, bottom, s);
    } else {
        cairo_set_source_rgb(cr, 0, 0, 0);
        text_at(cr, (left + right) / 2, (top + bottom) / 2, "nothing to show", 13 * s,
                Align::Centre);
    }
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, left + 0.5, top + 0.5, right - left - 1, bottom - top - 1);
    cairo_stroke(cr);
    text_at(cr, (left + right) / 2, bottom + 38 * s, chart.x_label, 13 * s, Align::Centre);
    upright_text_at(cr, left - 52 * s, (top + bottom) / 2, chart.y_label, 13 * s);
    draw_colour_bar(cr, right + 28 * s, top, bottom - top, m.top_speedup, s);
    legend(cr, left, bottom + 50 * s, width - left - 8 * s, s, chart, true);
    cairo_restore(cr);
}
