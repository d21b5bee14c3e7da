#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "modelfile/model_file.h"
#include "modelfile/plausibility.h"
#include "modelfile/reader.h"
#include "modelfile/syntax_guard.h"

using namespace model_file_detail;

ModelFileResult parse_model_text(std::string_view text, const std::string &source) {
    Reader reader(source);
    ModelFileResult result;
    std::vector<std::string> warnings;
    auto model = std::make_shared<Model>();
    if (text.size() > kModelFileMaxBytes) {
        reader.fail_file("it is larger than 1 MiB", "a model file of at most 1 MiB");
    } else if (std::optional<TextProblem> problem = text_problem(text)) {
        reader.fail(problem->line, "TOML syntax", problem->problem, problem->accepted);
    } else {
        try {
            const toml::table root = toml::parse(text, std::string_view(source));
            reader.read_model(root, *model);
            if (!reader.failed())
                warnings = warnings_of(root, *model, reader.bases(), source);
        } catch (const toml::parse_error &error) {
            const toml::source_position &at = error.source().begin;
            // The reader's words quote the offending text, which may be long.
            const std::string_view words = error.description();
            std::string description(words.substr(0, 200));
            if (words.size() > 200)
                description += "...";
            reader.fail(at.line > 0 ? static_cast<int>(at.line) : 1, "TOML syntax",
                        description + " (column " + std::to_string(at.column) + ")",
                        "a TOML 1.0 document");
        } catch (const std::exception &error) {
            reader.fail_file(std::string("it cannot be read: ") + error.what(),
                             "a TOML 1.0 document");
        }
    }
    result.errors = reader.take_errors();
    if (result.errors.empty()) {
        model->source = source;
        result.model = std::move(model);
        result.warnings = std::move(warnings);
    }
    return result;
}

ModelFileResult load_model_file(const std::string &path) {
    Reader reader(path);
    std::string text;
    struct stat status;
    std::FILE *file = nullptr;
    if (stat(path.c_str(), &status) != 0) {
        reader.fail_file(std::string("it cannot be read: ") + std::strerror(errno),
                         "the path of a readable model file");
    } else if (!S_ISREG(status.st_mode)) {
        reader.fail_file("it is not a regular file", "the path of a readable model file");
    } else if ((file = std::fopen(path.c_str(), "rb")) == nullptr) {
        reader.fail_file(std::string("it cannot be read: ") + std::strerror(errno),
                         "the path of a readable model file");
    } else {
        // One byte beyond the limit tells a file that is too large.
        text.resize(kModelFileMaxBytes + 1);
        text.resize(std::fread(text.data(), 1, text.size(), file));
        const bool failed = std::ferror(file) != 0;
        std::fclose(file);
        if (failed)
            reader.fail_file("it cannot be read", "the path of a readable model file");
        else
            return parse_model_text(text, path);
    }
    return ModelFileResult{nullptr, reader.take_errors(), {}};
}
