#include "modelfile/text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace model_file_detail {

std::string shortest(double value) {
    char text[64];
    auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return error == std::errc() ? std::string(text, end) : std::string("?");
}

// A number as TOML reads it back to the same double: a whole number without a point reads as
// an integer, which is exact below 2^53; other whole numbers and -0 get a ".0".
std::string toml_number(double value) {
    std::string text = shortest(value);
    if (std::isfinite(value) && text.find_first_of(".e") == std::string::npos &&
        (std::fabs(value) >= 0x1p53 || (value == 0 && std::signbit(value))))
        text += ".0";
    return text;
}

bool is_control(std::string_view text, size_t i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    // C0, DEL, and C1 (U+0080 to U+009F, encoded C2 80 to C2 9F).
    return c < 0x20 || c == 0x7f ||
           (c == 0xc2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) <= 0x9f);
}

bool has_control(std::string_view text) {
    for (size_t i = 0; i < text.size(); i++)
        if (is_control(text, i))
            return true;
    return false;
}

std::string hex_escape(unsigned char c) {
    char text[8];
    snprintf(text, sizeof text, "\\x%02x", c);
    return text;
}

// A text in double quotes for a message, control bytes escaped, cut after 40 bytes.
std::string in_quotes(std::string_view text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); i++) {
        if (i >= 40 && (static_cast<unsigned char>(text[i]) & 0xc0) != 0x80) {
            out += "...";
            break;
        }
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7f)
            out += hex_escape(c);
        else if (c == '"' || c == '\\')
            out += {'\\', static_cast<char>(c)};
        else
            out += static_cast<char>(c);
    }
    return out + "\"";
}

// A text as a TOML basic string.
std::string toml_string(std::string_view text) {
    std::string out = "\"";
    for (char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7f) {
            char escape[8];
            snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else if (c == '"' || c == '\\') {
            out += {'\\', ch};
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

bool same_name(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

} // namespace model_file_detail
