// The design-space searches: what they select, record and print.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <sstream>
#include <string>

#include "model/area.h"
#include "model/speedup.h"
#include "model/state.h"
#include "model/tables.h"
#include "search/search.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

int count_lines_starting(const std::string &text, const std::string &prefix) {
    std::istringstream in(text);
    int count = 0;
    for (std::string line; std::getline(in, line);)
        count += line.rfind(prefix, 0) == 0;
    return count;
}

struct Snapshot {
    int options[12];
    double fre, vdd, area, power, bw, bw_tsv;
    static Snapshot take() {
        Snapshot s{};
        for (int i = 0; i < 12; i++)
            s.options[i] = User_Option[i];
        s.fre = FRE, s.vdd = VDD_G, s.area = AREA_RESULT, s.power = POWER_RESULT;
        s.bw = BW_RESULT, s.bw_tsv = BW_RESULT_TSV;
        return s;
    }
    bool operator==(const Snapshot &o) const {
        for (int i = 0; i < 12; i++)
            if (options[i] != o.options[i])
                return false;
        return fre == o.fre && vdd == o.vdd && area == o.area && power == o.power && bw == o.bw &&
               bw_tsv == o.bw_tsv;
    }
};

class Search : public testing::Test {
  protected:
    void SetUp() override { reset_design_state(); }
    void TearDown() override { reset_design_state(); }

    // Runs speedup_max and keeps what it printed.
    double run(int fix_cores, int fix_cache, int fix_scale) {
        CaptureStdout();
        double result = speedup_max(fix_cores, fix_cache, fix_scale);
        printed = GetCapturedStdout();
        return result;
    }
    std::string printed;
};

TEST_F(Search, InitialFullSearchPicksTwelveCoresOneMegabyteAtFullScale) {
    double s = run(0, 0, 0);
    EXPECT_NEAR(s, 31.4244, 5e-5);
    EXPECT_EQ(User_Option[8], 6);
    EXPECT_EQ(User_Option[9], 0);
    EXPECT_EQ(User_Option[10], 0);
    EXPECT_EQ(AREA_RESULT, 12 * 17.498 + 7.72); // the area limit is what binds
    EXPECT_NEAR(POWER_RESULT, 60.975, 5e-4);
    EXPECT_NEAR(BW_RESULT, 25.999, 5e-4);
    EXPECT_EQ(BW_RESULT_TSV, 0.0);
    EXPECT_EQ(VDD_G, 2.0);
    EXPECT_EQ(FRE, 3.0);
    EXPECT_EQ(printed, "SpeedUp_max = 31.424401\nScale = 1.0\nCache_Size = 1Mb\nCore_Num = 12\n");
}

TEST_F(Search, StackedMemoryPicksTenCoresFourMegabytes) {
    User_Option[1] = 1;
    double s = run(0, 0, 0);
    EXPECT_NEAR(s, 29.8522, 5e-5);
    EXPECT_EQ(User_Option[8], 5);
    EXPECT_EQ(User_Option[9], 2);
    EXPECT_EQ(User_Option[10], 0);
    EXPECT_NEAR(AREA_RESULT, 211.201, 5e-4);
    EXPECT_NEAR(POWER_RESULT, 67.890, 5e-4); // the stack's 33.3 W included
    EXPECT_NEAR(BW_RESULT, 0.0323, 5e-5);
    EXPECT_NEAR(BW_RESULT_TSV, 11.269, 5e-4);
    EXPECT_EQ(printed, "SpeedUp_max = 29.852172\nScale = 1.0\nCache_Size = 4Mb\nCore_Num = 10\n");
}

TEST_F(Search, NothingQualifyingLeavesFallbackIndicesAndResults) {
    AREA_CONSTRT = 0;
    AREA_RESULT = 1, POWER_RESULT = 2, BW_RESULT = 3, BW_RESULT_TSV = 4;
    User_Option[8] = 9, User_Option[9] = 9, User_Option[10] = 3;
    EXPECT_EQ(run(0, 0, 0), 0.0);
    EXPECT_EQ(printed, "SpeedUp_max = 0.000000\nScale = 0.3\nCache_Size = 1Mb\nCore_Num = 1\n");
    EXPECT_EQ(User_Option[8], 0);
    EXPECT_EQ(User_Option[9], 0);
    EXPECT_EQ(User_Option[10], 7);
    EXPECT_EQ(AREA_RESULT, 1);
    EXPECT_EQ(POWER_RESULT, 2);
    EXPECT_EQ(BW_RESULT, 3);
    EXPECT_EQ(BW_RESULT_TSV, 4);
    // The operating point of the fallback step 0.3, raised to the 65 nm LOP floor.
    EXPECT_EQ(VDD_G, 2.0 * (2.3 * 0.2266 / 0.8));
    EXPECT_EQ(FRE, 3.0 * 0.1);
    EXPECT_EQ(speedup_max_1(0, 0, 0), 0.0);

    // Held dimensions fall back to their held index.
    User_Option[8] = 4, User_Option[9] = 3;
    EXPECT_EQ(run(1, 1, 0), 0.0);
    EXPECT_EQ(User_Option[8], 4);
    EXPECT_EQ(User_Option[9], 3);
    EXPECT_EQ(User_Option[10], 7);
}

