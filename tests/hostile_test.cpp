// Hostile inputs to the model library: the model functions with NaN, infinities, zeros,
// negative and extreme values in every argument; User_Option_set with every index outside the
// table and every kind of value that no option takes; the searches after such calls and with
// such figures in the design state. Nothing may crash or trip the sanitizers (make test-asan),
// and each gives its documented outcome.
#include <gtest/gtest.h>

#include <array>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "model/area.h"
#include "model/power.h"
#include "model/runtime_math.h"
#include "model/scaling.h"
#include "model/speedup.h"
#include "model/state.h"
#include "model/tables.h"
#include "search/entry_points.h"
#include "search/search.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// Every kind of figure no caller should pass: not a number, infinite, zero of either sign,
// negative, the extremes of double, subnormal, and beyond the range of float (the model takes
// some steps in single precision).
const double kHostile[] = {kNaN,  -kNaN,   kInf,    -kInf,    0.0,         -0.0,
                           -1.0,  -1e-300, DBL_MAX, -DBL_MAX, 1e-310,      3e38,
                           -3e38, 1e300,   DBL_MIN, -1e300,   DBL_TRUE_MIN};

bool same_bits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}
bool same_bits(int a, int b) {
    return a == b;
}

// Calls the function with each hostile value in each argument (the others at 1), and with
// every argument hostile at once; a pure function gives the same bits on a second call.
// Returns the number of distinct calls.
template <typename F, size_t N> int sweep(const char *name, F function) {
    int calls = 0;
    auto check = [&](const std::array<double, N> &args, const std::string &where) {
        const auto first = std::apply(function, args);
        const auto second = std::apply(function, args);
        EXPECT_TRUE(same_bits(first, second)) << name << " is not pure with " << where;
        calls++;
    };
    std::array<double, N> args;
    for (size_t i = 0; i < N; i++) {
        for (double hostile : kHostile) {
            args.fill(1.0);
            args[i] = hostile;
            check(args, "argument " + std::to_string(i) + " = " + std::to_string(hostile));
        }
    }
    for (double hostile : kHostile) {
        args.fill(hostile);
        check(args, "every argument = " + std::to_string(hostile));
    }
    return calls;
}

// Arity of a function of doubles, for sweep.
template <typename R, typename... A> constexpr size_t arity(R (*)(A...)) {
    return sizeof...(A);
}

#define SWEEP(function) sweep<decltype(&function), arity(&function)>(#function, &function)

TEST(HostileModelInput, EveryFunctionTakesEveryHostileFigureInEveryArgument) {
    int calls = 0;
    calls += SWEEP(L2_mm);
    calls += SWEEP(area_cores_L2);
    calls += SWEEP(stack_interface_area);
    calls += SWEEP(L2_model_missRate);
    calls += SWEEP(stack_capacity_mb);
    calls += SWEEP(power_W);
    calls += SWEEP(power_W_3d_mem);
    calls += sweep<double (*)(double), 1>("f_scal", &f_scal);
    calls += SWEEP(Vdd_scale);
    calls += SWEEP(Vdd_scale_HP_LOP);
    calls += SWEEP(guard_check);
    calls += SWEEP(min);
    calls += SWEEP(bandwidth);
    calls += SWEEP(bandwidth_3d_mem);
    // The speedups with the voltage guard passed; MUX with either selection.
    for (int ok : {1, -1, INT_MIN, INT_MAX}) {
        auto plain = [ok](auto... a) { return speedup_cores(ok, a...); };
        auto stacked = [ok](auto... a) { return speedup_cores_3d_mem(ok, a...); };
        calls += sweep<decltype(plain), 15>("speedup_cores", plain);
        calls += sweep<decltype(stacked), 24>("speedup_cores_3d_mem", stacked);
        auto mux = [ok](double a, double b) { return MUX(ok, a, b); };
        calls += sweep<decltype(mux), 2>("MUX", mux);
    }
    EXPECT_GT(calls, 3000);
}

