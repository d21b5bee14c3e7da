// The kinds of picture file, told from a file name without drawing anything (no cairo here).
#pragma once

#include <optional>
#include <string_view>

enum class ImageFormat { Png, Svg };

// From the file name's extension (.png or .svg, any letter case); none for anything else.
std::optional<ImageFormat> image_format_of(std::string_view path);
