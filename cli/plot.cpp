#include "cli/plot.h"

#include <algorithm>
#include <cairo-svg.h>
#include <cairo.h>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fontconfig/fontconfig.h>
#include <sys/stat.h>
#include <unistd.h>

#include "model/model.h"
#include "model/tables.h"

namespace {

constexpr int kWidth = 900, kHeight = 860;
constexpr double kLeft = 80, kTop = 92, kCellWidth = 20, kCellHeight = 9;
constexpr double kMapWidth = kCellWidth * kCoreCounts, kMapHeight = kCellHeight * kCacheSizes;

struct Colour {
    double r, g, b;
};

// A perceptually even dark-blue to yellow scale, sampled at nine evenly spaced points.
constexpr Colour kScale[] = {
    {0.267, 0.004, 0.329}, {0.278, 0.173, 0.478}, {0.231, 0.322, 0.545},
    {0.173, 0.447, 0.557}, {0.129, 0.569, 0.549}, {0.153, 0.678, 0.506},
    {0.369, 0.788, 0.384}, {0.667, 0.863, 0.196}, {0.992, 0.906, 0.145},
};
constexpr int kScaleStops = sizeof kScale / sizeof kScale[0];

Colour scale_colour(double t) {
    t = std::fmin(1.0, std::fmax(0.0, std::isnan(t) ? 0.0 : t));
    const double position = t * (kScaleStops - 1);
    const int low = std::min(int(position), kScaleStops - 2);
    const double f = position - low;
    const Colour &a = kScale[low], &b = kScale[low + 1];
    return {a.r + (b.r - a.r) * f, a.g + (b.g - a.g) * f, a.b + (b.b - a.b) * f};
}

// A configuration that breaks a limit keeps its speedup as a shade of grey.
Colour greyed(double t) {
    const double level = 0.45 + 0.45 * std::fmin(1.0, std::fmax(0.0, std::isnan(t) ? 0.0 : t));
    return {level, level, level};
}

struct LimitStyle {
    Limit limit;
    const char *caption, *unit;
    Colour colour;
    double dash[2];
    int dashes;
};

constexpr LimitStyle kLimitStyles[] = {
    {Limit::Area, "area", "mm^2", {0.86, 0.08, 0.08}, {0, 0}, 0},
    {Limit::Power, "power", "W", {1.0, 0.50, 0.0}, {7, 4}, 2},
    {Limit::Bandwidth, "off-chip bandwidth", "GB/s", {0.85, 0.15, 0.85}, {2.5, 2.5}, 2},
    {Limit::Tsv, "TSV bandwidth", "GB/s", {0.0, 0.0, 0.0}, {9, 3}, 2},
};

double limit_value(const LimitValues &l, Limit limit) {
    return limit == Limit::Area        ? l.area
           : limit == Limit::Power     ? l.power
           : limit == Limit::Bandwidth ? l.bandwidth
                                       : l.tsv;
}

void set_colour(cairo_t *cr, const Colour &c) {
    cairo_set_source_rgb(cr, c.r, c.g, c.b);
}

enum class Align { Left, Centre, Right };

void text_at(cairo_t *cr, double x, double y, const std::string &text, double size,
             Align align = Align::Left, bool bold = false) {
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    const double shift = align == Align::Left     ? 0
                         : align == Align::Centre ? extents.x_advance / 2
                                                  : extents.x_advance;
    cairo_move_to(cr, x - shift, y);
    cairo_show_text(cr, text.c_str());
}

std::string number(const char *pattern, double value) {
    char text[64];
    snprintf(text, sizeof text, pattern, value);
    return text;
}

// A round step that puts about five ticks on 0..top.
double tick_step(double top) {
    const double rough = top / 5;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (double m : {1.0, 2.0, 2.5, 5.0})
        if (m * power >= rough)
            return m * power;
    return 10 * power;
}

const SpaceRow &cell(const PlotData &d, int cache, int cores) {
    return d.grid[size_t(cache) * kCoreCounts + cores];
}

// The colour scale spans the speedups of the configurations that meet the limits; a greyed
// configuration is shaded against the highest speedup of all.
void draw_cells(cairo_t *cr, const PlotData &d, const PlotGeometry &g, double top_feasible,
                double top_overall) {
    for (const SpaceRow &row : d.grid) {
        const double speedup = row.figures.speedup;
        set_colour(cr, row.feasible() ? scale_colour(speedup / top_feasible)
                                      : greyed(speedup / top_overall));
        cairo_rectangle(cr, g.cell_x(row.cores) - kCellWidth / 2,
                        g.cell_y(row.cache) - kCellHeight / 2, kCellWidth, kCellHeight);
        cairo_fill(cr);
    }
}

// The edges between neighbouring cells on either side of one limit.
void draw_limit_line(cairo_t *cr, const PlotData &d, const PlotGeometry &g,
                     const LimitStyle &style) {
    const int index = int(style.limit);
    cairo_new_path(cr);
    for (int j = 0; j < kCacheSizes; j++)
        for (int k = 0; k < kCoreCounts; k++) {
            const bool here = cell(d, j, k).breaks[index];
            const double x = g.cell_x(k), y = g.cell_y(j);
            if (k + 1 < kCoreCounts && cell(d, j, k + 1).breaks[index] != here) {
                cairo_move_to(cr, x + kCellWidth / 2, y - kCellHeight / 2);
                cairo_line_to(cr, x + kCellWidth / 2, y + kCellHeight / 2);
            }
            if (j + 1 < kCacheSizes && cell(d, j + 1, k).breaks[index] != here) {
                cairo_move_to(cr, x - kCellWidth / 2, y - kCellHeight / 2);
                cairo_line_to(cr, x + kCellWidth / 2, y - kCellHeight / 2);
            }
        }
    set_colour(cr, style.colour);
    cairo_set_line_width(cr, 2.5);
    cairo_set_dash(cr, style.dash, style.dashes, 0);
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
}

void draw_axes(cairo_t *cr, const PlotGeometry &g) {
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, g.left, g.top, kMapWidth, kMapHeight);
    cairo_stroke(cr);
    for (double cores : {1, 4, 8, 16, 32, 48, 64, 96, 128, 160, 192}) {
        const int k = *core_count_index(cores);
        const double x = g.cell_x(k), y = g.top + kMapHeight;
        cairo_move_to(cr, x, y);
        cairo_line_to(cr, x, y + 5);
        cairo_stroke(cr);
        text_at(cr, x, y + 18, number("%.0f", cores), 11, Align::Centre);
    }
    text_at(cr, g.left + kMapWidth / 2, g.top + kMapHeight + 38, "cores", 13, Align::Centre);
    for (double megabytes : {1, 8, 64, 128, 192, 256, 320, 384, 448, 512}) {
        const int j = *cache_size_index(megabytes);
        const double y = g.cell_y(j);
        cairo_move_to(cr, g.left - 5, y);
        cairo_line_to(cr, g.left, y);
        cairo_stroke(cr);
        text_at(cr, g.left - 8, y + 4, number("%.0f", megabytes), 11, Align::Right);
    }
    cairo_save(cr);
    cairo_translate(cr, g.left - 48, g.top + kMapHeight / 2);
    cairo_rotate(cr, -M_PI / 2);
    text_at(cr, 0, 0, "L2 cache (MB)", 13, Align::Centre);
    cairo_restore(cr);
}

