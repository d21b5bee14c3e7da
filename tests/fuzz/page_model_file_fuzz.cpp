// Fuzz target: a model file as the page's engine opens it (web/model_open.h, the entry its
// model-file button calls), on arbitrary bytes. The answer is JSON the page can read (once its
// bytes are decoded as the page decodes them); the file is accepted or refused as the program's
// reader takes it, with the same messages and warnings; a refused file leaves the model in use
// as it was; the notice of figures that are not finite, made a few option sets at a time, is the
// one made over the same option sets at once. And at the page's limit: the bytes padded to one byte
// beyond it are refused for their size alone, as the program refuses them, and a file that loads
// still loads when a comment pads it to the limit itself.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "model/model.h"
#include "modelfile/model_file.h"
#include "web/model_open.h"

namespace {

void require(bool holds, const char *what) {
    if (!holds) {
        fprintf(stderr, "%s\n", what);
        abort();
    }
}

// The text as the page reads the engine's answer: a byte that does not start a whole UTF-8
// sequence becomes U+FFFD.
std::string decoded(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t length = c < 0x80         ? 1
                              : (c >> 5) == 6  ? 2
                              : (c >> 4) == 14 ? 3
                              : (c >> 3) == 30 ? 4
                                               : 0;
        bool whole = length > 0 && i + length <= text.size();
        for (size_t k = 1; whole && k < length; k++)
            whole = (static_cast<unsigned char>(text[i + k]) & 0xc0) == 0x80;
        if (whole) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            out += "\xEF\xBF\xBD";
            i++;
        }
    }
    return out;
}

// Opens the bytes as the page does; the answer read as JSON.
nlohmann::json opened(std::string_view bytes, bool &activated) {
    activated = false;
    const ModelOpened answer =
        open_model_file(bytes, "fuzz.toml", [&](std::shared_ptr<const Model> model) {
            activated = true;
            set_active_model(std::move(model));
        });
    nlohmann::json json;
    try {
        json = nlohmann::json::parse(decoded(answer.answer));
    } catch (const nlohmann::json::exception &) {
        require(false, "the answer is not JSON");
    }
    require(json.at("ok").get<bool>() == answer.ok && answer.ok == activated,
            "the answer and the model in use disagree");
    return json;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    set_active_model(nullptr);
    bool activated = false;
    const nlohmann::json answer = opened(bytes, activated);

    const ModelFileResult program = parse_model_text(bytes, "fuzz.toml");
    require(answer["ok"].get<bool>() == (program.model != nullptr),
            "the page and the program disagree on whether the file loads");
    std::vector<std::string> errors, warnings;
    for (const std::string &error : program.errors)
        errors.push_back(decoded(error));
    for (const std::string &warning : program.warnings)
        warnings.push_back(decoded("warning: " + warning));
    require(answer["errors"] == errors, "the page's messages are not the program's");
    require(answer["warnings"] == warnings, "the page's warnings are not the program's");
    if (!activated) {
        require(&active_model() == &builtin_model(), "a refused file changed the model in use");
    } else {
        // The first few steps only: going through every option set takes seconds here.
        const size_t per_step = 1 + size % 3;
        NonFiniteScan scan;
        scan.step(per_step);
        scan.step(per_step);
        const std::vector<OptionSet> every = every_option_set();
        std::vector<Request> first;
        for (size_t i = 0; i < 2 * per_step && i < every.size(); i++)
            first.push_back(Request{every[i], {}, {}});
        require(scan.notice() == non_finite_warning(non_finite_figures(first, 1)),
                "the notice made a few option sets at a time is not the one made at once");
    }

    if (size < kModelFileMaxBytes) {
        std::string padded(bytes);
        padded += "\n#";
        padded.resize(kModelFileMaxBytes + 1, '#');
        const nlohmann::json over = opened(padded, activated);
        require(!over["ok"].get<bool>() && over["errors"].size() == 1 &&
                    over["errors"][0] == "fuzz.toml: file: it is larger than 1 MiB; accepted: a "
                                         "model file of at most 1 MiB",
                "a file over the limit is not refused for its size alone");
        if (program.model) {
            padded.resize(kModelFileMaxBytes);
            const nlohmann::json at = opened(padded, activated);
            require(at["ok"].get<bool>() && at["warnings"] == answer["warnings"],
                    "a file at the limit is not read as the same file without its last comment");
        }
    }
    set_active_model(nullptr);
    return 0;
}
