// A TOML float literal as the model-file reader collects it (digits, a point, an exponent; no
// sign, no underscores) read as the native build reads it through a string stream: the value
// strtod gives for the whole text, subnormal or rounded to 0 as it may be, but not a value beyond
// the largest double. The page's C++ library's stream refuses whatever strtod reports out of
// range, subnormal values included, so the page reads literals here instead.
#pragma once

#include <cmath>
#include <cstdlib>
#include <string>

// The value of [first, last), or false when it is not one.
inline bool read_toml_float(const char *first, const char *last, double &value) {
    const std::string text(first, last);
    char *end = nullptr;
    const double read = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || std::isinf(read))
        return false;
    value = read;
    return true;
}