TEST(HostileModelInput, FailedVoltageGuardScoresZeroWhateverTheFigures) {
    auto plain = [](auto... a) { return speedup_cores(0, a...); };
    auto stacked = [](auto... a) { return speedup_cores_3d_mem(0, a...); };
    std::array<double, 15> plain_args;
    std::array<double, 24> stacked_args;
    for (double hostile : kHostile) {
        plain_args.fill(hostile);
        stacked_args.fill(hostile);
        EXPECT_TRUE(same_bits(std::apply(plain, plain_args), 0.0)) << hostile;
        EXPECT_TRUE(same_bits(std::apply(stacked, stacked_args), 0.0)) << hostile;
    }
}

TEST(HostileModelInput, FrequencyTableReturnsAnyRatioItDoesNotHold) {
    // Both zeros match the table's 0.0, which has no frequency partner either.
    for (double hostile : kHostile)
        EXPECT_TRUE(same_bits(f_scal(hostile), hostile)) << hostile;
}

TEST(HostileModelInput, VoltageRulesGiveTheTargetOrTheFloorAndTheGuardZeroOrOne) {
    for (double a : kHostile) {
        for (double b : kHostile) {
            const double floor = 2.3 * b / a;
            const double scaled = Vdd_scale(a, 0.5, b);
            EXPECT_TRUE(same_bits(scaled, 0.5) || same_bits(scaled, floor)) << a << " " << b;
            const double both = Vdd_scale_HP_LOP(1.0, a, 0.5, 1.0, b);
            EXPECT_TRUE(same_bits(both, a) || same_bits(both, 2.3 * b / 1.0)) << a << " " << b;
            const int guard = guard_check(a, 1.0, b);
            EXPECT_TRUE(guard == 0 || guard == 1);
            EXPECT_EQ(guard_check(kNaN, a, b), 0);
            EXPECT_TRUE(same_bits(MUX(0, a, b), a));
            EXPECT_TRUE(same_bits(MUX(INT_MIN, a, b), b));
            EXPECT_TRUE(same_bits(min(a, b), b > a ? a : b));
        }
    }
}

TEST(HostileModelInput, SinglePrecisionPowerTakesNonFiniteAndExtremeFloats) {
    const float hostile[] = {std::numeric_limits<float>::quiet_NaN(),
                             std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity(),
                             0.0f,
                             -0.0f,
                             -1.5f,
                             FLT_MAX,
                             -FLT_MAX,
                             FLT_TRUE_MIN};
    for (float base : hostile)
        for (float exponent : hostile)
            EXPECT_TRUE(same_bits(static_cast<double>(runtime_powf(base, exponent)),
                                  static_cast<double>(powf(base, exponent))))
                << base << " ^ " << exponent;
}

// The whole design state, compared bit for bit.
struct DesignState {
    int options[12];
    double figures[16];
    int window[4];

    static DesignState take() {
        DesignState s{};
        std::memcpy(s.options, User_Option, sizeof s.options);
        const double f[16] = {FRE_MAX,
                              VDD_MAX,
                              AREA_CONSTRT,
                              POWER_CONSTRT,
                              BW_CONSTRT,
                              BW_CONSTRT_TSV,
                              FRE,
                              VDD_G,
                              AREA_RESULT,
                              POWER_RESULT,
                              BW_RESULT,
                              BW_RESULT_TSV,
                              best,
                              0,
                              0,
                              0};
        std::memcpy(s.figures, f, sizeof f);
        const int w[4] = {flag, check[0], check[1], check[2]};
        std::memcpy(s.window, w, sizeof w);
        return s;
    }
    bool operator==(const DesignState &o) const { return std::memcmp(this, &o, sizeof o) == 0; }
};

class HostileOptions : public testing::Test {
  protected:
    void SetUp() override { reset_design_state(); }
    void TearDown() override { reset_design_state(); }

