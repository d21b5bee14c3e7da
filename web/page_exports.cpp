// The engine's calls as the page's JavaScript reaches them: text in as bytes and a length in the
// engine's heap (the page's web/page/engine_guard.js puts it there: never on the engine's stack,
// which a large text would overrun, and NUL bytes included), a C string out, valid until the
// next call.
#include <emscripten/emscripten.h>

#include <string>

#include <exception>

#include "modelfile/model_file.h"
#include "web/compat/shortest_chars.h"
#include "web/engine_api.h"
#include "web/exercise_api.h"
#include "web/session.h"

namespace {
std::string answer;
const char *give(std::string text) {
    answer = std::move(text);
    return answer.c_str();
}

// Set by the page's tests only: the next action traps, as a fault in the engine would, so that
// the page's recovery can be seen at work.
bool trap_on_next_action = false;

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
EMSCRIPTEN_KEEPALIVE const char *web_act(const char *line, size_t length) {
    if (trap_on_next_action)
        __builtin_trap();
    return guarded([&] { return engine_act(std::string(line, length)); });
}
EMSCRIPTEN_KEEPALIVE void web_test_trap_on_next_action() {
    trap_on_next_action = true;
}
// For the page's tests: the first of count doubles whose number text differs between the
// browser's digits and the C library's (shortest_chars_searched), as "value: text, reference",
// or "" when none does.
EMSCRIPTEN_KEEPALIVE const char *web_test_number_text(const double *values, size_t count) {
    for (size_t i = 0; i < count; i++) {
        char text[64], reference[64];
        const char *end = shortest_chars(text, text + sizeof text, values[i]);
        const char *reference_end =
            shortest_chars_searched(reference, reference + sizeof reference, values[i]);
        const std::string a = end ? std::string(text, size_t(end - text)) : "(too long)";
        const std::string b = reference_end
                                  ? std::string(reference, size_t(reference_end - reference))
                                  : "(too long)";
        if (a != b)
            return give(b + ": written " + a);
    }
    return give("");
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
EMSCRIPTEN_KEEPALIVE const char *web_load_model(const char *bytes, size_t size, const char *name,
                                                size_t name_size) {
    return guarded([&] {
        return engine_load_model(std::string_view(bytes, size), std::string(name, name_size));
    });
}
// The most of a file the page hands to the engine: one byte beyond the reader's limit tells a file
// that is too large, as the program reads one.
EMSCRIPTEN_KEEPALIVE size_t web_model_file_read_bytes() {
    return kModelFileMaxBytes + 1;
}
EMSCRIPTEN_KEEPALIVE const char *web_scan_step(int option_sets) {
    return guarded([&] { return engine_scan_step(option_sets); });
}
EMSCRIPTEN_KEEPALIVE const char *web_export_model() {
    return guarded([&] { return engine_export_model(); });
}
EMSCRIPTEN_KEEPALIVE const char *web_request_csv(const char *request, size_t request_size) {
    return guarded([&] { return engine_request_csv(std::string(request, request_size)); });
}
EMSCRIPTEN_KEEPALIVE const char *web_budget_csv(const char *request, size_t request_size,
                                                const char *vary, size_t vary_size,
                                                int check_only) {
    return guarded([&] {
        return engine_budget_csv(std::string(request, request_size), std::string(vary, vary_size),
                                 check_only != 0);
    });
}
}
