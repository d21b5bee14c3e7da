#include "charts/space_chart.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "charts/drawing.h"

namespace {

constexpr int kLimitKinds = 4;

// A configuration that breaks a limit keeps its speedup as a shade of grey.
Colour greyed(double t) {
    const double level = 0.45 + 0.45 * std::fmin(1.0, std::fmax(0.0, std::isnan(t) ? 0.0 : t));
    return {level, level, level};
}

struct LimitStyle {
    Colour colour;
    double dash[2];
    int dashes;
};

constexpr LimitStyle kLimitStyles[kLimitKinds] = {
    {{0.86, 0.08, 0.08}, {0, 0}, 0},
    {{1.0, 0.50, 0.0}, {7, 4}, 2},
    {{0.85, 0.15, 0.85}, {2.5, 2.5}, 2},
    {{0.0, 0.0, 0.0}, {9, 3}, 2},
};

// The shortest text that reads back to the same value: "46.44288", "102".
std::string shortest_text(double value) {
    char text[32];
    auto [stop, error] = std::to_chars(text, text + sizeof text, value);
    return error == std::errc() ? std::string(text, stop) : std::string("?");
}

// Room for the title, the subtitle, the notes, the best configuration's line and, under it,
// the line of the configuration on show.
double header_bottom(const SpaceChart &chart, double scale) {
    return (70 + 20 * double(chart.notes.size() + (chart.shown ? 1 : 0))) * scale;
}

int limit_count(const SpaceChart &chart) {
    return int(std::min<size_t>(chart.limits.size(), kLimitKinds));
}

bool has_cells(const SpaceChart &chart) {
    return !chart.cells.empty() &&
           chart.cells.size() == chart.core_counts.size() * chart.cache_sizes.size();
}

const SpaceChartCell &cell(const SpaceChart &chart, int cache, int cores) {
    return chart.cells[size_t(cache) * chart.core_counts.size() + cores];
}

bool in_range(const SpaceChartLayout &g, const std::optional<std::pair<int, int>> &at) {
    return at && at->first >= 0 && at->first < g.rows && at->second >= 0 && at->second < g.columns;
}

Colour cell_colour(const SpaceChartCell &c, double top_feasible, double top_overall) {
    return c.feasible() ? scale_colour(c.speedup / top_feasible) : greyed(c.speedup / top_overall);
}

// A colour channel as cairo stores a colour it fills with: 16 bits, of which an 8-bit
// picture keeps the top 8.
uint32_t channel(double level) {
    return uint32_t(level * 65535.0 + 0.5) >> 8 & 0xff;
}

// Into a picture in memory, the cells are one pixel each of a small image, scaled up without
// smoothing: a pixel takes the colour of the cell its centre falls in, as filling the cells
// one by one without antialiasing would give it, at a fraction of the cost (thousands of
// fills). Files of vector graphics get a rectangle per cell.
bool draw_cells_as_image(cairo_t *cr, const SpaceChart &chart, const SpaceChartLayout &g,
                         double top_feasible, double top_overall) {
    if (cairo_surface_get_type(cairo_get_target(cr)) != CAIRO_SURFACE_TYPE_IMAGE)
        return false;
    cairo_surface_t *cells = cairo_image_surface_create(CAIRO_FORMAT_RGB24, g.columns, g.rows);
    if (cairo_surface_status(cells) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(cells);
        return false;
    }
    unsigned char *data = cairo_image_surface_get_data(cells);
    const int stride = cairo_image_surface_get_stride(cells);
    for (int j = 0; j < g.rows; j++) {
        // The largest cache size on top.
        auto *row = reinterpret_cast<uint32_t *>(data + size_t(g.rows - 1 - j) * stride);
        for (int k = 0; k < g.columns; k++) {
            const Colour c = cell_colour(cell(chart, j, k), top_feasible, top_overall);
            row[k] = channel(c.r) << 16 | channel(c.g) << 8 | channel(c.b);
        }
    }
    cairo_surface_mark_dirty(cells);
    cairo_save(cr);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE); // the map's edges on whole pixels too
    cairo_rectangle(cr, g.left, g.top, g.cell_width * g.columns, g.cell_height * g.rows);
    cairo_clip(cr);
    cairo_translate(cr, g.left, g.top);
    cairo_scale(cr, g.cell_width, g.cell_height);
    cairo_set_source_surface(cr, cells, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_surface_destroy(cells);
    return true;
}

// The colour scale spans the speedups of the configurations that meet the limits; a greyed
// configuration is shaded against the highest speedup of all.
void draw_cells(cairo_t *cr, const SpaceChart &chart, const SpaceChartLayout &g,
                double top_feasible, double top_overall) {
    if (draw_cells_as_image(cr, chart, g, top_feasible, top_overall))
        return;
    // Whole pixels, so that neighbouring cells meet without a seam at any size.
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    for (int j = 0; j < g.rows; j++)
        for (int k = 0; k < g.columns; k++) {
            set_colour(cr, cell_colour(cell(chart, j, k), top_feasible, top_overall));
            cairo_rectangle(cr, g.cell_x(k) - g.cell_width / 2, g.cell_y(j) - g.cell_height / 2,
                            g.cell_width, g.cell_height);
            cairo_fill(cr);
        }
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
}

// The edges between neighbouring cells on either side of one limit.
void draw_limit_line(cairo_t *cr, const SpaceChart &chart, const SpaceChartLayout &g, int index) {
    const double w = g.cell_width / 2, h = g.cell_height / 2;
    cairo_new_path(cr);
    for (int j = 0; j < g.rows; j++)
        for (int k = 0; k < g.columns; k++) {
            const bool here = cell(chart, j, k).breaks[index];
            const double x = g.cell_x(k), y = g.cell_y(j);
            if (k + 1 < g.columns && cell(chart, j, k + 1).breaks[index] != here) {
                cairo_move_to(cr, x + w, y - h);
                cairo_line_to(cr, x + w, y + h);
            }
            if (j + 1 < g.rows && cell(chart, j + 1, k).breaks[index] != here) {
                cairo_move_to(cr, x - w, y - h);
                cairo_line_to(cr, x + w, y - h);
            }
        }
    const LimitStyle &style = kLimitStyles[index];
    set_colour(cr, style.colour);
    cairo_set_line_width(cr, 2.5 * g.scale);
    cairo_set_dash(cr, style.dash, style.dashes, 0);
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
}

// The indices of an axis to label: the asked-for values found on it, or evenly spaced ones.
std::vector<int> labelled(const std::vector<double> &axis, const std::vector<double> &wanted) {
    std::vector<int> indices;
    for (double value : wanted) {
        auto at = std::find(axis.begin(), axis.end(), value);
        if (at != axis.end())
            indices.push_back(int(at - axis.begin()));
    }
    if (indices.empty() && !axis.empty()) {
        const int step = std::max(1, int(axis.size()) / 8);
        for (int i = 0; i < int(axis.size()); i += step)
            indices.push_back(i);
    }
    return indices;
}

void draw_axes(cairo_t *cr, const SpaceChart &chart, const SpaceChartLayout &g) {
    const double s = g.scale, width = g.cell_width * g.columns, height = g.cell_height * g.rows;
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, g.left, g.top, width, height);
    cairo_stroke(cr);
    // A label that would run into the one before is left out; its tick stays.
    double free_from = -1e9;
    for (int k : labelled(chart.core_counts, chart.core_ticks)) {
        const double x = g.cell_x(k), y = g.top + height;
        cairo_move_to(cr, x, y);
        cairo_line_to(cr, x, y + 5 * s);
        cairo_stroke(cr);
        const std::string label = number("%.0f", chart.core_counts[k]);
        const double half = text_width(cr, label, 11 * s) / 2;
        if (x - half < free_from)
            continue;
        text_at(cr, x, y + 18 * s, label, 11 * s, Align::Centre);
        free_from = x + half + 4 * s;
    }
    text_at(cr, g.left + width / 2, g.top + height + 38 * s, "cores", 13 * s, Align::Centre);
    free_from = 1e9;
    for (int j : labelled(chart.cache_sizes, chart.cache_ticks)) {
        const double y = g.cell_y(j);
        cairo_move_to(cr, g.left - 5 * s, y);
        cairo_line_to(cr, g.left, y);
        cairo_stroke(cr);
        if (y - 4 * s > free_from)
            continue;
        text_at(cr, g.left - 8 * s, y + 4 * s, number("%.0f", chart.cache_sizes[j]), 11 * s,
                Align::Right);
        free_from = y - 13 * s;
    }
    upright_text_at(cr, g.left - 48 * s, g.top + height / 2, "L2 cache (MB)", 13 * s);
}