    // A call that must be refused: it changes nothing and says so on standard error.
    void expect_refused(int index, double value) {
        const DesignState before = DesignState::take();
        CaptureStderr();
        User_Option_set(index, value);
        const std::string said = GetCapturedStderr();
        EXPECT_TRUE(DesignState::take() == before) << "index " << index << ", value " << value;
        EXPECT_NE(said.find("refused"), std::string::npos)
            << "index " << index << ", value " << value << ": " << said;
        refused++;
    }
    void expect_set(int index, double value, int stored) {
        CaptureStderr();
        User_Option_set(index, value);
        EXPECT_EQ(GetCapturedStderr(), "") << "index " << index << ", value " << value;
        EXPECT_EQ(User_Option[index], stored) << "index " << index << ", value " << value;
    }
    int refused = 0;
};

// Largest value of each option that indexes a table; the others take any int.
int last_of(int index) {
    switch (index) {
    case 0:
        return kWorkloads - 1;
    case 3:
        return kCoreKinds - 1;
    case 4:
        return kNodes - 1;
    case 8:
        return kCoreCounts - 1;
    case 9:
        return kCacheSizes - 1;
    case 10:
        return kScaleSteps - 1;
    default:
        return INT_MAX;
    }
}

TEST_F(HostileOptions, EveryIndexOutsideTheTableIsRefused) {
    std::vector<int> indices = {INT_MIN, INT_MIN + 1, INT_MAX - 1, INT_MAX};
    for (int i = -4096; i < 0; i++)
        indices.push_back(i);
    for (int i = 12; i < 4096; i++)
        indices.push_back(i);
    for (int index : indices)
        for (double value : {0.0, 1.0, kNaN})
            expect_refused(index, value);
    EXPECT_EQ(refused, static_cast<int>(indices.size()) * 3);
}

TEST_F(HostileOptions, NonNumbersAndValuesBeyondIntAreRefusedForEveryOption) {
    for (int index = 0; index < 12; index++)
        for (double value : {kNaN, -kNaN, kInf, -kInf, DBL_MAX, -DBL_MAX, 1e300, 2147483648.0,
                             -2147483649.0, 4294967296.0})
            expect_refused(index, value);
}

TEST_F(HostileOptions, ValuesOutsideATablesRowsAreRefused) {
    for (int index = 0; index < 12; index++) {
        const int last = last_of(index);
        if (last == INT_MAX)
            continue;
        for (double value : {-1.0, -1.5, -2147483648.0, last + 1.0, last + 1.5, 1e9})
            expect_refused(index, value);
    }
}

TEST_F(HostileOptions, ValuesAtTheEdgesAreCutTowardZeroAndKept) {
    for (int index = 0; index < 12; index++) {
        const int last = last_of(index);
        expect_set(index, -0.0, 0);
        expect_set(index, -0.999, 0);
        expect_set(index, DBL_TRUE_MIN, 0);
        if (last == INT_MAX) {
            expect_set(index, 2147483647.9, INT_MAX);
            expect_set(index, -2147483648.9, INT_MIN);
            expect_set(index, -7.5, -7);
        } else {
            expect_set(index, last + 0.999, last);
        }
    }
}

// What one search leaves behind: its result, the design state and the lines it printed.
struct SearchRun {
    double result;
    DesignState state;
    std::string printed;
    bool operator==(const SearchRun &o) const {
        return same_bits(result, o.result) && state == o.state && printed == o.printed;
    }
};

template <typename Search> SearchRun searched(Search search) {
    CaptureStdout();
    const double result = search();
    return SearchRun{result, DesignState::take(), GetCapturedStdout()};
}

