#include "charts/limit_map_chart.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>

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

// The cells as drawn: the chart's, or for a file of vector graphics with more cells along an axis
// than kMostSamples, that many evenly spaced samples of them along it (the cell each sample's
// centre falls in, as a picture in memory shows them), so that the file's size stays bounded.
// Rows go upwards, as the y values do.
struct Cells {
    std::vector<double> x_edges, y_edges; // in pixels
    std::vector<size_t> column, row;      // the chart's column and row of each
};

constexpr size_t kMostSamples = 1000;

// The cells along one axis between edges (in pixels, ascending or descending): the edges and the
// index of each cell, or of the cell under each of most evenly spaced samples if there are more.
void sample_axis(const std::vector<double> &edges, size_t most, std::vector<double> &sampled,
                 std::vector<size_t> &index) {
    const size_t n = edges.size() - 1;
    if (n <= most) {
        sampled = edges;
        for (size_t i = 0; i < n; i++)
            index.push_back(i);
        return;
    }
    const double from = edges.front(), span = edges.back() - edges.front();
    for (size_t k = 0; k <= most; k++)
        sampled.push_back(k == most ? edges.back() : from + span * double(k) / double(most));
    size_t i = 0;
    for (size_t k = 0; k < most; k++) {
        const double centre = (sampled[k] + sampled[k + 1]) / 2;
        while (i + 1 < n && (span > 0 ? edges[i + 1] <= centre : edges[i + 1] >= centre))
            i++;
        index.push_back(i);
    }
}

// Whether the cells between edges are all of one width, to within a thousandth of a pixel.
bool even(const std::vector<double> &edges) {
    const size_t n = edges.size() - 1;
    const double width = (edges.back() - edges.front()) / double(n);
    for (size_t i = 0; i <= n; i++)
        if (std::fabs(edges[i] - (edges.front() + width * double(i))) > 1e-3)
            return false;
    return true;
}

// Whether drawing goes anywhere but a picture in memory: a file of vector graphics, a recording.
bool vector_target(cairo_t *cr) {
    return cairo_surface_get_type(cairo_get_target(cr)) != CAIRO_SURFACE_TYPE_IMAGE;
}

// Into a file of vector graphics, cells of even widths and heights go as one small image of a
// pixel per cell, scaled up without smoothing, rather than as a rectangle each: a fraction of the
// size. Returns false, having drawn nothing, for anything else.
bool draw_cells_as_image(cairo_t *cr, size_t chart_columns, const Cells &c,
                         const std::function<Colour(size_t)> &colour) {
    if (!vector_target(cr) || !even(c.x_edges) || !even(c.y_edges))
        return false;
    const size_t columns = c.column.size(), rows = c.row.size();
    cairo_surface_t *image =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, int(columns), int(rows));
    if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(image);
        return false;
    }
    // A colour channel as cairo stores a colour given as doubles in a pixel.
    auto channel = [](double level) { return uint32_t(level * 65535.0 + 0.5) >> 8 & 0xff; };
    unsigned char *data = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    for (size_t j = 0; j < rows; j++) {
        auto *pixels = reinterpret_cast<uint32_t *>(data + (rows - 1 - j) * size_t(stride));
        for (size_t i = 0; i < columns; i++) {
            const Colour k = colour(c.row[j] * chart_columns + c.column[i]);
            pixels[i] = channel(k.r) << 16 | channel(k.g) << 8 | channel(k.b);
        }
    }
    cairo_surface_mark_dirty(image);
    cairo_save(cr);
    cairo_translate(cr, c.x_edges.front(), c.y_edges.back());
    cairo_scale(cr, (c.x_edges.back() - c.x_edges.front()) / double(columns),
                (c.y_edges.front() - c.y_edges.back()) / double(rows));
    cairo_set_source_surface(cr, image, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_rectangle(cr, 0, 0, double(columns), double(rows));
    cairo_fill(cr);
    cairo_restore(cr);
    cairo_surface_destroy(image);
    return true;
}