void best_marker(cairo_t *cr, double x, double y, double scale) {
    cairo_new_path(cr); // text leaves a current point that the arc would join
    cairo_arc(cr, x, y, 6 * scale, 0, 2 * M_PI);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 2 * scale);
    cairo_stroke(cr);
}

// The configuration on show: a square, black inside white, seen over dark and light cells.
// On the map it frames its cell, wide enough to leave the best configuration's circle in
// sight when the two are the same.
void shown_marker(cairo_t *cr, double x, double y, double half) {
    const double scale = half / 6;
    cairo_new_path(cr);
    cairo_rectangle(cr, x - half, y - half, 2 * half, 2 * half);
    stroke_black_on_white(cr, 4 * scale, 2 * scale);
}

void draw_titles(cairo_t *cr, int width, const SpaceChart &chart, const SpaceChartLayout &g) {
    const double s = g.scale;
    std::vector<std::string> lines{chart.subtitle};
    lines.insert(lines.end(), chart.notes.begin(), chart.notes.end());
    // Aligned with the map, or further left where a line would not fit.
    double widest = text_width(cr, chart.title, 17 * s, true);
    for (const std::string &line : lines)
        widest = std::fmax(widest, text_width(cr, line, 12 * s));
    widest = std::fmax(widest, 16 * s + text_width(cr, chart.best_text, 12 * s));
    if (in_range(g, chart.shown))
        widest = std::fmax(widest, 18 * s + text_width(cr, chart.shown_text, 12 * s));
    const double left = std::fmax(8 * s, std::fmin(g.left, width - 8 * s - widest));
    const double max_width = width - left - 8 * s;
    const double y = draw_header(cr, left, s, max_width, chart.title, lines) + 20 * s;
    double x = left;
    if (in_range(g, chart.best)) {
        best_marker(cr, x + 6 * s, y - 4 * s, s);
        x += 16 * s;
    }
    cairo_set_source_rgb(cr, 0, 0, 0);
    text_at(cr, x, y, chart.best_text, 12 * s, Align::Left, false, max_width - (x - left));
    if (!in_range(g, chart.shown))
        return;
    shown_marker(cr, left + 6 * s, y + 16 * s, 5 * s);
    cairo_set_source_rgb(cr, 0, 0, 0);
    text_at(cr, left + 18 * s, y + 20 * s, chart.shown_text, 12 * s, Align::Left, false,
            max_width - 18 * s);
}

