// The design-space map's content against the search engine itself: a configuration is greyed
// exactly when the engine's evaluation rejects it, and the marked best is the engine's best.
#include <gtest/gtest.h>

#include <string>

#include "model/model.h"
#include "model/scaling.h"
#include "spacemap/space_map.h"

namespace {

// One scale step of one option set at the step's own operating point.
SearchSpec step_of(int memory, int transistor, int core_kind, int node, int scale) {
    const Model &m = active_model();
    const TranTechRecord &t = m.nodes[node].tech;
    SearchSpec spec;
    spec.model = &m;
    spec.memory = memory;
    spec.transistor = transistor;
    spec.core_kind = core_kind;
    spec.node = node;
    spec.limits = LimitChecks{true,
                              true,
                              true,
                              t.area_budget,
                              t.power_budget,
                              t.bw_offchip,
                              memory != 0 ? t.bw_tsv * 0.5 : 0};
    spec.hold_scale = true;
    spec.scale = scale;
    spec.vdd_ratio = voltage_step(t, transistor, m.scale_steps[scale]);
    spec.f_ratio = f_scal(m.scale_steps[scale]);
    return spec;
}

// Every cell against the engine evaluating that one configuration: it scores 0 when it breaks
// a checked limit and its speedup otherwise.
void expect_agrees_with_engine(const SearchSpec &spec) {
    const SpaceChart chart = space_map(spec, 1, 1);
    const size_t columns = chart.core_counts.size();
    ASSERT_EQ(chart.cells.size(), columns * chart.cache_sizes.size());
    const SearchOutcome best = search_design_space(spec);
    double top = 0;
    for (size_t i = 0; i < chart.cells.size(); i++) {
        SearchSpec one = spec;
        one.hold_cores = one.hold_cache = true;
        one.cache = int(i / columns);
        one.cores = int(i % columns);
        const SpaceChartCell &c = chart.cells[i];
        const double scored = search_design_space(one).speedup;
        ASSERT_EQ(scored, c.feasible() ? c.speedup : 0.0)
            << "cache " << one.cache << " cores " << one.cores;
        if (c.feasible() && c.speedup > top)
            top = c.speedup;
    }
    ASSERT_EQ(chart.best.has_value(), best.found);
    if (best.found) {
        EXPECT_EQ(*chart.best, std::pair(best.cache, best.cores));
        EXPECT_EQ(best.speedup, top);
    }
}

TEST(SpaceMap, GreysWhatTheEngineRejectsAndMarksItsBest) {
    expect_agrees_with_engine(step_of(0, 0, 0, 1, 0)); // 65 nm, plain memory, LOP
    expect_agrees_with_engine(step_of(1, 2, 3, 4, 3)); // 20 nm, 3D memory, HP, ARM, 0.7
    expect_agrees_with_engine(step_of(1, 1, 1, 0, 7)); // 90 nm, 3D memory, LOP/HP, FPGA, 0.3
    SearchSpec unchecked = step_of(1, 1, 3, 4, 0);
    unchecked.limits.power = false;
    unchecked.limits.bandwidth = false; // the TSV limit goes with it
    expect_agrees_with_engine(unchecked);

    const SpaceChart chart = space_map(unchecked, 1, 1);
    EXPECT_TRUE(chart.limits[0]);
    EXPECT_FALSE(chart.limits[1] || chart.limits[2] || chart.limits[3]);
    for (const SpaceChartCell &c : chart.cells)
        EXPECT_FALSE(c.breaks[1] || c.breaks[2] || c.breaks[3]);
}

TEST(SpaceMap, NothingFeasibleLeavesNoBestMarker) {
    SearchSpec spec = step_of(0, 0, 0, 1, 0);
    spec.limits.area_limit = 0;
    const SpaceChart chart = space_map(spec, 0.8, 2.5);
    EXPECT_FALSE(chart.best);
    EXPECT_EQ(chart.best_text, "No configuration at this scale step meets the limits.");
    EXPECT_NE(chart.subtitle.find("scale step 1.0 (0.800 V, 2.500 GHz)"), std::string::npos);
}

TEST(SpaceMap, HoverTextAndShownMarkerNameTheConfigurationAndItsBrokenLimits) {
    SpaceChart chart = space_map(step_of(1, 0, 0, 1, 0), 1, 1);
    // 192 cores with 512 MB breaks the area limit at 65 nm.
    const std::string large = space_map_cell_text(chart, 66, 34);
    EXPECT_EQ(large.rfind("192 cores, 512 MB L2 cache\nspeedup ", 0), 0u) << large;
    EXPECT_NE(large.find("TSV bandwidth "), std::string::npos);
    EXPECT_NE(large.find("breaks: area"), std::string::npos);
    const std::string small = space_map_cell_text(chart, 0, 0);
    EXPECT_NE(small.find("meets every limit"), std::string::npos) << small;

    mark_shown(chart, 66, 34);
    EXPECT_EQ(chart.shown, std::pair(66, 34));
    EXPECT_EQ(chart.shown_text.rfind("on show: 192 cores, 512 MB L2 cache, breaks: area", 0), 0u);

    // Outside the map: nothing, and no marker.
    SpaceChart plain = space_map(step_of(0, 0, 0, 1, 0), 1, 1);
    EXPECT_EQ(space_map_cell_text(plain, 0, 0).find("TSV"), std::string::npos);
    for (auto [cache, cores] :
         {std::pair(-1, 0), std::pair(0, -1), std::pair(67, 0), std::pair(0, 35)}) {
        EXPECT_EQ(space_map_cell_text(plain, cache, cores), "");
        mark_shown(plain, cache, cores);
        EXPECT_FALSE(plain.shown);
    }
}

} // namespace