// Every search once, from the state as it is.
std::vector<SearchRun> every_search() {
    const DesignState start = DesignState::take();
    std::vector<SearchRun> runs;
    auto restore = [&] {
        std::memcpy(User_Option, start.options, sizeof start.options);
        FRE = start.figures[6], VDD_G = start.figures[7];
        AREA_RESULT = start.figures[8], POWER_RESULT = start.figures[9];
        BW_RESULT = start.figures[10], BW_RESULT_TSV = start.figures[11];
    };
    for (int fixes = 0; fixes < 8; fixes++) {
        restore();
        runs.push_back(searched([&] { return speedup_max(fixes & 1, fixes & 2, fixes & 4); }));
        restore();
        runs.push_back(searched([&] { return speedup_max_1(fixes & 1, fixes & 2, fixes & 4); }));
    }
    restore();
    return runs;
}

TEST_F(HostileOptions, SearchesAfterRefusedCallsFindWhatTheyFoundBefore) {
    User_Option_set(1, 1); // 3D memory, so that every model is used
    FRE = 2.0, VDD_G = 1.8;
    User_Option[8] = 9, User_Option[9] = 20, User_Option[10] = 2;
    const std::vector<SearchRun> before = every_search();
    CaptureStderr();
    for (int index : {-1, 12, INT_MIN, INT_MAX})
        User_Option_set(index, 1);
    for (int index = 0; index < 12; index++) {
        User_Option_set(index, kNaN);
        User_Option_set(index, -kInf);
        User_Option_set(index, 1e12);
        if (last_of(index) != INT_MAX)
            User_Option_set(index, last_of(index) + 1);
    }
    GetCapturedStderr();
    EXPECT_TRUE(every_search() == before);

    // The one-call entry points refuse the same way and search with the options unchanged.
    CaptureStderr();
    const SearchRun refused_full = searched([] { return SpeedUp_Max_core_L2_Scale(4, 9); });
    GetCapturedStderr();
    EXPECT_TRUE(refused_full == before[0]);
}

TEST_F(HostileOptions, AnyNonZeroMemoryKindIsStackedAndAnyOtherTransistorKindIsHp) {
    User_Option_set(1, 1);
    User_Option_set(2, 2);
    const std::vector<SearchRun> reference = every_search();
    for (double memory : {2.0, 1e9, -1.0, 2147483647.0, -2147483648.0}) {
        for (double transistor : {3.0, -1.0, 2147483647.0, -2147483648.0}) {
            User_Option_set(1, memory);
            User_Option_set(2, transistor);
            User_Option_set(11, -12345); // unused: changes no search
            std::vector<SearchRun> runs = every_search();
            for (size_t i = 0; i < runs.size(); i++) {
                // The state differs only in the options just set.
                runs[i].state.options[1] = 1, runs[i].state.options[2] = 2;
                runs[i].state.options[11] = 0;
                EXPECT_TRUE(runs[i] == reference[i]) << memory << " " << transistor << " " << i;
            }
        }
    }
}

TEST_F(HostileOptions, AnyNonZeroCheckIsOnAndASwitchedOffCheckLeavesItsFigureAtZero) {
    const std::vector<SearchRun> reference = every_search();
    for (int index = 5; index <= 7; index++)
        User_Option_set(index, INT_MIN);
    std::vector<SearchRun> runs = every_search();
    for (size_t i = 0; i < runs.size(); i++) {
        for (int index = 5; index <= 7; index++)
            runs[i].state.options[index] = 1;
        EXPECT_TRUE(runs[i] == reference[i]) << i;
    }

    for (int index = 5; index <= 7; index++)
        User_Option_set(index, 0);
    User_Option_set(1, 1);
    const double s = searched([] { return speedup_max(0, 0, 0); }).result;
    EXPECT_GT(s, 0);
    EXPECT_EQ(AREA_RESULT, 0);
    EXPECT_EQ(POWER_RESULT, 0);
    EXPECT_EQ(BW_RESULT, 0);
    EXPECT_EQ(BW_RESULT_TSV, 0);
    // With no limit checked the fastest configuration of the whole space is taken.
    EXPECT_EQ(User_Option[8], kCoreCounts - 1);
}