// One limit's line in the legend: its pattern from x to x + 40 (scaled), below the baseline y.
void limit_sample(cairo_t *cr, double x, double y, int index, double s) {
    cairo_move_to(cr, x, y - 4 * s);
    cairo_line_to(cr, x + 40 * s, y - 4 * s);
    const LimitStyle &style = kLimitStyles[index];
    set_colour(cr, style.colour);
    cairo_set_line_width(cr, 2.5 * s);
    cairo_set_dash(cr, style.dash, style.dashes, 0);
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
    cairo_set_source_rgb(cr, 0, 0, 0);
}

// A small picture has a shorter legend, two limits to a line.
bool compact_legend(int height) {
    return height < 480;
}

void draw_legend(cairo_t *cr, int width, int height, const SpaceChart &chart,
                 const SpaceChartLayout &g) {
    const double s = g.scale, map_bottom = g.top + g.cell_height * g.rows;
    const bool compact = compact_legend(height);
    const double left = compact ? 10 * s : g.left, max_width = width - left - 8 * s;
    double y = map_bottom + (compact ? 58 : 68) * s;
    cairo_set_source_rgb(cr, 0, 0, 0);
    text_at(cr, left, y,
            compact ? "Grey: breaks a limit (lighter is faster). Lines: where a limit cuts the "
                      "space."
                    : "Grey: breaks a limit (lighter is faster). Each line runs where one limit "
                      "cuts the space:",
            12 * s, Align::Left, false, max_width);
    int shown = 0;
    for (int index = 0; index < limit_count(chart); index++) {
        if (!chart.limits[index])
            continue;
        const SpaceChartLimit &limit = *chart.limits[index];
        size_t broken = 0;
        for (const SpaceChartCell &c : chart.cells)
            broken += c.breaks[index];
        const bool none = chart.cells.empty(), all = !none && broken == chart.cells.size();
        const std::string text =
            limit.caption + " at most " + shortest_text(limit.value) + " " + limit.unit;
        if (compact) {
            // Two to a line; the last one alone on its line has the whole width.
            const double column = (width - 2 * left) / 2, x = left + (shown % 2) * column;
            bool alone = shown % 2 == 0;
            for (int later = index + 1; later < limit_count(chart); later++)
                alone = alone && !chart.limits[later];
            const double at = y + 18 * s * (shown / 2 + 1);
            const char *reach = !none && broken == 0 ? " (all meet it)"
                                : all                ? " (none meets it)"
                                                     : "";
            limit_sample(cr, x + 2 * s, at, index, s);
            text_at(cr, x + 48 * s, at, text + reach, 12 * s, Align::Left, false,
                    (alone ? 2 * column : column) - 54 * s);
        } else {
            const char *reach = none          ? "no configurations"
                                : broken == 0 ? "every configuration meets it"
                                : all         ? "no configuration meets it"
                                              : "cuts the space";
            y += 20 * s;
            limit_sample(cr, left + 4 * s, y, index, s);
            text_at(cr, left + 54 * s, y, text + ": " + reach, 12 * s, Align::Left, false,
                    max_width - 54 * s);
        }
        shown++;
    }
}

} // namespace

