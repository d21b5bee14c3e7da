#include "modelfile/syntax_guard.h"

#include <algorithm>

#include "modelfile/text.h"

namespace model_file_detail {

namespace {

// The TOML reader builds a table per segment of a dotted key and nests values as deep as the
// file does; both are bounded before it runs so that no file can exhaust the stack.
constexpr int kMaxKeySegments = 16;
constexpr int kMaxNesting = 32;

TextProblem problem_at(std::string_view s, size_t at, const std::string &problem,
                       const char *accepted) {
    const std::string_view before = s.substr(0, at);
    const size_t newline = before.rfind('\n');
    const size_t column = at - (newline == std::string_view::npos ? 0 : newline + 1) + 1;
    return TextProblem{1 + static_cast<int>(std::count(before.begin(), before.end(), '\n')),
                       problem + " (column " + std::to_string(column) + ")", accepted};
}

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

std::optional<TextProblem> text_problem(std::string_view s) {
    for (size_t i = 0; i < s.size(); i++) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7f)
            return problem_at(s, i, "control character " + hex_escape(c),
                              "text without control characters but tab and line ends");
    }
    int open = 0, dots = 0;
    size_t i = s.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0; // a byte-order mark is allowed
    while (i < s.size()) {
        const char c = s[i];
        if (c == '#') {
            i = std::min(s.find('\n', i), s.size());
        } else if (c == '"' || c == '\'') {
            const bool multi_line = s.substr(i, 3) == std::string(3, c);
            const std::string_view fence = s.substr(i, multi_line ? 3 : 1);
            size_t j = i + fence.size();
            while (j < s.size() && s.substr(j, fence.size()) != fence &&
                   (multi_line || s[j] != '\n')) {
                if (c == '"' && s[j] == '\\') {
                    size_t next = j + 1;
                    while (multi_line && next < s.size() && is_blank(s[next]))
                        next++;
                    if (multi_line && next < s.size() &&
                        static_cast<unsigned char>(s[next]) >= 0x80)
                        return problem_at(s, next, "a non-ASCII character after a backslash",
                                          "an escape sequence after a backslash");
                    j++;
                }
                j++;
            }
            i = j < s.size() && s[j] != '\n' ? j + fence.size() : j;
        } else if (static_cast<unsigned char>(c) >= 0x80) {
            return problem_at(s, i, "a non-ASCII character outside a string or comment",
                              "non-ASCII text only in strings and comments");
        } else {
            if (c == '.' && ++dots > kMaxKeySegments)
                return problem_at(s, i, "a dotted key of more than 16 segments",
                                  "keys of at most 16 segments");
            if (c == '[' || c == '{') {
                if (++open > kMaxNesting)
                    return problem_at(s, i, "arrays or tables nested more than 32 deep",
                                      "arrays and inline tables nested at most 32 deep");
            } else if (c == ']' || c == '}') {
                open = std::max(0, open - 1);
            }
            if (!is_bare(c) && c != '.' && c != ' ' && c != '\t')
                dots = 0;
            i++;
        }
    }
    return std::nullopt;
}

} // namespace model_file_detail
