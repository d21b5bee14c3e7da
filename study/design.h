// What the command-line tool asks of the model: one option set with its limits and held
// dimensions, put into the design state the way the window puts it there, and the searches,
// sweeps and enumerations run on it.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "search/search.h"
#include "study/choices.h"

// Limits given on the command line; one not given is the node's default, as the window loads
// it on an option change.
struct Limits {
    std::optional<double> area;      // mm^2
    std::optional<double> power;     // W
    std::optional<double> bandwidth; // GB/s off-chip
    std::optional<double> tsv;       // GB/s through the vias; checked with 3D memory only
};

// Dimensions held at one value, as axis indices; a held scale step runs at the operating point
// vdd / freq, by default the step's own.
struct Holds {
    std::optional<int> cores, cache, scale;
    std::optional<double> vdd;  // V, needs a held scale
    std::optional<double> freq; // GHz, needs a held scale
};

struct Request {
    OptionSet options;
    Limits limits;
    Holds holds;
};

// The limits in force.
struct LimitValues {
    double area, power, bandwidth, tsv;
};

const char *limit_name(Limit limit); // "area", "power", "bandwidth", "tsv"

LimitValues limits_in_force(const OptionSet &options, const Limits &limits);

// Frequency (GHz) and supply (V) at scale step 1.0: the core technology's fmax and Vdd.
struct Ceilings {
    double freq, vdd;
};
Ceilings ceilings_of(const OptionSet &options);

// Voltage ratio of a scale step under the transistor kind's floor rule, as the search uses it.
double step_voltage_ratio(const OptionSet &options, int scale);
// The cores' frequency ratio of a scale step, and the one a supply (as a ratio to the nominal
// one) allows, under the model's frequency law.
double step_frequency_ratio(const OptionSet &options, int scale);
double held_frequency_ratio(const OptionSet &options, double vdd_ratio);

// The operating point a held scale step runs at: the step's own supply and frequency, or the
// given supply (with the frequency that supply allows) and/or the given frequency.
struct OperatingPoint {
    double vdd, freq;
};
OperatingPoint held_operating_point(const OptionSet &options, const Holds &holds);

// Why a given supply or frequency cannot be used with these options (above the ceiling, not
// above 0); empty when they can. The text names the argument and the accepted range.
std::string operating_point_error(const OptionSet &options, const Holds &holds);

// Resets the design state and sets options, limits in force, ceilings and held dimensions, as
// the window's option handler and sliders do.
void apply_request(const Request &request);

// Where a best configuration sits at an end of an axis that the search was free to move along
// (a held dimension is never at an edge): -1 at the low end (fewest cores, smallest cache, the
// first scale step), +1 at the high end, 0 inside. There the design space, not the chip,
// decided: a wider axis might hold a better configuration.
struct Edges {
    int cores = 0, cache = 0, scale = 0;
    bool any() const { return cores != 0 || cache != 0 || scale != 0; }
};

// The best configuration of one request.
struct BestConfiguration {
    OptionSet options;
    LimitValues limits;
    bool feasible = false; // some configuration in range meets every limit
    double speedup = 0;
    int scale = 0, cache = 0, cores = 0; // axis indices; meaningful only when feasible
    double vdd = 0, freq = 0;            // operating point of the configuration
    ConfigurationFigures figures;
    // Not feasible: the limits that no configuration in range meets even on its own. Empty
    // when only their combination rules every configuration out.
    std::vector<Limit> unmeetable;
    // Feasible, but the supply is below the voltage floor, so every speedup is 0.
    bool below_voltage_floor = false;
    Edges edges; // feasible: the ends of free axes it sits at
};

// The edges of a feasible configuration along the axes not held.
Edges edges_of(int cores, int cache, int scale, const Holds &holds);

// "smallest L2 cache (1 MB), first scale step (1.0)"; empty when at no edge.
std::string edges_text(const BestConfiguration &best);

// The search engine's description of a request: its options, the limits in force (every one
// checked), its held dimensions and operating point, on the active model.
SearchSpec spec_of(const Request &request);

// Runs the search engine on the request; with every dimension held, evaluates that one
// configuration. Reads and writes no design state, so requests can run on many threads.
BestConfiguration search_best(const Request &request);

// search_best of every request, in order, on up to `jobs` threads: the requests that differ only
// in their limits are searched together, which costs much less than a search each.
std::vector<BestConfiguration> search_best_many(const std::vector<Request> &requests, int jobs);

// The values of each option a sweep goes through, as indices into the model's lists in the
// model's order; an option with none takes every value.
struct OptionFilter {
    std::vector<int> workloads, memories, transistors, core_kinds, nodes;
};

// Every option combination of the active model (or those a filter lets through), workload
// outermost, then memory, transistor and core kinds, node innermost: how many, the i-th, and
// all of them.
size_t option_set_count(const OptionFilter &filter = {});
OptionSet option_set_at(size_t i, const OptionFilter &filter = {});
std::vector<OptionSet> every_option_set();

// The best configuration of every option combination (in every_option_set's order), each under
// the given limits or its node's defaults, searched on up to `jobs` threads.
std::vector<BestConfiguration> sweep(const Limits &limits, const Holds &holds, int jobs = 1);

// The same a batch at a time, in order, handed to `take`; stops when take returns false (and
// then returns false). Memory stays bounded whatever the number of option combinations.
bool sweep_in_batches(const Limits &limits, const Holds &holds, int jobs,
                      const std::function<bool(const std::vector<BestConfiguration> &)> &take,
                      const OptionFilter &filter = {});

// One configuration of the design space with its figures and the limits it breaks.
struct SpaceRow {
    int scale, cache, cores;
    double vdd, freq;
    ConfigurationFigures figures;
    bool breaks[4]; // indexed by Limit; breaks[Tsv] is false with plain memory
    bool feasible() const { return !breaks[0] && !breaks[1] && !breaks[2] && !breaks[3]; }
};

// Every configuration in range, in the search's order (scale, cache, cores ascending). A free
// scale step runs at its own ratios, a held one at the held operating point, as in the search.
std::vector<SpaceRow> space(const Request &request);

// Configurations whose figures are not all finite (a model file can make them so): they break
// every limit and are never selected. The built-in model has none.
struct NonFiniteFigures {
    size_t count = 0;    // over every request given
    std::string example; // the first of them: "1 cores, 1 MB, step 1.0 of OPTIONS: power nan W"
};
NonFiniteFigures non_finite_figures(const std::vector<Request> &requests, int jobs = 1);
// The same over count requests made one at a time by request_at, a batch at a time (memory
// stays bounded however many there are).
NonFiniteFigures non_finite_figures(size_t count, const std::function<Request(size_t)> &request_at,
                                    int jobs = 1);

// One line saying so (how many, one example with its figure); empty when there are none.
std::string non_finite_warning(const NonFiniteFigures &found);

// The least figure of a limit over the configurations in range whose figures are all finite
// (for saying how far a limit is from being met); infinity when there is none.
double least_figure(const Request &request, Limit limit);