TEST_F(Search, EvaluationModeScoresABrokenLimitZeroAndStillRecordsItsFigures) {
    User_Option[8] = 34; // 192 cores: far over the area limit
    FRE = 1.5, VDD_G = 1.7;
    EXPECT_EQ(run(1, 1, 1), 0.0);
    EXPECT_EQ(AREA_RESULT, 192 * 17.498 + 7.72);
    EXPECT_GT(POWER_RESULT, 102);
    EXPECT_GT(BW_RESULT, 0);
    EXPECT_EQ(User_Option[8], 34);
    EXPECT_EQ(User_Option[9], 0);
    EXPECT_EQ(User_Option[10], 0);
    EXPECT_EQ(FRE, 1.5);
    EXPECT_EQ(VDD_G, 1.7);
    EXPECT_EQ(printed, "SpeedUp_max = 0.000000\nScale = 1.0\nCache_Size = 1Mb\nCore_Num = 192\n");
}

TEST_F(Search, EvaluationModeFollowsTheOperatingPoint) {
    run(0, 0, 0); // 12 cores, 1 MB, scale 0 at FRE 3.0, VDD_G 2.0: ratios 1.0
    const double full = run(1, 1, 1);
    EXPECT_NEAR(full, 31.4244, 5e-5);
    FRE = 1.5; // half the frequency at the same voltage
    const double half = run(1, 1, 1);
    EXPECT_LT(half, full);
    const double miss = L2_model_missRate(0.5785, 1, 1.2913, 2007, 2007, 0.475, -0.589);
    EXPECT_EQ(half, speedup_cores(1, 1.7, 2.526, 0.5, 0.99, 12, 3.42, 0.06, 0.670882163, miss,
                                  7.563455618, 51.894, 200, 5, 2, 1.0));
    // A supply below the floor fails the guard: 0.5 x 0.8 V < 2.3 x 0.2266 V.
    VDD_G = 1.0;
    EXPECT_EQ(run(1, 1, 1), 0.0);
    EXPECT_EQ(FRE, 1.5);
    EXPECT_EQ(VDD_G, 1.0);
}

TEST_F(Search, FigureEqualToItsLimitPasses) {
    AREA_CONSTRT = 12 * 17.498 + 7.72;
    run(0, 0, 0);
    EXPECT_EQ(User_Option[8], 6);
    AREA_CONSTRT = std::nextafter(AREA_CONSTRT, 0.0);
    run(0, 0, 0);
    EXPECT_NE(User_Option[8], 6);
    EXPECT_LT(AREA_RESULT, AREA_CONSTRT);
}

TEST_F(Search, TiesGoToTheLaterConfigurationAndZeroIsAccepted) {
    // With the checks off and the supply held at 0 every configuration scores 0.
    User_Option[5] = User_Option[6] = User_Option[7] = 0;
    VDD_G = 0;
    User_Option[10] = 2;
    EXPECT_EQ(run(0, 0, 1), 0.0);
    EXPECT_EQ(User_Option[8], 34);
    EXPECT_EQ(User_Option[9], 66);
    EXPECT_EQ(User_Option[10], 2);
    EXPECT_EQ(printed, "SpeedUp_max = 0.000000\nScale = 0.8\nCache_Size = 512Mb\nCore_Num = 192\n");
}

TEST_F(Search, NotANumberIsNeverAccepted) {
    FRE_MAX = 0; // FRE / FRE_MAX = 0 / 0, with a supply that passes the guard
    VDD_G = VDD_MAX;
    AREA_RESULT = 7;
    EXPECT_EQ(run(0, 0, 1), 0.0);
    EXPECT_EQ(User_Option[8], 0);
    EXPECT_EQ(User_Option[9], 0);
    EXPECT_EQ(AREA_RESULT, 7);
}

TEST_F(Search, PlainMemoryZeroesTheTsvResult) {
    BW_RESULT_TSV = 5;
    BW_CONSTRT_TSV = 0; // not checked with plain memory
    run(0, 0, 0);
    EXPECT_EQ(BW_RESULT_TSV, 0.0);
    EXPECT_EQ(User_Option[8], 6);
}

