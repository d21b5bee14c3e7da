// Included before everything in the page's engine: emscripten 3.1.6's C++ library has no
// floating-point std::to_chars or std::from_chars. This gives the forms the engine uses: the
// shortest text that reads back to the same double (web/compat/shortest_chars.cpp), a fixed
// number of decimals (printf's, in the page's only locale, "C"), and a double read from the
// whole of a decimal text in the general format.
//
// The model-file reader (toml++) reads a float literal through from_chars here, not through a
// string stream as in the native build (web/compat/toml_float.h says why).
#pragma once

#define TOML_FLOAT_CHARCONV 1

#ifdef __cplusplus
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>

#include "web/compat/shortest_chars.h"
#include "web/compat/toml_float.h"

namespace std {
inline to_chars_result to_chars(char *first, char *last, double value) {
    char *end = shortest_chars(first, last, value);
    if (end == nullptr)
        return {last, errc::value_too_large};
    return {end, errc()};
}

inline to_chars_result to_chars(char *first, char *last, double value, chars_format format,
                                int precision) {
    const char *form = format == chars_format::fixed        ? "%.*f"
                       : format == chars_format::scientific ? "%.*e"
                       : format == chars_format::hex        ? "%.*a"
                                                            : "%.*g";
    const int length = snprintf(first, size_t(last - first), form, precision, value);
    if (length < 0 || length >= last - first)
        return {last, errc::value_too_large};
    return {first + length, errc()};
}

// What toml++ writes a float with when it prints a document (the engine does not).
inline to_chars_result to_chars(char *first, char *last, double value, chars_format format) {
    if (format != chars_format::hex)
        return to_chars(first, last, value);
    const int length = snprintf(first, size_t(last - first), "%a", value);
    if (length < 0 || length >= last - first)
        return {last, errc::value_too_large};
    return {first + length, errc()};
}

// The general format: [-] then digits with at most one point (at least one digit) and an
// optional exponent, or inf, infinity or nan in any letter case; no plus, no blanks, no hex.
inline from_chars_result from_chars(const char *first, const char *last, double &value) {
    const char *p = first;
    if (p < last && *p == '-')
        p++;
    auto word = [&](const char *w) {
        const char *q = p;
        for (; *w != 0; w++, q++)
            if (q >= last || (*q | 0x20) != *w)
                return static_cast<const char *>(nullptr);
        return q;
    };
    const char *end = nullptr;
    const char *named = word("infinity");
    if (named == nullptr)
        named = word("inf");
    if (named == nullptr)
        named = word("nan");
    if (named != nullptr) {
        end = named;
    } else {
        const char *q = p;
        int digits = 0;
        while (q < last && *q >= '0' && *q <= '9')
            q++, digits++;
        if (q < last && *q == '.') {
            q++;
            while (q < last && *q >= '0' && *q <= '9')
                q++, digits++;
        }
        if (digits == 0)
            return {first, errc::invalid_argument};
        if (q < last && (*q == 'e' || *q == 'E')) {
            const char *e = q + 1;
            if (e < last && (*e == '+' || *e == '-'))
                e++;
            if (e < last && *e >= '0' && *e <= '9') {
                while (e < last && *e >= '0' && *e <= '9')
                    e++;
                q = e;
            }
        }
        end = q;
    }
    const string text(first, end);
    errno = 0;
    const double read = strtod(text.c_str(), nullptr);
    if (errno == ERANGE && (isinf(read) || read == 0))
        return {end, errc::result_out_of_range};
    value = read;
    return {end, errc()};
}

// toml++ hands a float literal over in a writable buffer, which picks this overload
// (web/compat/toml_float.h); one that is not a value it says "could not be interpreted".
inline from_chars_result from_chars(char *first, char *last, double &value) {
    if (!read_toml_float(first, last, value))
        return {first, errc::invalid_argument};
    return {last, errc()};
}
} // namespace std
#endif
