// The trace lines on standard output: printf's bytes for every value, in the order traced,
// and out of the library's hands once a search has returned or the caller flushes.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <limits>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "model/state.h"
#include "search/search.h"
#include "search/trace.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

std::string printf_power_line(double value) {
    char text[512];
    snprintf(text, sizeof text, "power_W_result1 = %lf\n", value);
    return text;
}

std::vector<std::string> lines_of(const std::string &text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

std::string printed_power_line(double value) {
    CaptureStdout();
    trace_power(value);
    trace_flush();
    return GetCapturedStdout();
}

class Trace : public testing::Test {
  protected:
    void SetUp() override { reset_design_state(); }
    void TearDown() override {
        trace_set_enabled(true);
        reset_design_state();
    }
};

// Under the locale named by the parameter: printf writes its decimal point, a comma under
// de_DE.UTF-8 (from Debian's locales-all).
class TraceUnderLocale : public Trace, public testing::WithParamInterface<const char *> {
  protected:
    void SetUp() override {
        Trace::SetUp();
        if (setlocale(LC_ALL, GetParam()) == nullptr)
            GTEST_SKIP() << "locale " << GetParam() << " cannot be set here (Debian's "
                         << "locales-all provides it)";
    }
    void TearDown() override {
        setlocale(LC_ALL, "C");
        Trace::TearDown();
    }
};

INSTANTIATE_TEST_SUITE_P(Locales, TraceUnderLocale, testing::Values("C", "de_DE.UTF-8"));

TEST_P(TraceUnderLocale, PowerLinesHaveTheBytesOfPrintf) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<double> values = {
        0.0,           -0.0,
        67.890123,     -3.25,
        1e-7,          -1e-7,
        0.0000005,     0.0000015,
        0.0078125,   // exactly halfway at the sixth decimal: printf rounds to even
        0.0234375,   // halfway, rounding up to even
        123.4567895, // not exactly halfway in binary
        1e15 + 0.3,    9007199254740993.0,
        DBL_MAX,       -DBL_MAX,
        DBL_MIN,       DBL_TRUE_MIN,
        -DBL_TRUE_MIN, inf,
        -inf,          nan,
        -nan};
    for (double value : values)
        EXPECT_EQ(printed_power_line(value), printf_power_line(value)) << value;
    // Every multiple of 2^-e for small e: exact binary fractions, many of them halfway cases.
    for (int e = 1; e <= 30; e++)
        for (int m = -300; m <= 300; m++) {
            const double value = std::ldexp(m * 7919.0, -e);
            ASSERT_EQ(printed_power_line(value), printf_power_line(value)) << m << " " << e;
        }
    // Random values: the watts that searches print, values around where the digits stop being
    // worked out from the product with a million, and any bit pattern at all.
    std::mt19937_64 random(7);
    std::vector<double> many;
    for (int n = 0; n < 60000; n++) {
        const uint64_t bits = random();
        switch (n % 3) {
        case 0:
            many.push_back(std::ldexp(double(bits >> 11), -53) * 1e4);
            break;
        case 1:
            many.push_back((n % 2 ? -1 : 1) * (3.9e9 + std::ldexp(double(bits >> 11), -53) * 2e8));
            break;
        default:
            many.push_back(std::bit_cast<double>(bits));
        }
    }
    std::string expected;
    CaptureStdout();
    for (double value : many) {
        trace_power(value);
        expected += printf_power_line(value);
    }
    trace_flush();
    EXPECT_EQ(GetCapturedStdout(), expected);
}