// The searches read the limits and the operating point straight from the design state; what
// the window never writes there, a caller of the library may.
class HostileDesignState : public HostileOptions {
  protected:
    // Every search from the state that `prepare` sets up (a search with the scale step free
    // rewrites the operating point): each keeps to its tables, never accepts NaN and returns a
    // figure >= 0.
    template <typename Prepare>
    void expect_sound_searches(Prepare prepare, const std::string &what) {
        for (int fixes = 0; fixes < 8; fixes++) {
            prepare();
            const double s =
                searched([&] { return speedup_max(fixes & 1, fixes & 2, fixes & 4); }).result;
            EXPECT_FALSE(std::isnan(s)) << what << ", fixes " << fixes;
            EXPECT_GE(s, 0) << what << ", fixes " << fixes;
            EXPECT_GE(User_Option[8], 0);
            EXPECT_LT(User_Option[8], kCoreCounts);
            EXPECT_GE(User_Option[9], 0);
            EXPECT_LT(User_Option[9], kCacheSizes);
            EXPECT_GE(User_Option[10], 0);
            EXPECT_LT(User_Option[10], kScaleSteps);
            prepare();
            const double peak = speedup_max_1(fixes & 1, fixes & 2, fixes & 4);
            EXPECT_FALSE(std::isnan(peak)) << what << ", fixes " << fixes;
            EXPECT_GE(peak, 0) << what << ", fixes " << fixes;
        }
    }
};

TEST_F(HostileDesignState, HostileOperatingPointsNeverYieldANaNSpeedup) {
    for (double stacked : {0.0, 1.0}) {
        for (double hostile : kHostile) {
            const std::string value = std::to_string(hostile);
            // A supply of 1.8 V of the initial 2.0 V passes the voltage guard, so a hostile
            // frequency reaches the speedup: a held scale step scores NaN there.
            auto frequency = [&] {
                reset_design_state();
                User_Option_set(1, stacked);
                FRE = hostile, VDD_G = 1.8;
            };
            frequency();
            if (std::isnan(hostile)) {
                EXPECT_TRUE(std::isnan(evaluate_configuration(0, 0, 0, 1).speedup));
            }
            expect_sound_searches(frequency, "FRE " + value);
            expect_sound_searches(
                [&] {
                    reset_design_state();
                    User_Option_set(1, stacked);
                    FRE = 2.0, VDD_G = hostile;
                },
                "VDD_G " + value);
            expect_sound_searches(
                [&] {
                    reset_design_state();
                    User_Option_set(1, stacked);
                    FRE_MAX = VDD_MAX = hostile;
                    FRE = 2.0, VDD_G = 1.8;
                },
                "ceilings " + value);
        }
    }
}

TEST_F(HostileDesignState, LimitThatNothingMeetsLeavesTheFallbackAndAnyOtherIsALimit) {
    for (double stacked : {0.0, 1.0}) {
        for (double hostile : kHostile) {
            for (double *limit : {&AREA_CONSTRT, &POWER_CONSTRT, &BW_CONSTRT, &BW_CONSTRT_TSV}) {
                auto prepare = [&] {
                    reset_design_state();
                    User_Option_set(1, stacked);
                    FRE = 2.0, VDD_G = 1.8;
                    *limit = hostile;
                };
                expect_sound_searches(prepare, "limit " + std::to_string(hostile));
                // A configuration qualifies when its figure does not exceed the limit: a NaN
                // limit rejects nothing, -inf rejects every configuration it applies to.
                prepare();
                const SearchOutcome outcome = find_best_configuration(0, 0, 0);
                if (hostile == -kInf && (limit != &BW_CONSTRT_TSV || stacked != 0)) {
                    EXPECT_FALSE(outcome.found);
                    EXPECT_EQ(outcome.speedup, 0);
                }
                if (std::isnan(hostile) || hostile == kInf) {
                    EXPECT_TRUE(outcome.found);
                }
            }
        }
    }
}

} // namespace
