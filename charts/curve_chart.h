// Best speedup as one limit varies, one line per series. The optimum is piecewise constant in a
// limit, so each line is drawn as steps: level runs, upright jumps where the optimum changes, a
// small mark where the configuration changes, and a gap where nothing meets the limits.
#pragma once

#include <string>
#include <vector>

#include <cairo.h>

// The best configuration at one value x of the limit.
struct CurvePoint {
    double x = 0;
    bool feasible = false; // some configuration meets the limits; the rest is meaningless if not
    double speedup = 0;
    double cores = 0, cache_mb = 0, scale = 0;
};

struct Curve {
    std::string label;              // the series' name in the legend
    std::vector<CurvePoint> points; // in ascending x
};

struct CurveChart {
    std::string title;
    std::vector<std::string> notes; // lines under the title
    std::string x_label;            // "power limit (W)"
    std::vector<Curve> curves;
};

// A stretch of a curve with one outcome, from the point first to last_x.
struct CurveRun {
    CurvePoint first;
    double last_x;
};

// Consecutive points with the same outcome (none feasible, or the same speedup and
// configuration) as one run each, in order. A point whose x is not finite is left out; a
// feasible point whose speedup is not finite counts as infeasible. Millions of points reduce to
// the few places where the optimum changes.
std::vector<CurveRun> curve_runs(const std::vector<CurvePoint> &points);

void draw_curve_chart(cairo_t *cr, int width, int height, const CurveChart &chart);