TEST_F(Search, PowerLinesOnlyWithStackedMemoryAndHpCores) {
    const std::regex power_line(R"(power_W_result1 = -?\d+\.\d{6})");
    for (int memory = 0; memory < 2; memory++) {
        for (int transistor = 0; transistor < 3; transistor++) {
            SCOPED_TRACE(testing::Message() << "memory " << memory << " transistor " << transistor);
            reset_design_state();
            User_Option[1] = memory;
            User_Option[2] = transistor;
            run(0, 0, 0);
            const int lines = count_lines_starting(printed, "power_W_result1 = ");
            if (memory == 0 || transistor == 0) {
                EXPECT_EQ(lines, 0);
                continue;
            }
            // One line per configuration that passes the area check (power comes next).
            const bool lop_cache = transistor == 1;
            int passing = 0;
            for (int j = 0; j < kCacheSizes; j++)
                for (int k = 0; k < kCoreCounts; k++) {
                    double area =
                        area_cores_L2(Cores_Num[k], Core_Area_data[1],
                                      L2_mm(Cache_Size[j], lop_cache ? Tran_Tech[1].L2_area_LOP
                                                                     : Tran_Tech[1].L2_area_HP));
                    area = stack_interface_area(65, 45, 2.56) + area;
                    passing += area <= AREA_CONSTRT;
                }
            EXPECT_EQ(lines, passing * kScaleSteps);
            EXPECT_GT(passing, 0);
            // All before the summary, each in the printf "%lf" form.
            std::istringstream in(printed);
            std::string line;
            for (int n = 0; n < lines; n++) {
                std::getline(in, line);
                EXPECT_TRUE(std::regex_match(line, power_line)) << line;
            }
            std::getline(in, line);
            EXPECT_EQ(line.rfind("SpeedUp_max = ", 0), 0u);
        }
    }
    // With the area check off every configuration's power is evaluated and printed.
    reset_design_state();
    User_Option[1] = 1, User_Option[2] = 2, User_Option[5] = 0;
    run(0, 0, 0);
    EXPECT_EQ(count_lines_starting(printed, "power_W_result1 = "), 18760);
}

TEST_F(Search, PeakSearchMatchesTheFullSearchAndWritesNothing) {
    for (int workload = 0; workload < 3; workload++)
        for (int memory = 0; memory < 2; memory++)
            for (int transistor = 0; transistor < 3; transistor++)
                for (int kind : {0, 3})
                    for (int node : {1, 4}) {
                        reset_design_state();
                        User_Option[0] = workload, User_Option[1] = memory;
                        User_Option[2] = transistor, User_Option[3] = kind, User_Option[4] = node;
                        const Snapshot before = Snapshot::take();
                        CaptureStdout();
                        const double peak = speedup_max_1(0, 0, 0);
                        const std::string peak_out = GetCapturedStdout();
                        EXPECT_TRUE(Snapshot::take() == before);
                        EXPECT_EQ(peak_out.find("SpeedUp_max"), std::string::npos);
                        const double full = run(0, 0, 0);
                        EXPECT_EQ(peak, full) << workload << memory << transistor << kind << node;
                        // The power lines are the same in both.
                        EXPECT_EQ(peak_out + printed.substr(printed.find("SpeedUp_max")), printed);
                    }
}

} // namespace

namespace {

TEST_F(Search, OutcomeTellsAFoundConfigurationFromTheFallback) {
    SearchOutcome found = find_best_configuration(0, 0, 0);
    EXPECT_TRUE(found.found);
    EXPECT_EQ(found.cores, 6);
    EXPECT_EQ(found.figures.area, 12 * 17.498 + 7.72);
    AREA_CONSTRT = 0;
    SearchOutcome none = find_best_configuration(0, 0, 0);
    EXPECT_FALSE(none.found);
    EXPECT_EQ(none.speedup, 0.0);
    EXPECT_EQ(none.scale, 7);
    EXPECT_EQ(User_Option[8], 0); // nothing recorded
}

TEST_F(Search, EvaluatedConfigurationHasTheSearchsFigures) {
    User_Option[1] = 1;
    run(0, 0, 0);
    const ConfigurationFigures f = evaluate_configuration(0, 2, 5, 0);
    EXPECT_EQ(f.area, AREA_RESULT);
    EXPECT_EQ(f.power, POWER_RESULT);
    EXPECT_EQ(f.bandwidth, BW_RESULT);
    EXPECT_EQ(f.bandwidth_tsv, BW_RESULT_TSV);
    EXPECT_NEAR(f.speedup, 29.8522, 5e-5);
    // Limits and checks do not apply: 192 cores still get a speedup.
    EXPECT_GT(evaluate_configuration(0, 0, 34, 0).speedup, 0);
}

} // namespace
