// The engine's calls as the page's JavaScript reaches them: C strings in, a C string out, valid
// until the next call.
#include <emscripten/emscripten.h>

#include <string>

#include "web/engine_api.h"

namespace {
std::string answer;
const char *give(std::string text) {
    answer = std::move(text);
    return answer.c_str();
}
} // namespace

extern "C" {
EMSCRIPTEN_KEEPALIVE void web_restart() {
    engine_restart();
}
EMSCRIPTEN_KEEPALIVE const char *web_act(const char *line) {
    return give(engine_act(line));
}
EMSCRIPTEN_KEEPALIVE const char *web_model() {
    return give(engine_model_json());
}
EMSCRIPTEN_KEEPALIVE const char *web_map() {
    return give(engine_map_json());
}
EMSCRIPTEN_KEEPALIVE const double *web_map_speedups() {
    return engine_map_speedups();
}
EMSCRIPTEN_KEEPALIVE const char *web_map_cell(int cache, int cores) {
    return give(engine_map_cell(cache, cores));
}
EMSCRIPTEN_KEEPALIVE const char *web_explain(double step) {
    return give(engine_explain_json(step));
}
EMSCRIPTEN_KEEPALIVE const char *web_budget(int limit, double start, double end, double step) {
    return give(engine_budget_json(limit, start, end, step));
}
EMSCRIPTEN_KEEPALIVE const char *web_load_model(const char *text, const char *name) {
    return give(engine_load_model(text, name));
}
EMSCRIPTEN_KEEPALIVE const char *web_export_model() {
    return give(engine_export_model());
}
}
