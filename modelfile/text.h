// Texts of model files and their messages: numbers that read back exactly, names in quotes
// with control bytes escaped, TOML strings, and names compared ignoring case.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace model_file_detail {

// The shortest text that reads back to the same double.
std::string shortest(double value);
// A number as TOML reads it back to the same double.
std::string toml_number(double value);
// A C0, DEL or C1 control character at byte i.
bool is_control(std::string_view text, size_t i);
bool has_control(std::string_view text);
std::string hex_escape(unsigned char c);
// A text in double quotes for a message, control bytes escaped, cut after 40 bytes.
std::string in_quotes(std::string_view text);
// A text as a TOML basic string.
std::string toml_string(std::string_view text);
bool same_name(std::string_view a, std::string_view b);

// A character of a bare TOML key.
inline bool is_bare(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-';
}

template <class R> int index_of(const std::vector<R> &list, std::string_view name) {
    for (size_t i = 0; i < list.size(); i++)
        if (same_name(list[i].name, name))
            return static_cast<int>(i);
    return -1;
}

template <class R> std::string names_of(const std::vector<R> &list) {
    std::string text;
    for (const R &r : list)
        text += (text.empty() ? "" : ", ") + in_quotes(r.name);
    return text;
}

} // namespace model_file_detail