double SpaceChartLayout::cell_x(int cores) const {
    return left + (cores + 0.5) * cell_width;
}

double SpaceChartLayout::cell_y(int cache) const {
    return top + (rows - 1 - cache + 0.5) * cell_height;
}

SpaceChartLayout space_chart_layout(int width, int height, const SpaceChart &chart) {
    const double s = text_scale(width, height);
    const double left = 80 * s, top = header_bottom(chart, s) + 22 * s, right = 120 * s;
    const double bottom = compact_legend(height)
                              ? (58 + 18 * ((limit_count(chart) + 1) / 2) + 10) * s
                              : (68 + 20 * limit_count(chart) + 17) * s;
    const int columns = int(chart.core_counts.size()), rows = int(chart.cache_sizes.size());
    const double map_width = std::fmax(width - left - right, 1.0);
    const double map_height = std::fmax(height - top - bottom, 1.0);
    return SpaceChartLayout{
        s,       left, top, map_width / std::max(columns, 1), map_height / std::max(rows, 1),
        columns, rows};
}

void draw_space_chart(cairo_t *cr, int width, int height, const SpaceChart &chart) {
    const SpaceChartLayout g = space_chart_layout(width, height, chart);
    cairo_save(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    double top_feasible = 0, top_overall = 0;
    if (has_cells(chart))
        for (const SpaceChartCell &c : chart.cells) {
            top_overall = std::fmax(top_overall, c.speedup);
            if (c.feasible())
                top_feasible = std::fmax(top_feasible, c.speedup);
        }
    // A scale needs a positive, finite top: with nothing feasible (or every speedup 0) it is
    // nominal.
    top_overall = top_overall > 0 && std::isfinite(top_overall) ? top_overall : 1;
    top_feasible = top_feasible > 0 && std::isfinite(top_feasible) ? top_feasible : top_overall;
    if (has_cells(chart)) {
        draw_cells(cr, chart, g, top_feasible, top_overall);
        for (int index = 0; index < limit_count(chart); index++)
            if (chart.limits[index])
                draw_limit_line(cr, chart, g, index);
    }
    if (in_range(g, chart.best))
        best_marker(cr, g.cell_x(chart.best->second), g.cell_y(chart.best->first), g.scale);
    if (in_range(g, chart.shown))
        shown_marker(cr, g.cell_x(chart.shown->second), g.cell_y(chart.shown->first), 9 * g.scale);
    draw_axes(cr, chart, g);
    draw_colour_bar(cr, g.left + g.cell_width * g.columns + 28 * g.scale, g.top,
                    g.cell_height * g.rows, top_feasible, g.scale);
    draw_titles(cr, width, chart, g);
    draw_legend(cr, width, height, chart, g);
    cairo_restore(cr);
}

std::optional<std::pair<int, int>>
space_chart_cell_at(int width, int height, const SpaceChart &chart, double x, double y) {
    const SpaceChartLayout g = space_chart_layout(width, height, chart);
    const double column = std::floor((x - g.left) / g.cell_width);
    const double row = std::floor((y - g.top) / g.cell_height);
    if (!(column >= 0 && column < g.columns && row >= 0 && row < g.rows))
        return std::nullopt;
    return std::pair{g.rows - 1 - int(row), int(column)};
}
