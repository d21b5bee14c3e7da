#include "charts/drawing.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

// A perceptually even dark-blue to yellow scale, sampled at nine evenly spaced points.
constexpr Colour kScale[] = {
    {0.267, 0.004, 0.329}, {0.278, 0.173, 0.478}, {0.231, 0.322, 0.545},
    {0.173, 0.447, 0.557}, {0.129, 0.569, 0.549}, {0.153, 0.678, 0.506},
    {0.369, 0.788, 0.384}, {0.667, 0.863, 0.196}, {0.992, 0.906, 0.145},
};
constexpr int kScaleStops = sizeof kScale / sizeof kScale[0];

// Colours that colour-blind readers tell apart, each with its own dash pattern and marker;
// their lightness differs too, for grey print.
constexpr SeriesStyle kSeries[] = {
    {{0.000, 0.447, 0.698}, {0, 0, 0, 0}, 0, 0},  {{0.835, 0.369, 0.000}, {8, 4, 0, 0}, 2, 1},
    {{0.000, 0.620, 0.451}, {2, 3, 0, 0}, 2, 2},  {{0.800, 0.475, 0.655}, {9, 3, 2, 3}, 4, 3},
    {{0.102, 0.102, 0.102}, {14, 4, 0, 0}, 2, 1}, {{0.902, 0.624, 0.000}, {5, 2, 0, 0}, 2, 0},
    {{0.337, 0.706, 0.914}, {12, 3, 3, 3}, 4, 3}, {{0.500, 0.200, 0.100}, {3, 2, 0, 0}, 2, 2},
};
constexpr size_t kSeriesStyles = sizeof kSeries / sizeof kSeries[0];

// A round step of about rough: 1, 2, 2.5 or 5 times a power of ten.
double round_step(double rough) {
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (double m : {1.0, 2.0, 2.5, 5.0})
        if (m * power >= rough)
            return m * power;
    return 10 * power;
}

// A round step that puts about five ticks on 0..top.
double tick_step(double top) {
    return round_step(top / 5);
}

// The multiples of step on lo..hi (at most 100 of them).
std::vector<double> multiples(double lo, double hi, double step) {
    std::vector<double> values;
    for (double k = std::ceil(lo / step - 1e-9);
         k * step <= hi + step * 1e-9 && values.size() < 100; k++)
        values.push_back(k * step == 0 ? 0 : k * step); // no "-0"
    return values;
}

// A tick label: as few digits as tell the ticks of one axis apart.
std::string tick_label(double value, double step) {
    const int decimals = step >= 1 ? 0 : int(std::ceil(-std::log10(step) - 1e-9));
    char text[64];
    snprintf(text, sizeof text, "%.*f", std::clamp(decimals, 0, 9), value);
    return text;
}

// Where a surface keeps its text (keep_text_of).
const cairo_user_data_key_t kept_text{};

void select_font(cairo_t *cr, double size, bool bold) {
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
}

} // namespace

void set_colour(cairo_t *cr, const Colour &c) {
    cairo_set_source_rgb(cr, c.r, c.g, c.b);
}

void stroke_black_on_white(cairo_t *cr, double white_width, double black_width) {
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_set_line_width(cr, white_width);
    cairo_stroke_preserve(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, black_width);
    cairo_stroke(cr);
}

Colour scale_colour(double t) {
    t = std::fmin(1.0, std::fmax(0.0, std::isnan(t) ? 0.0 : t));
    const double position = t * (kScaleStops - 1);
    const int low = std::min(int(position), kScaleStops - 2);
    const double f = position - low;
    const Colour &a = kScale[low], &b = kScale[low + 1];
    return {a.r + (b.r - a.r) * f, a.g + (b.g - a.g) * f, a.b + (b.b - a.b) * f};
}

double text_scale(int width, int height) {
    return std::clamp(std::fmin(width / 900.0, height / 600.0), 0.75, 1.0);
}

void keep_text_of(cairo_surface_t *surface, std::vector<PlacedText> *texts) {
    cairo_surface_set_user_data(surface, &kept_text, texts, nullptr);
}

std::string valid_utf8(const std::string &text) {
    std::string valid;
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        // The sequence's length from its first byte, and the least code point it may encode.
        const size_t length = c < 0x80                ? 1
                              : c >= 0xc2 && c < 0xe0 ? 2
                              : (c & 0xf0) == 0xe0    ? 3
                              : c >= 0xf0 && c < 0xf5 ? 4
                                                      : 0;
        uint32_t code = length == 1 ? c : length == 2 ? c & 0x1f : length == 3 ? c & 0x0f : c & 7;
        size_t read = 1;
        while (length > 1 && read < length && i + read < text.size() &&
               (static_cast<unsigned char>(text[i + read]) & 0xc0) == 0x80)
            code = code << 6 | (static_cast<unsigned char>(text[i + read++]) & 0x3f);
        const bool whole = length != 0 && read == length;
        const bool shortest = length < 3 || code >= (length == 3 ? 0x800u : 0x10000u);
        if (whole && shortest && code <= 0x10ffff && !(code >= 0xd800 && code < 0xe000)) {
            valid.append(text, i, length);
            i += length;
        } else {
            valid += "\xEF\xBF\xBD"; // U+FFFD in place of what cannot be read
            i += read;
        }
    }
    return valid;
}

