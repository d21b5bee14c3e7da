#include "web/model_open.h"

#include <vector>

#include "model/model.h"
#include "modelfile/model_file.h"
#include "study/design.h"
#include "web/json_text.h"

ModelOpened open_model_file(std::string_view bytes, const std::string &name,
                            const std::function<void(std::shared_ptr<const Model>)> &activate) {
    const ModelFileResult loaded = parse_model_text(bytes, name);
    if (!loaded.model)
        return {false, "{\"ok\":false,\"errors\":" + json_strings(loaded.errors) +
                           ",\"warnings\":[],\"notice\":\"\"}"};
    std::vector<std::string> warnings;
    for (const std::string &warning : loaded.warnings)
        warnings.push_back("warning: " + warning);
    activate(loaded.model);
    // One thread: the page's engine has no others (the count is the same on any number).
    std::vector<Request> every;
    for (const OptionSet &o : every_option_set())
        every.push_back(Request{o, {}, {}});
    const std::string notice = non_finite_warning(non_finite_figures(every, 1));
    return {true, "{\"ok\":true,\"errors\":[],\"warnings\":" + json_strings(warnings) +
                      ",\"notice\":" + json_string(notice) + "}"};
}
