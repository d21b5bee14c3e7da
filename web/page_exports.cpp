// The engine's calls as the page's JavaScript reaches them: C strings in, a C string out, valid
// until the next call.
#include <emscripten/emscripten.h>

#include <string>

#include <exception>

#include "web/engine_api.h"
#include "web/exercise_api.h"
#include "web/session.h"

namespace {
std::string answer;
const char *give(std::string text) {
    answer = std::move(text);
    return answer.c_str();
}

// A call that fails inside the engine answers with why, as JSON, instead of an exception that
// would end up in the page's console.
template <typename Call> const char *guarded(Call call) {
    try {
        return give(call());
    } catch (const std::exception &e) {
        return give("{\"error\":" + json_string(std::string("the engine refused: ") + e.what()) +
                    "}");
    }
}
} // namespace

extern "C" {
EMSCRIPTEN_KEEPALIVE void web_restart() {
    engine_restart();
}
EMSCRIPTEN_KEEPALIVE const char *web_act(const char *line) {
    return guarded([&] { return engine_act(line); });
}
EMSCRIPTEN_KEEPALIVE const char *web_model() {
    return guarded([&] { return engine_model_json(); });
}
EMSCRIPTEN_KEEPALIVE const char *web_map() {
    return guarded([&] { return engine_map_json(); });
}
EMSCRIPTEN_KEEPALIVE const double *web_map_speedups() {
    return engine_map_speedups();
}
EMSCRIPTEN_KEEPALIVE const char *web_map_cell(int cache, int cores) {
    return guarded([&] { return engine_map_cell(cache, cores); });
}
EMSCRIPTEN_KEEPALIVE const char *web_explain(double step) {
    return guarded([&] { return engine_explain_json(step); });
}
EMSCRIPTEN_KEEPALIVE const char *web_budget(int limit, double start, double end, double step) {
    return guarded([&] { return engine_budget_json(limit, start, end, step); });
}
EMSCRIPTEN_KEEPALIVE const char *web_load_model(const char *text, const char *name) {
    return guarded([&] { return engine_load_model(text, name); });
}
EMSCRIPTEN_KEEPALIVE const char *web_export_model() {
    return guarded([&] { return engine_export_model(); });
}
EMSCRIPTEN_KEEPALIVE const char *web_request_csv(const char *request) {
    return guarded([&] { return engine_request_csv(request); });
}
EMSCRIPTEN_KEEPALIVE const char *web_budget_csv(const char *request, const char *vary,
                                                int check_only) {
    return guarded([&] { return engine_budget_csv(request, vary, check_only != 0); });
}
}
