#include "charts/curve_chart.h"

#include <algorithm>
#include <cmath>

#include "charts/drawing.h"

namespace {

bool feasible(const CurvePoint &p) {
    return p.feasible && std::isfinite(p.speedup);
}

bool same_outcome(const CurvePoint &a, const CurvePoint &b) {
    if (!feasible(a) || !feasible(b))
        return feasible(a) == feasible(b);
    return a.speedup == b.speedup && a.cores == b.cores && a.cache_mb == b.cache_mb &&
           a.scale == b.scale;
}

struct Runs {
    std::vector<std::vector<CurveRun>> of_curve;
    double x_lo = INFINITY, x_hi = -INFINITY, top = 0;
    bool any_feasible = false;
};

Runs runs_of(const CurveChart &chart) {
    Runs r;
    for (const Curve &curve : chart.curves) {
        r.of_curve.push_back(curve_runs(curve.points));
        for (const CurveRun &run : r.of_curve.back()) {
            r.x_lo = std::fmin(r.x_lo, std::fmin(run.first.x, run.last_x));
            r.x_hi = std::fmax(r.x_hi, std::fmax(run.first.x, run.last_x));
            if (feasible(run.first)) {
                r.top = std::fmax(r.top, run.first.speedup);
                r.any_feasible = true;
            }
        }
    }
    return r;
}

// The steps of one curve. A run goes on to where the next feasible run starts (the jump is
// there) or, before a gap or at the end, to its own last point.
void draw_steps(cairo_t *cr, const std::vector<CurveRun> &runs, const LinearAxis &x,
                const LinearAxis &y, const SeriesStyle &style, double scale) {
    cairo_new_path(cr);
    bool joined = false;
    for (size_t i = 0; i < runs.size(); i++) {
        const CurveRun &run = runs[i];
        if (!feasible(run.first)) {
            joined = false;
            continue;
        }
        const bool next = i + 1 < runs.size() && feasible(runs[i + 1].first);
        const double level = y.at(run.first.speedup);
        if (joined)
            cairo_line_to(cr, x.at(run.first.x), level);
        else
            cairo_move_to(cr, x.at(run.first.x), level);
        cairo_line_to(cr, x.at(next ? runs[i + 1].first.x : run.last_x), level);
        joined = next;
    }
    stroke_series(cr, style, 2 * scale);
    // A mark where each configuration starts; marks closer than a few pixels are left out.
    double last = -1e9;
    for (const CurveRun &run : runs) {
        const double at = x.at(run.first.x);
        if (!feasible(run.first) || at - last < 5 * scale)
            continue;
        draw_marker(cr, at, y.at(run.first.speedup), 3 * scale, style);
        last = at;
    }
}

} // namespace

std::vector<CurveRun> curve_runs(const std::vector<CurvePoint> &points) {
    std::vector<CurveRun> runs;
    for (const CurvePoint &p : points) {
        if (!std::isfinite(p.x))
            continue;
        if (!runs.empty() && same_outcome(runs.back().first, p))
            runs.back().last_x = p.x;
        else
            runs.push_back(CurveRun{p, p.x});
    }
    return runs;
}

void draw_curve_chart(cairo_t *cr, int width, int height, const CurveChart &chart) {
    std::vector<std::string> labels;
    for (const Curve &curve : chart.curves)
        labels.push_back(curve.label);
    const ChartFrame f = begin_chart(cr, width, height, chart.title, chart.notes, labels, 10);
    const double s = f.scale, left = f.left, right = f.right, top = f.top, bottom = f.bottom;

    const Runs r = runs_of(chart);
    const LinearAxis x =
        linear_axis(r.x_lo, r.x_hi, left, right, int((right - left) / (90 * s)), false);
    // The axis ends a little below the frame, so that the highest step is not drawn over it.
    const LinearAxis y =
        linear_axis(0, r.top, bottom, top + 8 * s, int((bottom - top) / (50 * s)), true);
    draw_vertical_axis(cr, y, left, right, s);
    cairo_save(cr);
    cairo_rectangle(cr, left - 5 * s, top - 5 * s, right - left + 10 * s, bottom - top + 10 * s);
    cairo_clip(cr);
    for (size_t i = 0; i < r.of_curve.size(); i++)
        draw_steps(cr, r.of_curve[i], x, y, series_style(i), s);
    cairo_restore(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, std::round(left) + 0.5, std::round(top) + 0.5,
                    std::round(right) - std::round(left), std::round(bottom) - std::round(top));
    cairo_stroke(cr);
    draw_horizontal_axis(cr, x, std::round(bottom) + 0.5, s);
    text_at(cr, (left + right) / 2, bottom + 38 * s, chart.x_label, 13 * s, Align::Centre);
    upright_text_at(cr, left - 46 * s, (top + bottom) / 2, "best speedup", 13 * s);
    if (!r.any_feasible)
        text_at(cr, (left + right) / 2, (top + bottom) / 2,
                r.x_lo > r.x_hi ? "nothing to show" : "nothing meets the limits", 13 * s,
                Align::Centre);
    series_legend(cr, left, bottom + 50 * s, right - left, s, labels, true);
    cairo_restore(cr);
}
