// Included before everything in the page's engine: emscripten 3.1.6's C++ library has no
// floating-point std::to_chars. This gives the one form the engine uses, the shortest text that
// reads back to the same double (web/compat/shortest_chars.cpp).
#pragma once

#ifdef __cplusplus
#include <charconv>
#include <system_error>

#include "web/compat/shortest_chars.h"

namespace std {
inline to_chars_result to_chars(char *first, char *last, double value) {
    char *end = shortest_chars(first, last, value);
    if (end == nullptr)
        return {last, errc::value_too_large};
    return {end, errc()};
}
} // namespace std
#endif