TEST_F(Trace, LinesKeepTheOrderInWhichTheyWereTraced) {
    // Far more power lines than fit in one write, some of them the longest there are.
    std::string expected;
    char text[64];
    CaptureStdout();
    trace_option(2, 1);
    snprintf(text, sizeof text, "%d %d\n", 2, 1);
    expected += text;
    for (int n = 0; n < 6000; n++) {
        const double value = n % 7 == 0 ? -DBL_MAX : n * 0.37;
        trace_power(value);
        expected += printf_power_line(value);
        if (n == 2500) {
            trace_scale(4);
            expected += "4\n";
        }
    }
    trace_summary(31.4244, 1.0, 4.0, 12.0);
    expected += "SpeedUp_max = 31.424400\nScale = 1.0\nCache_Size = 4Mb\nCore_Num = 12\n";
    trace_power(1.5);
    expected += printf_power_line(1.5);
    trace_flush();
    EXPECT_EQ(GetCapturedStdout(), expected);
}

TEST_F(Trace, SearchesHandOverTheirLinesBeforeTheyReturn) {
    User_Option[1] = 1; // 3D memory with LOP/HP: a power line per configuration within the area
    User_Option[2] = 1;
    CaptureStdout();
    speedup_max_1(0, 0, 0);
    printf("after the peak search\n"); // no flush in between
    speedup_max(1, 1, 1);
    printf("after the evaluation\n");
    const std::vector<std::string> lines = lines_of(GetCapturedStdout());

    // The peak search's power lines, then the caller's line, then the evaluation's power line
    // and summary, then the caller's.
    ASSERT_GE(lines.size(), 8u);
    const size_t n = lines.size();
    for (size_t i = 0; i + 7 < n; i++)
        EXPECT_EQ(lines[i].rfind("power_W_result1 = ", 0), 0u) << lines[i];
    EXPECT_EQ(lines[n - 7], "after the peak search");
    EXPECT_EQ(lines[n - 6].rfind("power_W_result1 = ", 0), 0u);
    EXPECT_EQ(lines[n - 5].rfind("SpeedUp_max = ", 0), 0u);
    EXPECT_EQ(lines[n - 1], "after the evaluation");
}

TEST_F(Trace, DisabledLinesAreDropped) {
    CaptureStdout();
    trace_set_enabled(false);
    trace_power(1.0);
    trace_summary(1, 1, 1, 1);
    trace_option(0, 1);
    trace_scale(3);
    User_Option[1] = 1, User_Option[2] = 2;
    speedup_max(0, 0, 0);
    trace_flush();
    trace_set_enabled(true);
    trace_scale(5);
    trace_flush();
    EXPECT_EQ(GetCapturedStdout(), "5\n");
}

TEST_F(Trace, OutputThatCannotBeWrittenIsToldOnceAndTheProgramGoesOn) {
    fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    const int full = open("/dev/full", O_WRONLY);
    ASSERT_GE(full, 0);
    dup2(full, STDOUT_FILENO);
    close(full);
    CaptureStderr();
    for (int action = 0; action < 3; action++) {
        trace_option(0, action);
        trace_power(1.5);
        trace_flush();
    }
    const std::string told = GetCapturedStderr();
    dup2(saved, STDOUT_FILENO);
    close(saved);
    clearerr(stdout);
    EXPECT_EQ(told.find("the trace cannot be written to standard output (No space left"),
              told.find(": ") + 2)
        << told;
    EXPECT_EQ(told.find('\n'), told.size() - 1) << told;
}

TEST_F(Trace, FlushPutsEveryLineIntoTheFile) {
    // Standard output into a pipe, fully buffered as it is for a user's log.
    fflush(stdout);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const int saved = dup(STDOUT_FILENO);
    dup2(fds[1], STDOUT_FILENO);
    setvbuf(stdout, nullptr, _IOFBF, BUFSIZ);
    trace_option(1, 1);
    trace_power(2.5);
    trace_flush();
    fcntl(fds[0], F_SETFL, O_NONBLOCK);
    char buffer[256];
    const ssize_t n = read(fds[0], buffer, sizeof buffer);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    close(fds[0]);
    close(fds[1]);
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::string(buffer, n), "1 1\npower_W_result1 = 2.500000\n");
}

} // namespace
