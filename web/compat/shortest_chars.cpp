#include "web/compat/shortest_chars.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#ifdef __EMSCRIPTEN__
#include <emscripten/emscripten.h>

// The browser's own shortest digits of a positive finite double: a JavaScript number's text
// (Number::toString) has the fewest significant digits that read back to the same double and,
// of those, the nearest to it, as std::to_chars. Writes the digits (at most 17, then a NUL) to
// out and answers the decimal exponent of the first one.
// (JavaScript, which the formatter leaves as it is.)
// clang-format off
EM_JS(int, browser_shortest_digits, (double value, char *out), {
    var text = String(value);
    var exponent = 0;
    var e = text.indexOf("e");
    if (e >= 0) {
        exponent = Number(text.slice(e + 1));
        text = text.slice(0, e);
    }
    var point = text.indexOf(".");
    var whole = point < 0 ? text : text.slice(0, point);
    var digits = whole + (point < 0 ? "" : text.slice(point + 1));
    exponent += whole.length - 1;
    var first = 0;
    while (digits.charAt(first) === "0") {
        first++;
        exponent--;
    }
    digits = digits.slice(first).replace(/0+$/, "");
    for (var i = 0; i < digits.length; i++)
        HEAPU8[out + i] = digits.charCodeAt(i);
    HEAPU8[out + digits.length] = 0;
    return exponent;
});
// clang-format on
#endif

namespace {

bool reads_back(const char *text, double value) {
    return std::strtod(text, nullptr) == value;
}

// The decimal digits of a scientific text "d.ddde±x" and its exponent.
void split(const char *text, std::string &digits, int &exponent) {
    digits.clear();
    const char *p = text;
    for (; *p != 'e'; p++)
        if (*p >= '0' && *p <= '9')
            digits += *p;
    exponent = std::atoi(p + 1);
}

// digits (no leading zero) times 10^(exponent - digits + 1), as text.
std::string scientific(const std::string &digits, int exponent) {
    std::string text = digits.substr(0, 1);
    if (digits.size() > 1) {
        text += '.';
        text.append(digits, 1);
    }
    char tail[16];
    std::snprintf(tail, sizeof tail, "e%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
    return text + tail;
}

std::string fixed(const std::string &digits, int exponent) {
    const int n = int(digits.size());
    std::string text;
    if (exponent < 0) {
        text = "0.";
        text.append(size_t(-exponent - 1), '0');
        text += digits;
    } else if (exponent >= n - 1) {
        text = digits;
        text.append(size_t(exponent - (n - 1)), '0');
    } else {
        text.assign(digits, 0, size_t(exponent) + 1);
        text += '.';
        text.append(digits, size_t(exponent) + 1);
    }
    return text;
}

// The digits one unit up or down in the last place ("129" -> "13" up, "128" down), with the
// exponent moved when they carry over ("999" up is "1" one place higher).
bool neighbour(std::string &digits, int &exponent, int direction) {
    std::string d = digits;
    int i = int(d.size()) - 1;
    if (direction > 0) {
        while (i >= 0 && d[size_t(i)] == '9')
            d[size_t(i--)] = '0';
        if (i < 0) {
            d.insert(d.begin(), '1');
            exponent++;
        } else {
            d[size_t(i)]++;
        }
    } else {
        while (i >= 0 && d[size_t(i)] == '0')
            d[size_t(i--)] = '9';
        if (i < 0 || (i == 0 && d[0] == '1' && d.size() > 1))
            return false; // would lose a digit: not the same length
        d[size_t(i)]--;
    }
    while (d.size() > 1 && d.back() == '0')
        d.pop_back();
    digits = d;
    return true;
}

// The fewest digits whose nearest decimal reads back (more digits always do too), found by
// halving; then, where the spacing of doubles changes (at a power of two), one digit fewer
// may still read back as the digits one unit up or down in the last place. Each try prints and
// reads a number through the C library, whose long double arithmetic is slow in WebAssembly.
void searched_digits(double magnitude, std::string &digits, int &exponent) {
    auto nearest = [&](int precision, std::string &d, int &e) {
        char text[40];
        std::snprintf(text, sizeof text, "%.*e", precision, magnitude);
        split(text, d, e);
        return reads_back(scientific(d, e).c_str(), magnitude);
    };
    int low = 0, high = 16; // %.16e (17 digits) always reads back
    while (low < high) {
        const int mid = (low + high) / 2;
        std::string d;
        int e;
        if (nearest(mid, d, e))
            high = mid;
        else
            low = mid + 1;
    }
    nearest(low, digits, exponent);
    if (low > 0) {
        std::string d;
        int e;
        nearest(low - 1, d, e);
        for (int direction : {+1, -1}) {
            std::string n = d;
            int ne = e;
            if (neighbour(n, ne, direction) && n.size() <= size_t(low) &&
                reads_back(scientific(n, ne).c_str(), magnitude)) {
                digits = n, exponent = ne;
                break;
            }
        }
    }
}

// The shortest digits of a positive finite double and the decimal exponent of the first: in the
// browser its own (fast and exact), elsewhere found with the C library.
void shortest_digits(double magnitude, std::string &digits, int &exponent) {
#ifdef __EMSCRIPTEN__
    char text[32];
    exponent = browser_shortest_digits(magnitude, text);
    digits = text;
#else
    searched_digits(magnitude, digits, exponent);
#endif
}

using DigitsOf = void (*)(double, std::string &, int &);

std::string shortest_text(double value, DigitsOf digits_of) {
    if (std::isnan(value))
        return std::signbit(value) ? "-nan" : "nan";
    if (std::isinf(value))
        return value < 0 ? "-inf" : "inf";
    if (value == 0)
        return std::signbit(value) ? "-0" : "0";
    const std::string sign = value < 0 ? "-" : "";
    const double magnitude = std::fabs(value);
    std::string digits;
    int exponent = 0;
    digits_of(magnitude, digits, exponent);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    std::string f = fixed(digits, exponent);
    const std::string s = scientific(digits, exponent);
    if (f.size() > s.size())
        return sign + s;
    // A whole number written out in full shows its exact digits, as printf's %.0f does, where
    // the shortest digits would be followed by zeros.
    if (exponent >= int(digits.size())) {
        // Below 2^53 such a number is a whole double, written as an integer (printf is slow in
        // WebAssembly).
        if (magnitude < 9007199254740992.0)
            return sign + std::to_string(static_cast<unsigned long long>(magnitude));
        char whole[400];
        std::snprintf(whole, sizeof whole, "%.0f", magnitude);
        f = whole;
    }
    return sign + f;
}

} // namespace

namespace {
char *written(char *first, char *last, const std::string &text) {
    if (text.size() > size_t(last - first))
        return nullptr;
    std::memcpy(first, text.data(), text.size());
    return first + text.size();
}
} // namespace

char *shortest_chars(char *first, char *last, double value) {
    return written(first, last, shortest_text(value, shortest_digits));
}

char *shortest_chars_searched(char *first, char *last, double value) {
    return written(first, last, shortest_text(value, searched_digits));
}
