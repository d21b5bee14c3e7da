// The one name the design-space map's content needs from the drawing library: the pictures are
// drawn by the page itself.
#pragma once

typedef struct _cairo cairo_t;
