#include "web/model_open.h"

#include <vector>

#include "model/model.h"
#include "modelfile/model_file.h"
#include "web/json_text.h"

ModelOpened open_model_file(std::string_view bytes, const std::string &name,
                            const std::function<void(std::shared_ptr<const Model>)> &activate) {
    const ModelFileResult loaded = parse_model_text(bytes, name);
    if (!loaded.model)
        return {false,
                "{\"ok\":false,\"errors\":" + json_strings(loaded.errors) + ",\"warnings\":[]}"};
    std::vector<std::string> warnings;
    for (const std::string &warning : loaded.warnings)
        warnings.push_back("warning: " + warning);
    activate(loaded.model);
    return {true, "{\"ok\":true,\"errors\":[],\"warnings\":" + json_strings(warnings) + "}"};
}

NonFiniteScan::NonFiniteScan() : sets_(every_option_set()) {}

bool NonFiniteScan::step(size_t option_sets) {
    std::vector<Request> requests;
    for (; next_ < sets_.size() && requests.size() < option_sets; next_++)
        requests.push_back(Request{sets_[next_], {}, {}});
    // One thread: the page's engine has no others (the count is the same on any number). The
    // first example in the option sets' order, as over all of them at once.
    const NonFiniteFigures part = non_finite_figures(requests, 1);
    if (found_.count == 0)
        found_.example = part.example;
    found_.count += part.count;
    return next_ == sets_.size();
}