void draw_cells(cairo_t *cr, const LimitMapChart &chart, const Map &m, double scale) {
    const size_t nx = chart.xs.size(), ny = chart.ys.size();
    const bool binding = chart.binding.size() == chart.speedup.size();
    auto colour = [&](size_t at) {
        const double v = chart.speedup[at];
        return std::isnan(v) ? kNothing : scale_colour(v / m.top_speedup);
    };
    Cells c;
    const size_t most = vector_target(cr) ? kMostSamples : std::max(nx, ny);
    sample_axis(m.x_edges, most, c.x_edges, c.column);
    sample_axis(m.y_edges, most, c.y_edges, c.row);
    const size_t columns = c.column.size(), rows = c.row.size();
    auto at = [&](size_t i, size_t j) { return c.row[j] * nx + c.column[i]; };
    if (!draw_cells_as_image(cr, nx, c, colour)) {
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
        for (size_t j = 0; j < rows; j++)
            for (size_t i = 0; i < columns; i++) {
                set_colour(cr, colour(at(i, j)));
                cairo_rectangle(cr, c.x_edges[i], c.y_edges[j + 1], c.x_edges[i + 1] - c.x_edges[i],
                                c.y_edges[j] - c.y_edges[j + 1]);
                cairo_fill(cr);
            }
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
    }
    if (!binding)
        return;
    // The hatching's lines run on across neighbouring cells where the same limit binds: one
    // line each, not a piece per cell.
    auto bits = [&](size_t i, size_t j) {
        return std::isnan(chart.speedup[at(i, j)]) ? 0u : unsigned(chart.binding[at(i, j)] & 3);
    };
    const double spacing = 9 * scale;
    auto line = [&](double k) { return std::round(k * spacing) + 0.5; };
    cairo_new_path(cr);
    for (size_t i = 0; i < columns; i++) {
        const double x0 = c.x_edges[i], x1 = c.x_edges[i + 1];
        for (double k = std::ceil(x0 / spacing - 1); line(k) < x1; k++) {
            if (line(k) < x0)
                continue;
            for (size_t j = 0; j < rows; j++) {
                if (!(bits(i, j) & 1))
                    continue;
                const size_t from = j;
                while (j + 1 < rows && (bits(i, j + 1) & 1))
                    j++;
                cairo_move_to(cr, line(k), c.y_edges[j + 1]);
                cairo_line_to(cr, line(k), c.y_edges[from]);
            }
        }
    }
    for (size_t j = 0; j < rows; j++) {
        const double y0 = c.y_edges[j + 1], y1 = c.y_edges[j];
        for (double k = std::ceil(y0 / spacing - 1); line(k) < y1; k++) {
            if (line(k) < y0)
                continue;
            for (size_t i = 0; i < columns; i++) {
                if (!(bits(i, j) & 2))
                    continue;
                const size_t from = i;
                while (i + 1 < columns && (bits(i + 1, j) & 2))
                    i++;
                cairo_move_to(cr, c.x_edges[from], line(k));
                cairo_line_to(cr, c.x_edges[i + 1], line(k));
            }
        }
    }
    stroke_hatching(cr);
    // Lines between the regions where different limits bind, each as long as the border runs
    // straight.
    auto region = [&](size_t i, size_t j) {
        return std::isnan(chart.speedup[at(i, j)]) ? -1 : int(chart.binding[at(i, j)] & 3);
    };
    auto between_columns = [&](size_t i, size_t j) {
        return region(i, j) >= 0 && region(i + 1, j) >= 0 && region(i, j) != region(i + 1, j);
    };
    auto between_rows = [&](size_t i, size_t j) {
        return region(i, j) >= 0 && region(i, j + 1) >= 0 && region(i, j) != region(i, j + 1);
    };
    cairo_new_path(cr);
    for (size_t i = 0; i + 1 < columns; i++)
        for (size_t j = 0; j < rows; j++) {
            if (!between_columns(i, j))
                continue;
            const size_t from = j;
            while (j + 1 < rows && between_columns(i, j + 1))
                j++;
            cairo_move_to(cr, c.x_edges[i + 1], c.y_edges[from]);
            cairo_line_to(cr, c.x_edges[i + 1], c.y_edges[j + 1]);
        }
    for (size_t j = 0; j + 1 < rows; j++)
        for (size_t i = 0; i < columns; i++) {
            if (!between_rows(i, j))
                continue;
            const size_t from = i;
            while (i + 1 < columns && between_rows(i + 1, j))
                i++;
            cairo_move_to(cr, c.x_edges[from], c.y_edges[j + 1]);
            cairo_line_to(cr, c.x_edges[i + 1], c.y_edges[j + 1]);
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
