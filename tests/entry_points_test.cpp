// Setting one option and searching in one call; refused options change nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "model/model.h"
#include "model/state.h"
#include "search/entry_points.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

class EntryPoints : public testing::Test {
  protected:
    void SetUp() override { reset_design_state(); }
    void TearDown() override {
        set_active_model(nullptr);
        reset_design_state();
    }
};

TEST_F(EntryPoints, ValuesAreCutTowardZero) {
    User_Option_set(0, 2.9);
    EXPECT_EQ(User_Option[0], 2);
    User_Option_set(4, -0.5);
    EXPECT_EQ(User_Option[4], 0);
    User_Option_set(11, -7.9);
    EXPECT_EQ(User_Option[11], -7);
    User_Option_set(2, 5); // any transistor value other than 0 and 1 reads as HP
    EXPECT_EQ(User_Option[2], 5);
}

TEST_F(EntryPoints, RefusedCallsChangeNothingAndSayWhy) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        int index;
        double value;
    } refused[] = {
        {-1, 0},  {12, 0},   {1 << 30, 1},      {0, 3},   {0, -1},
        {3, 4},   {4, 5},    {4, -1},           {8, 35},  {9, 67},
        {10, 8},  {10, -1},  {1, std::nan("")}, {2, inf}, {5, -inf},
        {6, 3e9}, {7, -3e9}, {9, 66.5 + 1},
    };
    for (const auto &call : refused) {
        int before[12];
        std::copy(User_Option, User_Option + 12, before);
        CaptureStderr();
        User_Option_set(call.index, call.value);
        const std::string said = GetCapturedStderr();
        EXPECT_TRUE(std::equal(before, before + 12, User_Option))
            << call.index << " " << call.value;
        EXPECT_NE(said.find("refused"), std::string::npos) << said;
        EXPECT_NE(said.find(std::to_string(call.index)), std::string::npos) << said;
    }
    // The largest values each bounded option takes are accepted.
    for (auto [index, last] : {std::pair{0, 2}, {3, 3}, {4, 4}, {8, 34}, {9, 66}, {10, 7}}) {
        User_Option_set(index, last + 0.99);
        EXPECT_EQ(User_Option[index], last);
    }
}

TEST_F(EntryPoints, FullSearchWithStackedMemory) {
    CaptureStdout();
    const double s = SpeedUp_Max_core_L2_Scale(1, 1);
    const std::string printed = GetCapturedStdout();
    EXPECT_EQ(User_Option[1], 1);
    EXPECT_NEAR(s, 29.8522, 5e-5);
    EXPECT_EQ(printed, "SpeedUp_max = 29.852172\nScale = 1.0\nCache_Size = 4Mb\nCore_Num = 10\n");
    EXPECT_EQ(FRE, 3.0);
    EXPECT_EQ(VDD_G, 2.0);
}

TEST_F(EntryPoints, CacheSearchHoldsCoresAndScale) {
    User_Option[8] = 6, User_Option[10] = 0;
    FRE = 3.0, VDD_G = 2.0;
    CaptureStdout();
    const double s = SpeedUp_Max_L2(9, 5);
    GetCapturedStdout();
    // The cache index set is searched over anyway: 1 MB is the best for 12 cores.
    EXPECT_NEAR(s, 31.4244, 5e-5);
    EXPECT_EQ(User_Option[9], 0);
    EXPECT_EQ(User_Option[8], 6);
    EXPECT_EQ(User_Option[10], 0);

    // Held at 1 core and half frequency, the search follows FRE and leaves it.
    User_Option[8] = 0, FRE = 1.5;
    CaptureStdout();
    SpeedUp_Max_L2(9, 0);
    GetCapturedStdout();
    EXPECT_EQ(User_Option[8], 0);
    EXPECT_EQ(FRE, 1.5);
    EXPECT_EQ(VDD_G, 2.0);
}

TEST_F(EntryPoints, RefusedOptionStillSearchesWithTheOptionsUnchanged) {
    CaptureStderr();
    CaptureStdout();
    const double s = SpeedUp_Max_core_L2_Scale(0, 7);
    const std::string printed = GetCapturedStdout();
    GetCapturedStderr();
    EXPECT_EQ(User_Option[0], 0);
    EXPECT_NEAR(s, 31.4244, 5e-5);
    EXPECT_EQ(printed, "SpeedUp_max = 31.424401\nScale = 1.0\nCache_Size = 1Mb\nCore_Num = 12\n");
}

} // namespace

// The bounds follow the active model's lists: a model with a sixth node and a fourth workload
// admits them, the built-in one does not.
TEST_F(EntryPoints, BoundsComeFromTheActiveModel) {
    auto model = std::make_shared<Model>(builtin_model());
    model->nodes.push_back(model->nodes.back());
    model->nodes.back().name = "7nm";
    model->workloads.push_back(model->workloads.back());
    model->workloads.back().name = "Extra";
    set_active_model(model);
    User_Option_set(4, 5);
    User_Option_set(0, 3);
    EXPECT_EQ(User_Option[4], 5);
    EXPECT_EQ(User_Option[0], 3);
    CaptureStderr();
    User_Option_set(4, 6);
    User_Option_set(3, 4);
    EXPECT_NE(GetCapturedStderr().find("technology node must be 0 to 5"), std::string::npos);

    set_active_model(nullptr);
    reset_design_state();
    CaptureStderr();
    User_Option_set(4, 5);
    User_Option_set(0, 3);
    GetCapturedStderr();
    EXPECT_EQ(User_Option[4], 1);
    EXPECT_EQ(User_Option[0], 0);
}