void draw_colour_bar(cairo_t *cr, const PlotGeometry &g, double top_speedup) {
    const double x = g.left + kMapWidth + 28, width = 18, top = g.top, height = kMapHeight;
    cairo_pattern_t *gradient = cairo_pattern_create_linear(0, top + height, 0, top);
    for (int i = 0; i < kScaleStops; i++)
        cairo_pattern_add_color_stop_rgb(gradient, double(i) / (kScaleStops - 1), kScale[i].r,
                                         kScale[i].g, kScale[i].b);
    cairo_rectangle(cr, x, top, width, height);
    cairo_set_source(cr, gradient);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(gradient);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    text_at(cr, x + width / 2, top - 10, "speedup", 12, Align::Centre);
    const double step = tick_step(top_speedup);
    for (double value = 0; value <= top_speedup * (1 + 1e-9); value += step) {
        const double y = top + height - height * value / top_speedup;
        cairo_move_to(cr, x + width, y);
        cairo_line_to(cr, x + width + 4, y);
        cairo_stroke(cr);
        text_at(cr, x + width + 7, y + 4, number("%g", value), 11);
    }
}

void best_marker(cairo_t *cr, double x, double y) {
    cairo_new_path(cr); // text leaves a current point that the arc would join
    cairo_arc(cr, x, y, 6, 0, 2 * M_PI);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
}

