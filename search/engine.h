// The search engine: the constrained enumeration of the design space (8 scale steps x 67 cache
// sizes x 35 core counts) on an explicit description of one search. It reads nothing but that
// description and the model it names, and writes nothing, so that any number of searches can
// run at once on any number of threads. The window's entry points are one caller of it.
#pragma once

#include <cmath>
#include <vector>

#include "model/model.h"
#include "model/power.h"
#include "model/scaling.h"

// The figures of one configuration. A figure whose check is switched off is not computed by
// the searches and stays 0.
struct ConfigurationFigures {
    double area = 0;          // mm^2, the stack's interface included
    double power = 0;         // W, the stack's layers included
    double bandwidth = 0;     // GB/s off-chip (behind the stack with 3D memory)
    double bandwidth_tsv = 0; // GB/s through the vias; 0 with plain memory
    double speedup = 0;
};

struct SearchOutcome {
    bool found = false; // false: nothing qualified and the indices are the fallback ones
    double speedup = 0.0;
    int scale = 7, cache = 0, cores = 0;
    ConfigurationFigures figures; // of the configuration found
};

// The limits, in the order of their figures.
enum class Limit { Area, Power, Bandwidth, Tsv };

// Which limits are checked and their values.
struct LimitChecks {
    bool area = true, power = true,
         bandwidth = true;      // bandwidth: off-chip and, with 3D memory, TSV
    double area_limit = 0;      // mm^2
    double power_limit = 0;     // W
    double bandwidth_limit = 0; // GB/s off-chip
    double tsv_limit = 0;       // GB/s through the vias, checked with 3D memory only

    double &value(Limit limit) {
        return limit == Limit::Area        ? area_limit
               : limit == Limit::Power     ? power_limit
               : limit == Limit::Bandwidth ? bandwidth_limit
                                           : tsv_limit;
    }
    double value(Limit limit) const { return const_cast<LimitChecks &>(*this).value(limit); }
    bool checked(Limit limit) const {
        return limit == Limit::Area ? area : limit == Limit::Power ? power : bandwidth;
    }
    void check(Limit limit) {
        (limit == Limit::Area ? area : limit == Limit::Power ? power : bandwidth) = true;
    }
};

// The figure a limit bounds.
double figure_of(const ConfigurationFigures &figures, Limit limit);

// Whether every figure and the speedup are finite. A model file can give a configuration a
// NaN or infinite figure (a supply or threshold at 1e30, a reference supply of 1e-30); such a
// configuration breaks every limit, whether it is checked or not, and is never selected.
inline bool figures_finite(const ConfigurationFigures &f) {
    return std::isfinite(f.area) && std::isfinite(f.power) && std::isfinite(f.bandwidth) &&
           std::isfinite(f.bandwidth_tsv) && std::isfinite(f.speedup);
}

// One search: the options (indices into the model's lists), the limits, the held dimensions
// and the operating point of a held scale step.
struct SearchSpec {
    const Model *model = nullptr; // must outlive the search
    int workload = 0;
    int memory = 0;     // 0 plain, anything else 3D-stacked
    int transistor = 0; // 0 LOP, 1 LOP/HP (LOP cache), anything else HP
    int core_kind = 0;
    int node = 0;
    LimitChecks limits;
    // A held dimension is searched at its index only. A held scale step runs at the operating
    // point given as ratios to the ceilings (frequency and supply at step 1.0).
    bool hold_cores = false, hold_cache = false, hold_scale = false;
    int cores = 0, cache = 0, scale = 0;
    double vdd_ratio = 1, f_ratio = 1;

    bool evaluation() const { return hold_cores && hold_cache && hold_scale; }
};

// The best configuration accepted: every checked limit met, every figure finite (figures_finite,
// whatever the checks), speedup at least 0 and at least that of every other (ties go to the later
// configuration, scale outermost and cores innermost). With every dimension held the one
// configuration is evaluated, and one that breaks a limit or has a figure that is not finite
// scores 0.
//
// With power_lines, each power figure of a 3D-memory search with HP cores is traced
// (trace_power), as the window's console shows them; the trace is not reentrant.
SearchOutcome search_design_space(const SearchSpec &spec, bool power_lines = false);

// Searches of one option set, held dimensions and operating point that differ only in their
// checks and limits: the i-th outcome is what search_design_space returns with limits[i], bit for
// bit. The terms of every step are worked out once for all of them, and a configuration found
// for one set of limits that meets another's starts that search at its speedup, which skips most
// of the space.
std::vector<SearchOutcome> search_design_space_many(const SearchSpec &spec,
                                                    const std::vector<LimitChecks> &limits);

// Every figure of one configuration, whatever the checks and limits. A held scale step
// (hold_scale) evaluates at the search's held operating point.
ConfigurationFigures evaluate_design_point(const SearchSpec &spec, int scale, int cache, int cores);

// The power of one configuration term by term (evaluate_design_point's): the chip's terms, the
// memory stack's layers (0 with plain memory) and the power figure they make, which is
// chip.total(), plus memory_stack with 3D memory.
struct PowerBreakdown {
    PowerTerms chip;
    double memory_stack;
    double power;           // ConfigurationFigures::power
    double uncore_area = 0; // mm^2 of the area that is the node's uncore
};
PowerBreakdown power_breakdown(const SearchSpec &spec, int scale, int cache, int cores);

// Every configuration in range, in the search's order (scale, cache, cores ascending), with all
// of its figures whatever the checks and limits, as evaluate_design_point gives them.
struct EvaluatedConfiguration {
    int scale, cache, cores;
    ConfigurationFigures figures;
};
std::vector<EvaluatedConfiguration> evaluate_design_space(const SearchSpec &spec);

// The configurations in range whose figures are not all finite (figures_finite), as
// evaluate_design_space gives them: how many, and the first of them in the search's order.
// A cache size's row that the search's own proof shows finite throughout (every table by core
// count finite and rising, every figure finite at both ends) is not gone through one by one, so
// that a model whose figures are all finite costs a few checks per row.
struct NonFiniteConfigurations {
    size_t count = 0;
    EvaluatedConfiguration first{}; // when count > 0
};
NonFiniteConfigurations non_finite_configurations(const SearchSpec &spec);

// Voltage ratio of a scale step's target under the transistor kind's floor rule.
double voltage_step(const TranTechRecord &node, int transistor, double target);

// Frequency ratio of a scale step under the model's law (model/scaling.h frequency_ratio): the
// table's for the target, or the alpha-power law's at voltage_step's ratio.
double step_frequency_ratio(const Model &model, const TranTechRecord &node, int transistor,
                            double target);

// Frequency ratio a supply given as a ratio to the nominal one allows, under the model's law.
inline double supply_frequency_ratio(const Model &model, const TranTechRecord &node, int transistor,
                                     double vdd_ratio) {
    return frequency_ratio(model, node, transistor, vdd_ratio, vdd_ratio);
}
