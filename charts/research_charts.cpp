#include "charts/research_charts.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "charts/drawing.h"

namespace {

constexpr Colour kBroken{0.86, 0.86, 0.86}, kWithin{0.55, 0.55, 0.6}, kFront{0.8, 0.1, 0.1},
    kLimit{0.1, 0.1, 0.1}, kLow{0.2, 0.4, 0.8}, kHigh{0.95, 0.55, 0.1};

struct Extent {
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    void take(double v) {
        if (std::isfinite(v)) {
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
    }
};

} // namespace

void draw_pareto_chart(cairo_t *cr, int width, int height, const ParetoChart &c) {
    const ChartFrame f = begin_chart(cr, width, height, c.title, c.notes, {}, 200);
    const double s = f.scale;
    const double bottom = f.bottom - 24 * s; // room for the key under the axis
    const double right = c.front_colour.empty() ? f.right : f.right - 90 * s;
    auto yv = [&](double v) { return c.log_y ? (v > 0 ? std::log10(v) : NAN) : v; };
    auto xv = [&](double v) { return c.log_x ? (v > 0 ? std::log10(v) : NAN) : v; };
    Extent ex, ey;
    for (size_t i = 0; i < c.x.size(); i++) {
        ex.take(xv(c.x[i]));
        ey.take(yv(c.y[i]));
    }
    if (c.x_limit && std::isfinite(*c.x_limit))
        ex.take(xv(*c.x_limit));
    if (c.y_limit && std::isfinite(*c.y_limit))
        ey.take(yv(*c.y_limit));
    if (!(ex.lo <= ex.hi))
        ex.lo = 0, ex.hi = 1;
    if (!(ey.lo <= ey.hi))
        ey.lo = 0, ey.hi = 1;
    const LinearAxis xa = linear_axis(ex.lo, ex.hi, f.left, right, 8, true);
    const LinearAxis ya = linear_axis(ey.lo, ey.hi, bottom, f.top, 6, true);
    draw_vertical_axis(cr, ya, f.left, right, s);
    draw_horizontal_axis(cr, xa, bottom, s);

    cairo_save(cr);
    cairo_rectangle(cr, f.left, f.top, right - f.left, bottom - f.top);
    cairo_clip(cr);
    for (int pass = 0; pass < 2; pass++) {
        set_colour(cr, pass == 0 ? kBroken : kWithin);
        for (size_t i = 0; i < c.x.size(); i++) {
            if ((c.within[i] != 0) != (pass == 1) || !std::isfinite(xv(c.x[i])) ||
                !std::isfinite(yv(c.y[i])))
                continue;
            cairo_rectangle(cr, xa.at(xv(c.x[i])) - 1, ya.at(yv(c.y[i])) - 1, 2, 2);
        }
        cairo_fill(cr);
    }
    // The limits.
    set_colour(cr, kLimit);
    cairo_set_line_width(cr, 1.5 * s);
    const double dash[] = {6 * s, 4 * s};
    cairo_set_dash(cr, dash, 2, 0);
    if (c.x_limit && std::isfinite(*c.x_limit)) {
        cairo_move_to(cr, xa.at(xv(*c.x_limit)), f.top);
        cairo_line_to(cr, xa.at(xv(*c.x_limit)), bottom);
    }
    if (c.y_limit && std::isfinite(*c.y_limit)) {
        cairo_move_to(cr, f.left, ya.at(yv(*c.y_limit)));
        cairo_line_to(cr, right, ya.at(yv(*c.y_limit)));
    }
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
    // The front, in x order.
    std::vector<size_t> order(c.front_x.size());
    for (size_t i = 0; i < order.size(); i++)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return c.front_x[a] < c.front_x[b] ||
               (c.front_x[a] == c.front_x[b] && c.front_y[a] < c.front_y[b]);
    });
    if (c.front_colour.empty()) {
        bool first = true;
        for (size_t i : order) {
            const double x = xa.at(xv(c.front_x[i])), y = ya.at(yv(c.front_y[i]));
            if (!std::isfinite(x) || !std::isfinite(y))
                continue;
            first ? cairo_move_to(cr, x, y) : cairo_line_to(cr, x, y);
            first = false;
        }
        set_colour(cr, kFront);
        cairo_set_line_width(cr, 1.5 * s);
        cairo_stroke(cr);
    }
    Extent ec;
    for (double v : c.front_colour)
        ec.take(v);
    for (size_t i : order) {
        const double x = xa.at(xv(c.front_x[i])), y = ya.at(yv(c.front_y[i]));
        if (!std::isfinite(x) || !std::isfinite(y))
            continue;
        cairo_arc(cr, x, y, 3.5 * s, 0, 2 * M_PI);
        if (c.front_colour.empty())
            set_colour(cr, kFront);
        else
            set_colour(
                cr,
                scale_colour(ec.hi > ec.lo ? (c.front_colour[i] - ec.lo) / (ec.hi - ec.lo) : 0.5));
        cairo_fill_preserve(cr);
        set_colour(cr, kLimit);
        cairo_set_line_width(cr, 0.8 * s);
        cairo_stroke(cr);
    }
    cairo_restore(cr);

    text_at(cr, (f.left + right) / 2, bottom + 40 * s, c.log_x ? c.x_label + " (log10)" : c.x_label,
            12 * s, Align::Centre);
    upright_text_at(cr, f.left - 55 * s, (f.top + bottom) / 2,
                    c.log_y ? c.y_label + " (log10)" : c.y_label, 12 * s);
    // The colour scale of the third objective, from its least (bottom) to its greatest (top).
    if (!c.front_colour.empty() && ec.lo <= ec.hi) {
        const double x = right + 30 * s, top = f.top + 20 * s, h = bottom - top;
        for (int i = 0; i < 100; i++) {
            set_colour(cr, scale_colour((i + 0.5) / 100));
            cairo_rectangle(cr, x, top + h - (i + 1) * h / 100, 16 * s, h / 100 + 0.5);
            cairo_fill(cr);
        }
        set_colour(cr, kLimit);
        text_at(cr, x + 8 * s, top - 8 * s, c.colour_label, 10 * s, Align::Centre, false, 110 * s);
        text_at(cr, x + 20 * s, top + 10 * s, number("%.4g", ec.hi), 10 * s);
        text_at(cr, x + 20 * s, top + h, number("%.4g", ec.lo), 10 * s);
    }
    // The key.
    const double ky = bottom + 58 * s;
    double kx = f.left;
    auto key = [&](const Colour &colour, bool mark, const std::string &label) {
        set_colour(cr, colour);
        if (mark)
            cairo_arc(cr, kx + 5 * s, ky - 4 * s, 3.5 * s, 0, 2 * M_PI);
        else
            cairo_rectangle(cr, kx + 3 * s, ky - 6 * s, 4 * s, 4 * s);
        cairo_fill(cr);
        set_colour(cr, kLimit);
        text_at(cr, kx + 14 * s, ky, label, 11 * s);
        kx += 14 * s + text_width(cr, label, 11 * s) + 24 * s;
    };
    key(kFront, true, "on the front");
    key(kWithin, false, "within the limits");
    key(kBroken, false, "breaks a limit");
    set_colour(cr, kLimit);
    cairo_set_line_width(cr, 1.5 * s);
    cairo_set_dash(cr, dash, 2, 0);
    cairo_move_to(cr, kx, ky - 4 * s);
    cairo_line_to(cr, kx + 24 * s, ky - 4 * s);
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
    text_at(cr, kx + 30 * s, ky, "limit", 11 * s);
    cairo_restore(cr);
}

