// Pictures written to files: PNG or SVG, all or nothing.
#pragma once

#include <cairo.h>
#include <functional>
#include <string>

#include "charts/image_format.h"

// Draws a picture of width x height (pixels, or points for SVG) into path, whole or not at all
// (replace_file: a symbolic link's target replaced, the old file's permissions kept), so that a
// failed write leaves no partial picture. Returns an empty string or why the file was not
// written.
std::string write_image(const std::string &path, ImageFormat format, int width, int height,
                        const std::function<void(cairo_t *, int, int)> &draw);

// Frees the font caches that drawing text fills, for a program that draws nothing more: cairo
// and fontconfig keep them for the life of the process otherwise.
void release_drawing_caches();
