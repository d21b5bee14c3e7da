// The command-line tool's requests: how they set the design state, and that what they find is
// what the library's own searches find for the same options.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "model/state.h"
#include "model/tables.h"
#include "search/search.h"
#include "search/trace.h"
#include "study/design.h"

namespace {

class CliDesign : public testing::Test {
  protected:
    void SetUp() override {
        reset_design_state();
        trace_set_enabled(false);
    }
    void TearDown() override {
        reset_design_state();
        trace_set_enabled(true);
    }
};

using CliRequest = CliDesign;
using CliSearch = CliDesign;
using CliSweep = CliDesign;
using CliSpace = CliDesign;

OptionSet options(int workload, int memory, int transistor, int core_kind, int node) {
    return OptionSet{workload, memory, transistor, core_kind, node};
}

std::vector<OptionSet> every_option_set() {
    std::vector<OptionSet> all;
    for (int w = 0; w < 3; w++)
        for (int m = 0; m < 2; m++)
            for (int t = 0; t < 3; t++)
                for (int c = 0; c < 4; c++)
                    for (int n = 0; n < 5; n++)
                        all.push_back(options(w, m, t, c, n));
    return all;
}

// What the library's speedup_max records, for comparison with a BestConfiguration.
void expect_same_as_speedup_max(const Request &r, const BestConfiguration &best) {
    apply_request(r);
    const double s =
        speedup_max(r.holds.cores ? 1 : 0, r.holds.cache ? 1 : 0, r.holds.scale ? 1 : 0);
    if (!best.feasible) {
        EXPECT_EQ(s, 0.0);
        return;
    }
    EXPECT_EQ(best.speedup, s);
    EXPECT_EQ(best.cores, User_Option[8]);
    EXPECT_EQ(best.cache, User_Option[9]);
    EXPECT_EQ(best.scale, User_Option[10]);
    EXPECT_EQ(best.figures.area, AREA_RESULT);
    EXPECT_EQ(best.figures.power, POWER_RESULT);
    EXPECT_EQ(best.figures.bandwidth, BW_RESULT);
    EXPECT_EQ(best.figures.bandwidth_tsv, BW_RESULT_TSV);
    EXPECT_EQ(best.vdd, VDD_G);
    EXPECT_EQ(best.freq, FRE);
}

TEST_F(CliRequest, OptionChangeLoadsTheNodeDefaultsAsTheWindowDoes) {
    apply_request(Request{options(0, 1, 0, 0, 1), {}, {}});
    EXPECT_EQ(AREA_CONSTRT, 221.88);
    EXPECT_EQ(POWER_CONSTRT, 102.0);
    EXPECT_EQ(BW_CONSTRT, 46.44288);
    EXPECT_EQ(BW_CONSTRT_TSV, 375.296);
    apply_request(Request{options(0, 0, 0, 0, 1), {}, {}});
    EXPECT_EQ(BW_CONSTRT_TSV, 0.0); // plain memory: the window's TSV spin button gets 0
    apply_request(Request{options(0, 0, 0, 0, 0), {}, {}});
    EXPECT_EQ(AREA_CONSTRT, 0.0);
    // A given limit replaces its own default only.
    apply_request(Request{options(0, 1, 0, 0, 2), Limits{150.0, std::nullopt, 10.0, 0.0}, {}});
    EXPECT_EQ(AREA_CONSTRT, 150.0);
    EXPECT_EQ(POWER_CONSTRT, 146.0);
    EXPECT_EQ(BW_CONSTRT, 10.0);
    EXPECT_EQ(BW_CONSTRT_TSV, 0.0);
}

TEST_F(CliRequest, CeilingsFollowTheCoreTechnology) {
    apply_request(Request{options(0, 0, 0, 0, 1), {}, {}});
    EXPECT_EQ(FRE_MAX, 2.526);
    EXPECT_EQ(VDD_MAX, 0.8);
    for (int transistor : {1, 2}) {
        apply_request(Request{options(0, 0, transistor, 0, 1), {}, {}});
        EXPECT_EQ(FRE_MAX, 4.7);
        EXPECT_EQ(VDD_MAX, 1.1);
    }
}

TEST_F(CliRequest, HeldStepRunsWhereTheSearchPutsThatStep) {
    // Wherever speedup_max settles, the operating point it records for its step is the one a
    // held step gets by default.
    for (const OptionSet &o : every_option_set()) {
        apply_request(Request{o, {}, {}});
        speedup_max(0, 0, 0);
        Holds held;
        held.scale = User_Option[10];
        const OperatingPoint point = held_operating_point(o, held);
        EXPECT_EQ(point.vdd, VDD_G) << describe(o);
        EXPECT_EQ(point.freq, FRE) << describe(o);
    }
}

TEST_F(CliRequest, GivenSupplyBringsTheFrequencyItAllows) {
    Holds held;
    held.scale = 4;
    held.vdd = 0.4; // half the 65 nm LOP supply of 0.8 V
    const OperatingPoint point = held_operating_point(options(0, 0, 0, 0, 1), held);
    EXPECT_EQ(point.vdd, 0.4);
    EXPECT_DOUBLE_EQ(point.freq, 2.526 * 0.44);
}

TEST_F(CliRequest, OperatingPointBeyondTheCeilingsIsRefused) {
    const OptionSet lop65 = options(0, 0, 0, 0, 1);
    Holds held;
    held.scale = 2; // 0.8: 0.64 V and 2.526 x 0.81 GHz
    EXPECT_EQ(operating_point_error(lop65, held), "");
    held.vdd = 0.81;
    EXPECT_NE(operating_point_error(lop65, held).find("--vdd"), std::string::npos);
    held.vdd = 0.8;
    EXPECT_EQ(operating_point_error(lop65, held), "");
    held.vdd.reset();
    held.freq = 2.04606; // the step's frequency as printed
    EXPECT_EQ(operating_point_error(lop65, held), "");
    held.freq = 2.05;
    EXPECT_NE(operating_point_error(lop65, held).find("--freq"), std::string::npos);
}

TEST_F(CliRequest, EveryStepsOwnOperatingPointIsAccepted) {
    // The supply and frequency a held step runs at, given back as --vdd and --freq, are taken:
    // a search's reported operating point can always be asked for again.
    for (const OptionSet &o : every_option_set())
        for (int s = 0; s < int(active_model().scale_steps.size()); ++s) {
            Holds held;
            held.scale = s;
            const OperatingPoint point = held_operating_point(o, held);
            held.vdd = point.vdd;
            held.freq = point.freq;
            EXPECT_EQ(operating_point_error(o, held), "") << describe(o) << ", step " << s;
        }
}

TEST_F(CliSearch, MatchesSpeedupMaxForEveryOptionSet) {
    for (const OptionSet &o : every_option_set()) {
        const Request r{o, {}, {}};
        SCOPED_TRACE(describe(o));
        expect_same_as_speedup_max(r, search_best(r));
    }
}

TEST_F(CliSearch, MatchesSpeedupMaxWithHeldDimensions) {
    std::vector<Request> requests;
    Holds cores;
    cores.cores = 6;
    Holds cache_and_scale;
    cache_and_scale.cache = 2;
    cache_and_scale.scale = 3;
    Holds low_supply;
    low_supply.scale = 1;
    low_supply.vdd = 0.9;
    low_supply.freq = 3.5;
    Holds all_three;
    all_three.cores = 5, all_three.cache = 2, all_three.scale = 0;
    for (const Holds &h : {cores, cache_and_scale, low_supply, all_three})
        for (const OptionSet &o : {options(0, 0, 0, 0, 1), options(1, 1, 2, 1, 3)}) {
            const Request r{o, {}, h};
            if (!operating_point_error(o, h).empty())
                continue;
            SCOPED_TRACE(describe(o));
            expect_same_as_speedup_max(r, search_best(r));
        }
}

TEST_F(CliSearch, NinetyNanometreDefaultsMeetNothingBecauseOfTheArea) {
    BestConfiguration plain = search_best(Request{options(0, 0, 0, 0, 0), {}, {}});
    EXPECT_FALSE(plain.feasible);
    EXPECT_EQ(plain.unmeetable, std::vector<Limit>{Limit::Area});
    BestConfiguration stacked = search_best(Request{options(0, 1, 0, 0, 0), {}, {}});
    EXPECT_EQ(stacked.unmeetable, (std::vector<Limit>{Limit::Area, Limit::Tsv}));
}

TEST_F(CliSearch, NamesEachLimitThatNothingMeetsAlone) {
    const BestConfiguration best =
        search_best(Request{options(0, 0, 0, 0, 1), Limits{{}, 0.001, 0.0, {}}, {}});
    EXPECT_FALSE(best.feasible);
    EXPECT_EQ(best.unmeetable, (std::vector<Limit>{Limit::Power, Limit::Bandwidth}));
}

TEST_F(CliSearch, LimitsThatFailOnlyTogetherAreNotBlamedAlone) {
    // 30 mm^2 leaves one core with 1 MB, whose traffic needs more than 0.1 GB/s even at the
    // lowest step; larger caches meet 0.1 GB/s but not 30 mm^2.
    const BestConfiguration best =
        search_best(Request{options(0, 0, 0, 0, 1), Limits{30.0, {}, 0.1, {}}, {}});
    EXPECT_FALSE(best.feasible);
    EXPECT_TRUE(best.unmeetable.empty());
}

TEST_F(CliSearch, SearchAndDiagnosisLeaveTheDesignStateAlone) {
    // Nothing meets an off-chip limit of 0, so the search reruns with that check alone and
    // the TSV limit lifted; none of it goes through the window's design state.
    reset_design_state();
    User_Option[7] = 0;
    BW_CONSTRT = 12.5;
    Limits none;
    none.bandwidth = 0.0;
    const Request r{options(0, 1, 0, 0, 1), none, {}};
    EXPECT_EQ(search_best(r).unmeetable, std::vector<Limit>{Limit::Bandwidth});
    EXPECT_EQ(User_Option[1], 0);
    EXPECT_EQ(User_Option[7], 0);
    EXPECT_EQ(BW_CONSTRT, 12.5);
    EXPECT_EQ(BW_CONSTRT_TSV, 100.0);
}

TEST_F(CliSearch, OneHeldConfigurationThatBreaksLimitsIsInfeasible) {
    Holds largest;
    largest.cores = 34, largest.cache = 66, largest.scale = 0;
    const BestConfiguration best = search_best(Request{options(0, 0, 0, 0, 1), {}, largest});
    EXPECT_FALSE(best.feasible); // the library scores it 0 and still reports it "found"
    EXPECT_NE(std::find(best.unmeetable.begin(), best.unmeetable.end(), Limit::Area),
              best.unmeetable.end());
    EXPECT_NE(std::find(best.unmeetable.begin(), best.unmeetable.end(), Limit::Power),
              best.unmeetable.end());
}

TEST_F(CliSearch, SupplyBelowTheFloorMeetsTheLimitsWithSpeedupZero) {
    Holds low;
    low.scale = 5;
    low.vdd = 0.4; // 0.5 x 0.8 V < 2.3 x 0.2266 V at 65 nm LOP
    const BestConfiguration best = search_best(Request{options(0, 0, 0, 0, 1), {}, low});
    EXPECT_TRUE(best.feasible);
    EXPECT_TRUE(best.below_voltage_floor);
    EXPECT_EQ(best.speedup, 0.0);
}

TEST_F(CliSweep, CoversEveryOptionCombinationOnceInOrder) {
    const std::vector<BestConfiguration> rows = sweep({}, {});
    const std::vector<OptionSet> expected = every_option_set();
    ASSERT_EQ(rows.size(), 360u);
    for (size_t i = 0; i < rows.size(); i++) {
        const OptionSet &a = rows[i].options, &b = expected[i];
        EXPECT_EQ(std::tie(a.workload, a.memory, a.transistor, a.core_kind, a.node),
                  std::tie(b.workload, b.memory, b.transistor, b.core_kind, b.node));
    }
    EXPECT_EQ(std::count_if(rows.begin(), rows.end(), [](auto &r) { return !r.feasible; }), 72);
    for (const BestConfiguration &row : rows)
        EXPECT_EQ(row.feasible, row.options.node != 0) << describe(row.options);
}

TEST_F(CliSweep, RowsEqualIndividualSearches) {
    Limits given;
    given.area = 150.0;
    given.power = 80.0;
    Holds held;
    held.scale = 2;
    for (const auto &[limits, holds] : {std::pair{Limits{}, Holds{}}, std::pair{given, held}}) {
        const std::vector<BestConfiguration> rows = sweep(limits, holds);
        for (const BestConfiguration &row : rows) {
            const BestConfiguration one = search_best(Request{row.options, limits, holds});
            SCOPED_TRACE(describe(row.options));
            EXPECT_EQ(row.feasible, one.feasible);
            EXPECT_EQ(row.speedup, one.speedup);
            EXPECT_EQ(std::tie(row.scale, row.cache, row.cores),
                      std::tie(one.scale, one.cache, one.cores));
            EXPECT_EQ(row.figures.power, one.figures.power);
            EXPECT_EQ(row.limits.area, one.limits.area);
            EXPECT_EQ(row.limits.bandwidth, one.limits.bandwidth);
            EXPECT_EQ(row.unmeetable, one.unmeetable);
        }
    }
}

TEST_F(CliSpace, EnumeratesEveryConfigurationInTheSearchOrder) {
    const std::vector<SpaceRow> rows = space(Request{options(2, 1, 1, 3, 4), {}, {}});
    ASSERT_EQ(rows.size(), 18760u);
    for (size_t n = 1; n < rows.size(); n++)
        EXPECT_LT(std::tie(rows[n - 1].scale, rows[n - 1].cache, rows[n - 1].cores),
                  std::tie(rows[n].scale, rows[n].cache, rows[n].cores));
}

// The best feasible row of the space, ties going to the later row as in the search.
const SpaceRow *best_row(const std::vector<SpaceRow> &rows) {
    const SpaceRow *best = nullptr;
    for (const SpaceRow &row : rows)
        if (row.feasible() && (best == nullptr || row.figures.speedup >= best->figures.speedup))
            best = &row;
    return best;
}

TEST_F(CliSpace, BestFeasibleConfigurationIsTheSearchResult) {
    Holds held;
    held.scale = 3;
    held.vdd = 0.5;
    for (const Holds &h : {Holds{}, held})
        for (const OptionSet &o : {options(0, 0, 0, 0, 1), options(1, 1, 2, 1, 3),
                                   options(2, 1, 1, 2, 4), options(0, 0, 2, 3, 2)}) {
            SCOPED_TRACE(describe(o));
            const Request r{o, {}, h};
            const std::vector<SpaceRow> rows = space(r);
            const SpaceRow *row = best_row(rows);
            const BestConfiguration best = search_best(r);
            ASSERT_EQ(row != nullptr, best.feasible);
            if (row == nullptr)
                continue;
            EXPECT_EQ(std::tie(row->scale, row->cache, row->cores),
                      std::tie(best.scale, best.cache, best.cores));
            EXPECT_EQ(row->figures.speedup, best.speedup);
            EXPECT_EQ(row->figures.area, best.figures.area);
            EXPECT_EQ(row->figures.power, best.figures.power);
            EXPECT_EQ(row->figures.bandwidth_tsv, best.figures.bandwidth_tsv);
            EXPECT_EQ(row->vdd, best.vdd);
            EXPECT_EQ(row->freq, best.freq);
        }
}

TEST_F(CliSpace, FigureEqualToItsLimitDoesNotBreakIt) {
    const OptionSet o = options(0, 0, 0, 0, 1);
    const double area = space(Request{o, {}, {}})[6].figures.area; // 12 cores, 1 MB, step 1.0
    Limits exact;
    exact.area = area;
    const std::vector<SpaceRow> rows = space(Request{o, exact, {}});
    EXPECT_FALSE(rows[6].breaks[int(Limit::Area)]);
    EXPECT_TRUE(rows[7].breaks[int(Limit::Area)]);
    EXPECT_EQ(search_best(Request{o, exact, {}}).figures.area, area);
}

TEST_F(CliSpace, PlainMemoryBreaksNoTsvLimit) {
    Limits none;
    none.tsv = 0.0;
    for (const SpaceRow &row : space(Request{options(0, 0, 2, 0, 3), none, {}}))
        ASSERT_FALSE(row.breaks[int(Limit::Tsv)]);
    size_t broken = 0;
    for (const SpaceRow &row : space(Request{options(0, 1, 2, 0, 3), none, {}}))
        broken += row.breaks[int(Limit::Tsv)];
    EXPECT_EQ(broken, 18760u);
}

TEST_F(CliSpace, HeldDimensionsNarrowTheRange) {
    Holds held;
    held.cores = 6, held.scale = 2;
    const std::vector<SpaceRow> rows = space(Request{options(0, 0, 0, 0, 1), {}, held});
    ASSERT_EQ(rows.size(), 67u);
    for (const SpaceRow &row : rows) {
        EXPECT_EQ(row.cores, 6);
        EXPECT_EQ(row.scale, 2);
    }
}

} // namespace
