// What the charts share: colours, text, axis ticks, the speedup colour bar, the styles that tell
// line series apart, and their legend.
#pragma once

#include <cairo.h>
#include <cstddef>
#include <string>
#include <vector>

struct Colour {
    double r, g, b;
};
void set_colour(cairo_t *cr, const Colour &c);

// Strokes the current path black on a wider white, so that it shows over dark and light, and
// clears it.
void stroke_black_on_white(cairo_t *cr, double white_width, double black_width);

// The speedup colour scale, dark blue (t = 0) to yellow (t = 1); NaN reads as 0.
Colour scale_colour(double t);

// Text sizes and margins of a chart drawn at width x height, as a share of the full-size
// picture's: 1 from 900 x 600 up, at least 0.75 however small, so that text stays legible.
double text_scale(int width, int height);

// The text with every byte sequence that is not UTF-8 (a file name in another encoding, say)
// replaced by U+FFFD, as cairo draws only UTF-8.
std::string valid_utf8(const std::string &text);

enum class Align { Left, Centre, Right };
// Text with its baseline at y. Wider than max_width, it is drawn smaller to fit.
void text_at(cairo_t *cr, double x, double y, const std::string &text, double size,
             Align align = Align::Left, bool bold = false, double max_width = 1e9);

// A piece of text as text_at lays it out, in the surface's units: its anchor (the baseline's
// left end, middle or right end, by align), the size actually drawn, the colour, and the
// transformation's linear part (identity unless turned, as an upright axis label is).
struct PlacedText {
    std::string text;
    double x, y;
    double xx, yx, xy, yy;
    double size;
    bool bold;
    Align align;
    double r, g, b, alpha;
};
// From now on, text drawn onto surface is laid out and measured as before but kept in texts
// instead of drawn as glyphs; a file of vector graphics writes it as text of its own. texts
// must outlive the drawing.
void keep_text_of(cairo_surface_t *surface, std::vector<PlacedText> *texts);
double text_width(cairo_t *cr, const std::string &text, double size, bool bold = false);
// Text turned a quarter left, centred on (x, y): an upright axis's label.
void upright_text_at(cairo_t *cr, double x, double y, const std::string &text, double size);

std::string number(const char *pattern, double value);

// A linear axis: values lo..hi onto positions from..to (pixels), with round ticks. Built by
// linear_axis from the values to show; with round_out the ends move out to the nearest ticks.
// An empty or not finite range becomes a nominal one around lo.
struct LinearAxis {
    double lo, hi, from, to;
    std::vector<double> ticks;
    double step;
    double at(double value) const { return from + (value - lo) / (hi - lo) * (to - from); }
};
LinearAxis linear_axis(double lo, double hi, double from, double to, int count, bool round_out);
// A grid line across a plot at y, from left to right, with its tick left of the plot.
void draw_tick_line(cairo_t *cr, double y, double left, double right, double scale);

// Ticks and labels left of a plot at the ticks of a vertical axis, with grid lines across it
// to right (none when right is left).
void draw_vertical_axis(cairo_t *cr, const LinearAxis &axis, double left, double right,
                        double scale);
// Ticks and labels under a plot at the ticks of a horizontal axis; a label that would run into
// the one before is left out.
void draw_horizontal_axis(cairo_t *cr, const LinearAxis &axis, double bottom, double scale);

// The title in bold at the top left and lines of text under it; returns the baseline of the
// last line. Every line fits between x and x + max_width.
double draw_header(cairo_t *cr, double x, double scale, double max_width, const std::string &title,
                   const std::vector<std::string> &lines);

// The colour scale as a bar from 0 (bottom) to top_value (top), with ticks and a caption.
void draw_colour_bar(cairo_t *cr, double x, double top, double height, double top_value,
                     double scale);

// Line series: a colour, a dash pattern and a marker shape each, so that series stay apart in
// grey print too. Styles repeat after the eighth series.
struct SeriesStyle {
    Colour colour;
    double dash[4];
    int dashes;
    int marker; // 0 circle, 1 square, 2 triangle, 3 diamond
};
const SeriesStyle &series_style(size_t index);
// Strokes the current path in a style.
void stroke_series(cairo_t *cr, const SeriesStyle &style, double line_width);
void draw_marker(cairo_t *cr, double x, double y, double radius, const SeriesStyle &style);

// The frame of a chart of line series: a white picture (the cairo state saved), the title and
// notes, and where the plot goes above the legend of the series (at least least_plot high).
struct ChartFrame {
    double scale, left, right, top, bottom, legend;
};
ChartFrame begin_chart(cairo_t *cr, int width, int height, const std::string &title,
                       const std::vector<std::string> &notes,
                       const std::vector<std::string> &series_labels, double least_plot);

// A legend of series: a line sample (with the marker) and the label each, laid in rows from
// left to right within width. Returns the height the rows take; draws them when draw is true.
double series_legend(cairo_t *cr, double x, double y, double width, double scale,
                     const std::vector<std::string> &labels, bool draw);