void draw_best(cairo_t *cr, const PlotData &d, const PlotGeometry &g) {
    if (d.best.feasible)
        best_marker(cr, g.cell_x(d.best.cores), g.cell_y(d.best.cache));
}

void draw_titles(cairo_t *cr, const PlotData &d) {
    cairo_set_source_rgb(cr, 0, 0, 0);
    text_at(cr, kLeft, 28, "Speedup over core count and L2 cache size", 17, Align::Left, true);
    text_at(cr, kLeft, 50,
            describe(d.request.options) + ", scale step " +
                number("%.1f", active_model().scale_steps[*d.request.holds.scale]) + " (" +
                number("%.3f", d.point.vdd) + " V, " + number("%.3f", d.point.freq) + " GHz)",
            12);
    const BestConfiguration &b = d.best;
    if (!b.feasible) {
        text_at(cr, kLeft, 70, "No configuration at this scale step meets the limits.", 12);
        return;
    }
    best_marker(cr, kLeft + 6, 66);
    text_at(cr, kLeft + 16, 70,
            "best: " + number("%.0f", active_model().core_counts[b.cores]) + " cores, " +
                number("%.0f", active_model().cache_sizes[b.cache]) + " MB L2 cache, speedup " +
                number("%.4f", b.speedup),
            12);
}

void draw_legend(cairo_t *cr, const PlotData &d, const PlotGeometry &g) {
    double y = g.top + kMapHeight + 68;
    cairo_set_source_rgb(cr, 0, 0, 0);
    text_at(cr, g.left, y,
            "Grey: breaks a limit (lighter is faster). Each line runs where one limit cuts the "
            "space:",
            12);
    for (const LimitStyle &style : kLimitStyles) {
        if (style.limit == Limit::Tsv && d.request.options.memory == 0)
            continue;
        size_t broken = 0;
        for (const SpaceRow &row : d.grid)
            broken += row.breaks[int(style.limit)];
        y += 20;
        cairo_move_to(cr, g.left + 4, y - 4);
        cairo_line_to(cr, g.left + 44, y - 4);
        set_colour(cr, style.colour);
        cairo_set_line_width(cr, 2.5);
        cairo_set_dash(cr, style.dash, style.dashes, 0);
        cairo_stroke(cr);
        cairo_set_dash(cr, nullptr, 0, 0);
        const char *reach = broken == 0               ? "every configuration meets it"
                            : broken == d.grid.size() ? "no configuration meets it"
                                                      : "cuts the space";
        cairo_set_source_rgb(cr, 0, 0, 0);
        text_at(cr, g.left + 54, y,
                std::string(style.caption) + " at most " +
                    shortest(limit_value(d.limits, style.limit)) + " " + style.unit + ": " + reach,
                12);
    }
}