void text_at(cairo_t *cr, double x, double y, const std::string &given, double size, Align align,
             bool bold, double max_width) {
    const std::string text = valid_utf8(given);
    select_font(cr, size, bold);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    if (extents.x_advance > max_width && max_width > 0) {
        size = size * max_width / extents.x_advance;
        select_font(cr, size, bold);
        cairo_text_extents(cr, text.c_str(), &extents);
    }
    const double shift = align == Align::Left     ? 0
                         : align == Align::Centre ? extents.x_advance / 2
                                                  : extents.x_advance;
    auto *kept = static_cast<std::vector<PlacedText> *>(
        cairo_surface_get_user_data(cairo_get_target(cr), &kept_text));
    if (kept == nullptr || cairo_status(cr) != CAIRO_STATUS_SUCCESS) {
        cairo_move_to(cr, x - shift, y);
        cairo_show_text(cr, text.c_str());
        return;
    }
    PlacedText t{text, x, y, 1, 0, 0, 1, size, bold, align, 0, 0, 0, 1};
    cairo_user_to_device(cr, &t.x, &t.y);
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    t.xx = m.xx, t.yx = m.yx, t.xy = m.xy, t.yy = m.yy;
    if (cairo_pattern_get_rgba(cairo_get_source(cr), &t.r, &t.g, &t.b, &t.alpha) !=
        CAIRO_STATUS_SUCCESS)
        t.r = t.g = t.b = 0, t.alpha = 1;
    if (!text.empty())
        kept->push_back(std::move(t));
    // Where drawing the glyphs would leave the current point.
    cairo_move_to(cr, x - shift + extents.x_advance, y + extents.y_advance);
}

double text_width(cairo_t *cr, const std::string &text, double size, bool bold) {
    select_font(cr, size, bold);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, valid_utf8(text).c_str(), &extents);
    return extents.x_advance;
}

void upright_text_at(cairo_t *cr, double x, double y, const std::string &text, double size) {
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_rotate(cr, -M_PI / 2);
    text_at(cr, 0, 0, text, size, Align::Centre);
    cairo_restore(cr);
}

LinearAxis linear_axis(double lo, double hi, double from, double to, int count, bool round_out) {
    if (!std::isfinite(lo))
        lo = 0;
    if (!std::isfinite(hi) || !(hi > lo)) {
        const double half = std::fabs(lo) / 2;
        hi = lo == 0 ? 1 : lo + half;
        lo = lo == 0 ? 0 : lo - half;
    }
    count = std::max(count, 1);
    double step = round_step((hi - lo) / count);
    if (round_out) {
        // Of a few tick counts, the one whose round ends leave the least room past the values.
        auto span = [&](double d) { return std::ceil(hi / d - 1e-9) - std::floor(lo / d + 1e-9); };
        for (int more = count + 1; more <= count + 2; more++) {
            const double other = round_step((hi - lo) / more);
            if (span(other) * other < span(step) * step)
                step = other;
        }
        lo = std::floor(lo / step + 1e-9) * step;
        hi = std::ceil(hi / step - 1e-9) * step;
    }
    return LinearAxis{lo, hi, from, to, multiples(lo, hi, step), step};
}

void draw_tick_line(cairo_t *cr, double y, double left, double right, double scale) {
    cairo_set_line_width(cr, 1);
    cairo_new_path(cr);
    cairo_move_to(cr, left, y);
    cairo_line_to(cr, right, y);
    cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
    cairo_stroke(cr);
    cairo_move_to(cr, left - 5 * scale, y);
    cairo_line_to(cr, left, y);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_stroke(cr);
}

ChartFrame begin_chart(cairo_t *cr, int width, int height, const std::string &title,
                       const std::vector<std::string> &notes,
                       const std::vector<std::string> &series_labels, double least_plot) {
    ChartFrame f;
    f.scale = text_scale(width, height);
    const double s = f.scale;
    cairo_save(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    f.left = 72 * s, f.right = width - 24 * s;
    f.top = draw_header(cr, f.left, s, width - f.left - 8 * s, title, notes) + 26 * s;
    f.legend = series_legend(cr, f.left, 0, f.right - f.left, s, series_labels, false);
    f.bottom = std::fmax(f.top + least_plot, height - f.legend - 60 * s);
    return f;
}

void draw_vertical_axis(cairo_t *cr, const LinearAxis &axis, double left, double right,
                        double scale) {
    double free_from = 1e9; // labels go upwards: the next one must end above this
    for (double value : axis.ticks) {
        const double y = std::round(axis.at(value)) + 0.5;
        draw_tick_line(cr, y, left, right, scale);
        if (y + 4 * scale > free_from)
            continue;
        text_at(cr, left - 7 * scale, y + 4 * scale, tick_label(value, axis.step), 11 * scale,
                Align::Right);
        free_from = y - 10 * scale;
    }
}

void draw_horizontal_axis(cairo_t *cr, const LinearAxis &axis, double bottom, double scale) {
    double free_from = -1e9;
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 1);
    for (double value : axis.ticks) {
        const double x = std::round(axis.at(value)) + 0.5;
        cairo_new_path(cr);
        cairo_move_to(cr, x, bottom);
        cairo_line_to(cr, x, bottom + 5 * scale);
        cairo_stroke(cr);
        const std::string label = tick_label(value, axis.step);
        const double half = text_width(cr, label, 11 * scale) / 2;
        if (x - half < free_from)
            continue;
        text_at(cr, x, bottom + 18 * scale, label, 11 * scale, Align::Centre);
        free_from = x + half + 6 * scale;
    }
}

