#include "pictures/drawing_module.h"

const DrawingModule *linked_drawing_functions() {
    static const DrawingModule table{
        &write_image,          &draw_space_chart,      &space_chart_layout,    &draw_curve_chart,
        &draw_limit_map_chart, &draw_scaling_chart,    &draw_pareto_chart,     &draw_tornado_chart,
        &tornado_chart_height, &draw_validation_chart, &release_drawing_caches};
    return &table;
}
