// The drawing library's functions that the tool's pictures call, reached through one table so
// that only a command that draws loads cairo, fontconfig, freetype and X11's libraries: the
// table lives in a shared module (cpu-widget-pictures.so) that is opened on the first picture.
// A program may instead link the drawing in and hand its table over (link_drawing_module), as
// the tests do to draw in-process.
#pragma once

#include <cstddef>
#include <string>

#include "charts/curve_chart.h"
#include "charts/image_file.h"
#include "charts/limit_map_chart.h"
#include "charts/research_charts.h"
#include "charts/scaling_chart.h"
#include "charts/space_chart.h"
#include "charts/validation_chart.h"

struct DrawingModule {
    decltype(&::write_image) write_image;
    decltype(&::draw_space_chart) draw_space_chart;
    decltype(&::space_chart_layout) space_chart_layout;
    decltype(&::draw_curve_chart) draw_curve_chart;
    decltype(&::draw_limit_map_chart) draw_limit_map_chart;
    decltype(&::draw_scaling_chart) draw_scaling_chart;
    decltype(&::draw_pareto_chart) draw_pareto_chart;
    decltype(&::draw_tornado_chart) draw_tornado_chart;
    decltype(&::tornado_chart_height) tornado_chart_height;
    decltype(&::draw_validation_chart) draw_validation_chart;
    decltype(&::release_drawing_caches) release_drawing_caches;
};

// The name of the module's file and of the function in it that returns its table.
constexpr const char *kDrawingModuleFile = "cpu-widget-pictures.so";
constexpr const char *kDrawingModuleEntry = "cpu_widget_drawing_module";

// The table of the drawing linked into this program.
const DrawingModule *linked_drawing_functions();

// Makes a table the one drawing_module() returns, without opening the module.
void link_drawing_module(const DrawingModule *table);

// The drawing functions: the table handed over, or the module's, opened on first use from the
// program's own folder, then from the folder it is installed in. None, with why in error, when
// the module cannot be found or opened. Safe to call from several threads.
const DrawingModule *drawing_module(std::string &error);

// Frees the drawing's font caches when the drawing has been used; nothing otherwise.
void release_loaded_drawing_caches();
