// The explorer window driven by actions, one line each, through the same controls and handlers
// as on the desktop (ui/window.cpp, ui/handlers.cpp), and what it shows as one JSON object: the
// page's engine, and the native replay the tests compare it with.
//
// Actions:
//   option I V    option box I (0 workload, 1 memory, 2 transistor, 3 core kind, 4 node)
//                 selects item V
//   limit S V     limit spin button S (2 area, 3 power, 4 off-chip bandwidth, 5 TSV) set to V
//   lock I 0|1    lock check button I (0 "core number", 1 "cache size", 2 "Vdd")
//   best          "Best Performance"
//   slider S V    slider S (0 core-count index, 1 cache-size index, 3 scale-step index,
//                 4 frequency, 5 supply voltage) set to V
// and one that is not the window's, for opening a link:
//   point S V F   scale-step index S at supply V and frequency F, as a search leaves them (the
//                 sliders show them; nothing is searched), for the next search that holds the
//                 scale step. S "-": the step on show; V "-": the step's own supply; F "-": the
//                 frequency the supply allows (the voltage slider's), or with V "-" too the step's
//                 own
#pragma once

#include <string>
#include <string_view>

#include "search/engine.h"
#include "ui/window.h"
#include "web/json_text.h"

class Session {
  public:
    // Builds the window on the active model, as the program does at start-up.
    Session();

    // Runs one action; empty when done, otherwise why it was refused (nothing changes then).
    std::string act(std::string_view line);

    // Everything on show, as JSON: the result's figures as the tool's CSV writes them
    // ("fields"), the labels, sliders, gauge, limits, locks and options, and which dimensions
    // the latest search held.
    std::string state_json() const;

    // Which dimensions the latest search held (cores, cache, scale); all 0 before any search.
    const int *held() const { return held_; }

  private:
    ExplorerWindow window_;
    bool searched_ = false; // some search has run
    int held_[3] = {0, 0, 0};
    SearchOutcome outcome_;
    bool feasible_ = false;

    void record(int hold_cores, int hold_cache, int hold_scale);
};
