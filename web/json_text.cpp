#include "web/json_text.h"

#include <cstdio>

std::string json_string(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char code[8];
            std::snprintf(code, sizeof code, "\\u%04x", c);
            out += code;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string json_strings(const std::vector<std::string> &texts) {
    std::string j = "[";
    for (size_t i = 0; i < texts.size(); i++) {
        j += i ? "," : "";
        j += json_string(texts[i]);
    }
    return j + "]";
}
