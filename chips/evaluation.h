// One configuration of the model evaluated with every figure, at any core count and cache size
// (not only the axes' values) and at a scale step or a given supply and frequency, with the
// limits it breaks. On the axes' values the figures are the search engine's, bit for bit: the
// configuration is evaluated by the engine itself on a copy of the model whose first core count,
// cache size and L2 latency are the ones asked for.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/model.h"
#include "search/engine.h"
#include "study/design.h"
#include "study/energy.h"

struct EvaluationRequest {
    OptionSet options;
    Limits limits;       // a limit not given is the node's default
    double cores = 1;    // a whole number, at least 1
    double cache_mb = 1; // above 0
    // The operating point: a scale step of the axis (1.0 when none is given), or a supply and/or
    // a frequency. A supply alone runs at the frequency it allows; a frequency alone at the
    // step's supply. A supply above the nominal one is accepted, with a note.
    std::optional<double> scale;
    std::optional<double> vdd;  // V
    std::optional<double> freq; // GHz
};

struct Evaluation {
    std::string error; // why nothing was evaluated; empty when evaluated
    EvaluationRequest request;
    int scale_index = 0;
    double vdd = 0, freq = 0;             // the operating point, V and GHz
    double vdd_nominal = 0, freq_max = 0; // the core technology's supply and clock at step 1.0
    double l2_latency_ns = 0;             // of the L2 size asked for
    double miss_rate = 0;                 // L2 misses per access
    ConfigurationFigures figures;         // every figure, whatever the limits
    PowerBreakdown power{};               // the power term by term
    EnergyFigures energy{};               // from the speedup and the power
    LimitValues limits{};                 // in force
    bool breaks[4] = {};                  // indexed by Limit; Tsv only with 3D memory
    bool meets() const { return !breaks[0] && !breaks[1] && !breaks[2] && !breaks[3]; }
    // Where the model is taken beyond its data: an off-axis cache size's interpolated latency, a
    // supply above the nominal one or below the floor, a clock above what the supply allows.
    std::vector<std::string> notes;
};

// The L2 latency (ns) of any cache size for a node and cache technology: the row's own value
// on an axis size; between two axis sizes, the straight line between their latencies; below the
// smallest or above the largest, that end's latency (nothing is known beyond the rows).
double l2_latency_at(const Model &model, int node, bool lop_cache, double cache_mb);

// Evaluates a configuration of `model`; an out-of-range request gives only `error`.
Evaluation evaluate(const Model &model, const EvaluationRequest &request);

// The model's clock (GHz) at a supply (V) for the option set: the core technology's fmax times
// the frequency ratio the supply's ratio to the nominal one allows under the model's frequency
// law (with the voltage table, the ratio itself where the table has none, as above the nominal
// supply).
double clock_at_supply(const Model &model, const OptionSet &options, double vdd);

// The core technology's nominal supply (V) and fastest clock (GHz) for the option set.
double nominal_supply(const Model &model, const OptionSet &options);
double fastest_clock(const Model &model, const OptionSet &options);
