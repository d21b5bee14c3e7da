#include "spacemap/space_map.h"

#include <charconv>
#include <cstdlib>

#include "charts/drawing.h"
#include "model/model.h"

namespace {

// The shortest text that reads back to the same value: "0.99", "1".
std::string shortest(double value) {
    char text[32];
    auto [stop, error] = std::to_chars(text, text + sizeof text, value);
    return error == std::errc() ? std::string(text, stop) : std::string("nan");
}

// A scale step with one decimal when that reads back to it, else with the digits it needs.
std::string step_number(double step) {
    const std::string one = number("%.1f", step);
    if (strtod(one.c_str(), nullptr) == step)
        return one;
    const std::string fifteen = number("%.15g", step);
    return strtod(fifteen.c_str(), nullptr) == step ? fifteen : number("%.17g", step);
}

bool in_map(const SpaceChart &chart, int cache, int cores) {
    return cache >= 0 && cores >= 0 && size_t(cache) < chart.cache_sizes.size() &&
           size_t(cores) < chart.core_counts.size() &&
           chart.cells.size() == chart.core_counts.size() * chart.cache_sizes.size();
}

const SpaceChartCell &cell(const SpaceChart &chart, int cache, int cores) {
    return chart.cells[size_t(cache) * chart.core_counts.size() + size_t(cores)];
}

std::string configuration(const SpaceChart &chart, int cache, int cores) {
    return number("%.0f", chart.core_counts[cores]) + " cores, " +
           number("%.0f", chart.cache_sizes[cache]) + " MB L2 cache";
}

// "area, power": the captions of the limits a configuration breaks.
std::string broken_limits(const SpaceChart &chart, const SpaceChartCell &c) {
    std::string names;
    for (size_t i = 0; i < chart.limits.size() && i < 4; i++)
        if (c.breaks[i] && chart.limits[i])
            names += (names.empty() ? "" : ", ") + chart.limits[i]->caption;
    return names;
}

} // namespace

SpaceChart space_map_frame() {
    const Model &m = active_model();
    SpaceChart chart;
    chart.core_counts.assign(m.core_counts.begin(), m.core_counts.end());
    chart.cache_sizes.assign(m.cache_sizes.begin(), m.cache_sizes.end());
    chart.core_ticks = {1, 4, 8, 16, 32, 48, 64, 96, 128, 160, 192};
    chart.cache_ticks = {1, 8, 64, 128, 192, 256, 320, 384, 448, 512};
    chart.limits.resize(4);
    // The model in use, so that a picture in a paper says what it rests on.
    chart.notes.push_back("Model: " + m.source + ", parallel fraction " +
                          shortest(m.parallel_fraction + 0.0));
    return chart;
}

std::string space_map_options(const SearchSpec &spec) {
    const Model &m = *spec.model;
    return m.workloads[spec.workload].name + ", " +
           m.memory_kinds[spec.memory ? 1 : 0].description + ", " +
           m.transistor_kinds[spec.transistor].name + ", " + m.core_kinds[spec.core_kind].name +
           ", " + m.nodes[spec.node].name;
}

SpaceChart space_map(SearchSpec spec, double vdd, double freq) {
    const Model &m = *spec.model;
    spec.hold_cores = spec.hold_cache = false;
    SpaceChart chart = space_map_frame();
    // The parallel fraction the search of this workload uses.
    chart.notes.front() = "Model: " + m.source + ", parallel fraction " +
                          shortest(parallel_fraction_of(m, spec.workload) + 0.0);
    chart.title = "Speedup over core count and L2 cache size";
    chart.subtitle = space_map_options(spec) + ", scale step " +
                     step_number(m.scale_steps[spec.scale]) + " (" + number("%.3f", vdd) + " V, " +
                     number("%.3f", freq) + " GHz)";

    // A configuration breaks a limit as the search rejects it: a checked figure strictly above
    // its limit, the TSV figure with 3D memory under the bandwidth check.
    const LimitChecks &l = spec.limits;
    const bool stacked = spec.memory != 0;
    chart.cells.resize(chart.core_counts.size() * chart.cache_sizes.size());
    for (const EvaluatedConfiguration &e : evaluate_design_space(spec)) {
        const ConfigurationFigures &f = e.figures;
        SpaceChartCell &c = chart.cells[size_t(e.cache) * chart.core_counts.size() + e.cores];
        c.speedup = f.speedup;
        // A figure that is not finite breaks every limit in force: the search never selects it.
        const bool finite = figures_finite(f);
        c.breaks[0] = l.area && (!finite || f.area > l.area_limit);
        c.breaks[1] = l.power && (!finite || f.power > l.power_limit);
        c.breaks[2] = l.bandwidth && (!finite || f.bandwidth > l.bandwidth_limit);
        c.breaks[3] = l.bandwidth && stacked && (!finite || f.bandwidth_tsv > l.tsv_limit);
        c.area = f.area;
        c.power = f.power;
        c.bandwidth = f.bandwidth;
        c.bandwidth_tsv = f.bandwidth_tsv;
    }
    if (l.area)
        chart.limits[0] = SpaceChartLimit{"area", "mm^2", l.area_limit};
    if (l.power)
        chart.limits[1] = SpaceChartLimit{"power", "W", l.power_limit};
    if (l.bandwidth)
        chart.limits[2] = SpaceChartLimit{"off-chip bandwidth", "GB/s", l.bandwidth_limit};
    if (l.bandwidth && stacked)
        chart.limits[3] = SpaceChartLimit{"TSV bandwidth", "GB/s", l.tsv_limit};

    const SearchOutcome best = search_design_space(spec);
    if (best.found) {
        chart.best = std::pair{best.cache, best.cores};
        chart.best_text = "best: " + number("%.0f", m.core_counts[best.cores]) + " cores, " +
                          number("%.0f", m.cache_sizes[best.cache]) + " MB L2 cache, speedup " +
                          number("%.4f", best.speedup);
    } else {
        chart.best_text = "No configuration at this scale step meets the limits.";
    }
    return chart;
}

void mark_shown(SpaceChart &chart, int cache, int cores) {
    if (!in_map(chart, cache, cores))
        return;
    const SpaceChartCell &c = cell(chart, cache, cores);
    chart.shown = std::pair{cache, cores};
    chart.shown_text = "on show: " + configuration(chart, cache, cores) +
                       (c.feasible() ? ", speedup " + number("%.4f", c.speedup)
                                     : ", breaks: " + broken_limits(chart, c));
}

std::string space_map_cell_text(const SpaceChart &chart, int cache, int cores) {
    if (!in_map(chart, cache, cores))
        return {};
    const SpaceChartCell &c = cell(chart, cache, cores);
    std::string text = configuration(chart, cache, cores) + "\nspeedup " +
                       number("%.4f", c.speedup) + "\narea " + number("%.2f", c.area) +
                       " mm^2, power " + number("%.2f", c.power) + " W\noff-chip bandwidth " +
                       number("%.2f", c.bandwidth) + " GB/s";
    if (chart.limits.size() > 3 && chart.limits[3])
        text += "\nTSV bandwidth " + number("%.2f", c.bandwidth_tsv) + " GB/s";
    text += c.feasible() ? "\nmeets every limit" : "\nbreaks: " + broken_limits(chart, c);
    return text;
}