int tornado_chart_height(size_t bars) {
    return int(std::max<size_t>(bars, 4) * 22 + 230);
}

void draw_tornado_chart(cairo_t *cr, int width, int height, const TornadoChart &c) {
    const double s = text_scale(width, height);
    cairo_save(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    const double label_width = 300 * s;
    const double left = 16 * s + label_width, right = width - 24 * s;
    const double top = draw_header(cr, 16 * s, s, width - 32 * s, c.title, c.notes) + 30 * s;
    const double bottom = height - 70 * s;
    Extent e;
    e.take(0);
    for (const TornadoBar &b : c.bars) {
        e.take(b.low);
        e.take(b.high);
    }
    const LinearAxis xa = linear_axis(e.lo, e.hi, left, right, 8, true);
    const double row = c.bars.empty() ? 1 : (bottom - top) / double(c.bars.size());
    // Grid.
    for (double v : xa.ticks) {
        set_colour(cr, Colour{0.88, 0.88, 0.88});
        cairo_set_line_width(cr, 1);
        cairo_move_to(cr, std::round(xa.at(v)) + 0.5, top);
        cairo_line_to(cr, std::round(xa.at(v)) + 0.5, bottom);
        cairo_stroke(cr);
    }
    draw_horizontal_axis(cr, xa, bottom, s);
    for (size_t i = 0; i < c.bars.size(); i++) {
        const TornadoBar &b = c.bars[i];
        const double y = top + row * double(i), h = std::min(row * 0.7, 18 * s);
        const double yc = y + row / 2;
        set_colour(cr, Colour{0, 0, 0});
        text_at(cr, left - 8 * s, yc + 4 * s, b.label + (b.optimum_moves ? " *" : ""), 11 * s,
                Align::Right, false, label_width - 8 * s);
        for (int end = 0; end < 2; end++) {
            const double v = end == 0 ? b.low : b.high;
            set_colour(cr, end == 0 ? kLow : kHigh);
            if (std::isnan(v)) {
                // No configuration at this end: a short mark at the left edge.
                cairo_rectangle(cr, left, yc - h / 2, 6 * s, h);
                cairo_fill(cr);
                continue;
            }
            const double x0 = xa.at(0), x1 = xa.at(v);
            cairo_rectangle(cr, std::min(x0, x1), yc - h / 2 + (end == 0 ? 0 : h / 2),
                            std::max(std::fabs(x1 - x0), 1.0), h / 2);
            cairo_fill(cr);
        }
    }
    set_colour(cr, Colour{0, 0, 0});
    cairo_set_line_width(cr, 1.2 * s);
    cairo_move_to(cr, std::round(xa.at(0)) + 0.5, top);
    cairo_line_to(cr, std::round(xa.at(0)) + 0.5, bottom);
    cairo_stroke(cr);
    text_at(cr, (left + right) / 2, bottom + 38 * s, c.axis_label, 12 * s, Align::Centre);
    // The key.
    const double ky = height - 16 * s;
    double kx = left;
    for (int end = 0; end < 2; end++) {
        set_colour(cr, end == 0 ? kLow : kHigh);
        cairo_rectangle(cr, kx, ky - 9 * s, 18 * s, 9 * s);
        cairo_fill(cr);
        set_colour(cr, Colour{0, 0, 0});
        const std::string label = end == 0 ? "number moved down" : "number moved up";
        text_at(cr, kx + 24 * s, ky, label, 11 * s);
        kx += 24 * s + text_width(cr, label, 11 * s) + 24 * s;
    }
    text_at(cr, kx, ky, "*: the optimum moves", 11 * s);
    cairo_restore(cr);
}