void draw(cairo_t *cr, const PlotData &d) {
    const PlotGeometry g = plot_geometry();
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    double top_feasible = 0, top_overall = 0;
    for (const SpaceRow &row : d.grid) {
        top_overall = std::fmax(top_overall, row.figures.speedup);
        if (row.feasible())
            top_feasible = std::fmax(top_feasible, row.figures.speedup);
    }
    // A scale needs a positive top: with nothing feasible (or every speedup 0) it is nominal.
    top_overall = top_overall > 0 ? top_overall : 1;
    top_feasible = top_feasible > 0 ? top_feasible : top_overall;
    draw_cells(cr, d, g, top_feasible, top_overall);
    for (const LimitStyle &style : kLimitStyles)
        if (style.limit != Limit::Tsv || d.request.options.memory != 0)
            draw_limit_line(cr, d, g, style);
    draw_best(cr, d, g);
    draw_axes(cr, g);
    draw_colour_bar(cr, g, top_feasible);
    draw_titles(cr, d);
    draw_legend(cr, d, g);
}

cairo_status_t write_to_file(void *closure, const unsigned char *data, unsigned int length) {
    return fwrite(data, 1, length, static_cast<FILE *>(closure)) == length
               ? CAIRO_STATUS_SUCCESS
               : CAIRO_STATUS_WRITE_ERROR;
}

// Draws into an open file; returns the failure, or an empty string.
std::string draw_into(FILE *file, const PlotData &d, ImageFormat format) {
    cairo_surface_t *surface =
        format == ImageFormat::Svg
            ? cairo_svg_surface_create_for_stream(write_to_file, file, kWidth, kHeight)
            : cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
    cairo_t *cr = cairo_create(surface);
    draw(cr, d);
    cairo_status_t status = cairo_status(cr);
    cairo_destroy(cr);
    if (status == CAIRO_STATUS_SUCCESS && format == ImageFormat::Png)
        status = cairo_surface_write_to_png_stream(surface, write_to_file, file);
    cairo_surface_finish(surface);
    if (status == CAIRO_STATUS_SUCCESS)
        status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    return status == CAIRO_STATUS_SUCCESS ? std::string() : cairo_status_to_string(status);
}

} // namespace

std::optional<ImageFormat> image_format_of(std::string_view path) {
    auto ends_with = [&](std::string_view suffix) {
        if (path.size() <= suffix.size())
            return false;
        std::string_view tail = path.substr(path.size() - suffix.size());
        for (size_t i = 0; i < tail.size(); i++)
            if (std::tolower(static_cast<unsigned char>(tail[i])) != suffix[i])
                return false;
        return true;
    };
    if (ends_with(".png"))
        return ImageFormat::Png;
    if (ends_with(".svg"))
        return ImageFormat::Svg;
    return std::nullopt;
}

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

double PlotGeometry::cell_x(int cores) const {
    return left + (cores + 0.5) * cell_width;
}

double PlotGeometry::cell_y(int cache) const {
    return top + (kCacheSizes - 1 - cache + 0.5) * cell_height;
}

PlotGeometry plot_geometry() {
    return PlotGeometry{kWidth, kHeight, kLeft, kTop, kCellWidth, kCellHeight};
}

std::string write_plot(const PlotData &data, const std::string &path, ImageFormat format) {
    std::string temporary = path + ".XXXXXX";
    const int descriptor = mkstemp(temporary.data());
    if (descriptor < 0)
        return "cannot write " + path + ": " + strerror(errno);
    // mkstemp makes the file private; a picture gets the permissions of any new file.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(descriptor, 0666 & ~mask);
    FILE *file = fdopen(descriptor, "wb");
    if (file == nullptr) {
        const int error = errno;
        close(descriptor);
        unlink(temporary.c_str());
        return "cannot write " + path + ": " + strerror(error);
    }
    std::string failure = draw_into(file, data, format);
    if (fclose(file) != 0 && failure.empty())
        failure = strerror(errno);
    if (failure.empty() && rename(temporary.c_str(), path.c_str()) != 0)
        failure = strerror(errno);
    if (!failure.empty()) {
        unlink(temporary.c_str());
        return "cannot write " + path + ": " + failure;
    }
    return {};
}

void release_drawing_caches() {
    cairo_debug_reset_static_data();
    FcFini();
}
