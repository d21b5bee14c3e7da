#include "charts/validation_chart.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "charts/drawing.h"

namespace {

constexpr Colour kInk{0.1, 0.1, 0.1}, kGrid{0.88, 0.88, 0.88}, kExact{0.45, 0.45, 0.45};

// A decade axis: log10 values lo..hi onto positions from..to.
struct LogAxis {
    double lo, hi, from, to;
    double at(double value) const {
        return from + (std::log10(value) - lo) / (hi - lo) * (to - from);
    }
};

std::string tick_label(double value) {
    return number(value >= 1 ? "%.0f" : "%g", value);
}

} // namespace

void draw_validation_chart(cairo_t *cr, int width, int height, const ValidationChart &c) {
    const ChartFrame f = begin_chart(cr, width, height, c.title, c.notes, {}, 250);
    const double s = f.scale;
    // One range for both axes, whole decades, so that y = x is the diagonal.
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    for (const ValidationMark &m : c.marks)
        for (double v : {m.published, m.predicted})
            if (v > 0 && std::isfinite(v))
                lo = std::min(lo, std::log10(v)), hi = std::max(hi, std::log10(v));
    if (!(lo <= hi))
        lo = 0, hi = 1;
    lo = std::floor(lo), hi = std::ceil(hi);
    if (hi == lo)
        hi = lo + 1;
    const double bottom = f.bottom - 40 * s;
    const double side = std::min(f.right - f.left, bottom - f.top);
    const LogAxis xa{lo, hi, f.left, f.left + side}, ya{lo, hi, bottom, bottom - side};

    // Grid and ticks at 1, 2 and 5 of each decade; labels at the decades.
    cairo_set_line_width(cr, 1);
    for (double d = lo; d <= hi; d++)
        for (double k : {1.0, 2.0, 5.0}) {
            const double v = k * std::pow(10, d);
            if (std::log10(v) > hi + 1e-9)
                continue;
            set_colour(cr, kGrid);
            cairo_move_to(cr, std::round(xa.at(v)) + 0.5, ya.to);
            cairo_line_to(cr, std::round(xa.at(v)) + 0.5, ya.from);
            cairo_move_to(cr, xa.from, std::round(ya.at(v)) + 0.5);
            cairo_line_to(cr, xa.to, std::round(ya.at(v)) + 0.5);
            cairo_stroke(cr);
            set_colour(cr, kInk);
            if (k == 1 || side > 400 * s) {
                text_at(cr, xa.at(v), bottom + 16 * s, tick_label(v), 10 * s, Align::Centre);
                text_at(cr, f.left - 6 * s, ya.at(v) + 4 * s, tick_label(v), 10 * s, Align::Right);
            }
        }
    set_colour(cr, kInk);
    cairo_rectangle(cr, xa.from, ya.to, side, side);
    cairo_stroke(cr);

    // y = x, and a factor of 2 either way.
    cairo_save(cr);
    cairo_rectangle(cr, xa.from, ya.to, side, side);
    cairo_clip(cr);
    const double a = std::pow(10, lo), b = std::pow(10, hi);
    set_colour(cr, kExact);
    cairo_set_line_width(cr, 1.5 * s);
    cairo_move_to(cr, xa.at(a), ya.at(a));
    cairo_line_to(cr, xa.at(b), ya.at(b));
    cairo_stroke(cr);
    const double dash[] = {5 * s, 4 * s};
    cairo_set_dash(cr, dash, 2, 0);
    cairo_set_line_width(cr, 1 * s);
    for (double factor : {2.0, 0.5}) {
        cairo_move_to(cr, xa.at(a), ya.at(a * factor));
        cairo_line_to(cr, xa.at(b), ya.at(b * factor));
    }
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
    for (const ValidationMark &m : c.marks) {
        if (!(m.published > 0 && m.predicted > 0 && std::isfinite(m.predicted)))
            continue;
        const double x = xa.at(m.published), y = ya.at(m.predicted);
        draw_marker(cr, x, y, 4.5 * s, series_style(size_t(m.figure)));
        set_colour(cr, kInk);
        text_at(cr, x + 7 * s, y - 5 * s, m.chip, 9 * s);
    }
    cairo_restore(cr);

    text_at(cr, xa.from + side / 2, bottom + 34 * s, "published", 12 * s, Align::Centre);
    upright_text_at(cr, f.left - 45 * s, ya.to + side / 2, "predicted by the model", 12 * s);

    // The key, right of the plot: a marker per figure, the line y = x and the factor of 2.
    double ky = ya.to + 10 * s;
    const double kx = xa.to + 24 * s;
    for (size_t i = 0; i < c.figure_labels.size(); i++, ky += 20 * s) {
        draw_marker(cr, kx + 6 * s, ky - 4 * s, 4.5 * s, series_style(i));
        set_colour(cr, kInk);
        text_at(cr, kx + 18 * s, ky, c.figure_labels[i], 11 * s);
    }
    set_colour(cr, kExact);
    cairo_set_line_width(cr, 1.5 * s);
    cairo_move_to(cr, kx, ky - 4 * s);
    cairo_line_to(cr, kx + 12 * s, ky - 4 * s);
    cairo_stroke(cr);
    set_colour(cr, kInk);
    text_at(cr, kx + 18 * s, ky, "y = x: the model exact", 11 * s);
    ky += 20 * s;
    set_colour(cr, kExact);
    cairo_set_dash(cr, dash, 2, 0);
    cairo_move_to(cr, kx, ky - 4 * s);
    cairo_line_to(cr, kx + 12 * s, ky - 4 * s);
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
    set_colour(cr, kInk);
    text_at(cr, kx + 18 * s, ky, "off by a factor of 2", 11 * s);
    cairo_restore(cr);
}
