// A model file as the page opens one: the bytes of the file as they are (a NUL or a byte that is
// not UTF-8 reaches the reader), read by the program's reader under its size limit, so that a
// file is refused or accepted as the program would, with the program's messages. A file that
// loads is handed to `activate`, which makes it the active model; the answer then carries the
// reader's plausibility warnings as the window says them when it opens a file, and the notice
// that follows them (configurations whose figures are not finite, over every option set) comes
// from a NonFiniteScan. A refused file changes nothing.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "study/design.h"

struct ModelOpened {
    bool ok = false;
    // {"ok": true|false, "errors": [...], "warnings": ["warning: ...", ...]}, each line as the
    // window writes it after its name.
    std::string answer;
};

ModelOpened open_model_file(std::string_view bytes, const std::string &name,
                            const std::function<void(std::shared_ptr<const Model>)> &activate);

// The window's notice of configurations whose figures are not finite with the active model, made
// a few option sets at a time (the page's engine has one thread, and going through every option
// set takes it seconds: the page answers its controls in between).
class NonFiniteScan {
  public:
    NonFiniteScan(); // every option set of the active model, none gone through yet

    // Goes through up to `option_sets` more; true once every one is gone through.
    bool step(size_t option_sets);

    // The notice so far, as the window says it; empty when every figure is finite.
    std::string notice() const { return non_finite_warning(found_); }

  private:
    std::vector<OptionSet> sets_;
    size_t next_ = 0;
    NonFiniteFigures found_;
};
