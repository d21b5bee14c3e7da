// A model file as the page opens one: the bytes of the file as they are (a NUL or a byte that is
// not UTF-8 reaches the reader), read by the program's reader under its size limit, so that a
// file is refused or accepted as the program would, with the program's messages. A file that
// loads is handed to `activate`, which makes it the active model; the answer then carries what
// the window says when it opens a file: the reader's plausibility warnings, then the notice of
// configurations whose figures are not finite (over every option set). A refused file changes
// nothing.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

struct ModelOpened {
    bool ok = false;
    // {"ok": true|false, "errors": [...], "warnings": ["warning: ...", ...], "notice": "..."},
    // each line as the window writes it after its name; "notice" is empty when every figure is
    // finite.
    std::string answer;
};

struct Model;

ModelOpened open_model_file(std::string_view bytes, const std::string &name,
                            const std::function<void(std::shared_ptr<const Model>)> &activate);
