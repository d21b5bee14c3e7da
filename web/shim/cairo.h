// The names the design-space map's content needs from the drawing library (as declarations of
// the chart helpers it includes mention them): the pictures are drawn by the page itself.
#pragma once

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;
