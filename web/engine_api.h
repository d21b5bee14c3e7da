// The page's calls into the engine, each answering with one JSON text (or plain text): the
// window's actions and state (session.h), the design-space map of what is on show, explain's
// table, a budget curve, and model files. Shared by the page's WebAssembly build and the native
// replay, which answers the same calls for the tests.
#pragma once

#include <string>
#include <string_view>

// Starts the explorer afresh on the active model, as the program opens its window.
void engine_restart();

// {"error": "", "state": {...}} after one action (Session::act).
std::string engine_act(const std::string &line);

// The active model: its source, parallel fraction, option names and window items, axes.
std::string engine_model_json();

// The design-space map of the design state, as the desktop map draws it: cells (speedup and
// broken limits, cache-major; the speedups in engine_map_speedups), limits, best and on-show cells,
// titles.
std::string engine_map_json();

// The speedup of every cell of the latest map, cache-major ("cells" of them).
const double *engine_map_speedups();

// The hover text of a cell of the latest map; empty outside it.
std::string engine_map_cell(int cache, int cores);

// explain's analysis of the options, limits and held dimensions on show, each limit relaxed
// alone by `step` (0.1 for 10 %).
std::string engine_explain_json(double step);

// The best speedup as one limit (0 area, 1 power, 2 bandwidth, 3 tsv) goes from start to end by
// step, the rest as on show; or {"error": why}.
std::string engine_budget_json(int limit, double start, double end, double step);

// Reads a model file's bytes (web/model_open.h); on success the model becomes active and the
// explorer restarts.
std::string engine_load_model(std::string_view bytes, const std::string &name);

// Goes through up to `option_sets` more option sets for configurations whose figures are not
// finite with the model file in use (web/model_open.h): {"done": true|false, "notice": "..."},
// the notice as the window gives it once done. With the built-in model, done at once.
std::string engine_scan_step(int option_sets);

// The model in use as a model file.
std::string engine_export_model();
