// A check of a model file's raw text before the TOML reader sees it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace model_file_detail {

struct TextProblem {
    int line;
    std::string problem;
    const char *accepted;
};

// What the TOML reader is not given. It refuses all of it as well, but some of it trips
// faults of its own first: dotted keys and nesting deep enough to exhaust the stack, and a
// non-ASCII character where it looks for white space (outside strings and comments, or after
// a backslash in a multi-line string), which it classifies with undefined behaviour. The text is
// scanned as TOML tokenises it: strings and comments are skipped, and a number, a date or a key of
// a model file stays far below the bounds.
std::optional<TextProblem> text_problem(std::string_view s);

} // namespace model_file_detail