double draw_header(cairo_t *cr, double x, double scale, double max_width, const std::string &title,
                   const std::vector<std::string> &lines) {
    cairo_set_source_rgb(cr, 0, 0, 0);
    text_at(cr, x, 28 * scale, title, 17 * scale, Align::Left, true, max_width);
    double y = 28 * scale;
    for (size_t i = 0; i < lines.size(); i++) {
        y = (50 + 20 * double(i)) * scale;
        text_at(cr, x, y, lines[i], 12 * scale, Align::Left, false, max_width);
    }
    return y;
}

void draw_colour_bar(cairo_t *cr, double x, double top, double height, double top_value,
                     double scale) {
    if (!std::isfinite(top_value) || top_value <= 0)
        top_value = 1;
    const double width = 18 * scale;
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
    text_at(cr, x + width / 2, top - 10 * scale, "speedup", 12 * scale, Align::Centre);
    const double step = tick_step(top_value);
    for (double value = 0; value <= top_value * (1 + 1e-9); value += step) {
        const double y = top + height - height * value / top_value;
        cairo_move_to(cr, x + width, y);
        cairo_line_to(cr, x + width + 4 * scale, y);
        cairo_stroke(cr);
        text_at(cr, x + width + 7 * scale, y + 4 * scale, number("%g", value), 11 * scale);
    }
}

const SeriesStyle &series_style(size_t index) {
    return kSeries[index % kSeriesStyles];
}

void stroke_series(cairo_t *cr, const SeriesStyle &style, double line_width) {
    set_colour(cr, style.colour);
    cairo_set_line_width(cr, line_width);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_dash(cr, style.dash, style.dashes, 0);
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
}

void draw_marker(cairo_t *cr, double x, double y, double radius, const SeriesStyle &style) {
    cairo_new_path(cr);
    switch (style.marker) {
    case 1:
        cairo_rectangle(cr, x - 0.85 * radius, y - 0.85 * radius, 1.7 * radius, 1.7 * radius);
        break;
    case 2:
        cairo_move_to(cr, x, y - 1.15 * radius);
        cairo_line_to(cr, x + radius, y + 0.75 * radius);
        cairo_line_to(cr, x - radius, y + 0.75 * radius);
        cairo_close_path(cr);
        break;
    case 3:
        cairo_move_to(cr, x, y - 1.2 * radius);
        cairo_line_to(cr, x + radius, y);
        cairo_line_to(cr, x, y + 1.2 * radius);
        cairo_line_to(cr, x - radius, y);
        cairo_close_path(cr);
        break;
    default:
        cairo_arc(cr, x, y, radius, 0, 2 * M_PI);
    }
    set_colour(cr, style.colour);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_set_line_width(cr, 0.8);
    cairo_stroke(cr);
}

double series_legend(cairo_t *cr, double x, double y, double width, double scale,
                     const std::vector<std::string> &labels, bool draw) {
    if (labels.empty())
        return 0;
    const double sample = 34 * scale, gap = 6 * scale, spacing = 20 * scale, row = 20 * scale;
    const double size = 12 * scale;
    double at = 0;
    int rows = 1;
    for (size_t i = 0; i < labels.size(); i++) {
        const double label = std::fmin(text_width(cr, labels[i], size), width - sample - gap);
        const double entry = sample + gap + label;
        if (at > 0 && at + entry > width) {
            at = 0;
            rows++;
        }
        if (draw) {
            const double middle = y + (rows - 1) * row + row / 2;
            const SeriesStyle &style = series_style(i);
            cairo_new_path(cr);
            cairo_move_to(cr, x + at, middle);
            cairo_line_to(cr, x + at + sample, middle);
            stroke_series(cr, style, 2 * scale);
            draw_marker(cr, x + at + sample / 2, middle, 3.5 * scale, style);
            cairo_set_source_rgb(cr, 0, 0, 0);
            text_at(cr, x + at + sample + gap, middle + 4 * scale, labels[i], size, Align::Left,
                    false, width - sample - gap);
        }
        at += entry + spacing;
    }
    return rows * row;
}
