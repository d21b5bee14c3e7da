// The power lines come by the tens of thousands per window action, so they are formatted
// without printf and gathered in one buffer, which goes to standard output's stream in one
// write when a search ends, when it fills and when the caller flushes. Every other line goes
// out at once, after whatever is gathered, so the order of all lines is the order in which
// they were traced, and nothing is held back once a search has returned.
#include "search/trace.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <langinfo.h>
#include <string_view>

namespace {

bool trace_enabled = true;
bool write_failure_told = false;

// Large enough for thousands of power lines; a line is at most kLongestLine bytes ("%lf" of
// the largest double has 309 digits before the point; a locale's decimal point is one
// character, a few bytes; a longer one is left to printf).
constexpr size_t kBufferSize = 1 << 16;
constexpr size_t kLongestLine = 400;
constexpr size_t kLongestPoint = 16;
char buffer[kBufferSize];
size_t used = 0;

void write_gathered() {
    if (used > 0)
        fwrite(buffer, 1, used, stdout);
    used = 0;
}

constexpr auto kPowersOfTen = [] {
    std::array<uint64_t, 20> powers{};
    powers[0] = 1;
    for (size_t i = 1; i < powers.size(); i++)
        powers[i] = powers[i - 1] * 10;
    return powers;
}();

constexpr auto kDigitPairs = [] {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; i++) {
        pairs[2 * i] = char('0' + i / 10);
        pairs[2 * i + 1] = char('0' + i % 10);
    }
    return pairs;
}();

// The two digits of value (below 100) just before end; returns where they start.
char *put_pair(char *end, uint64_t value) {
    memcpy(end - 2, &kDigitPairs[2 * value], 2);
    return end - 2;
}

// printf's "%lf" rounds the exact decimal value of a double to millionths, the nearest with
// ties to even. Below kFastBelow the exact value times 10^6 is hi + lo: hi the rounded product,
// lo its rounding error, which fma gives exactly. hi stays under 2^52, so its fraction and
// 0.5 are multiples of its ulp, and lo (at most half an ulp) can only tip the rounding when
// the fraction is exactly 0.5. Writes the digits of |value|; the caller writes the sign.
constexpr double kFastBelow = 4e9;

char *format_millionths(char *out, double magnitude) {
    const double hi = magnitude * 1e6;
    const double lo = std::fma(magnitude, 1e6, -hi);
    const double whole = std::floor(hi), fraction = hi - whole;
    auto n = static_cast<uint64_t>(whole);
    if (fraction > 0.5 || (fraction == 0.5 && (lo > 0 || (lo == 0 && n % 2 == 1))))
        n++;
    uint64_t units = n / 1000000;
    uint32_t millionths = static_cast<uint32_t>(n % 1000000);
    // Two digits at a time, from the right.
    int count = 1;
    while (count < 19 && units >= kPowersOfTen[count])
        count++;
    char *digit = out + count;
    for (; units >= 100; units /= 100)
        digit = put_pair(digit, units % 100);
    if (units >= 10)
        put_pair(digit, units);
    else
        digit[-1] = char('0' + units);
    out += count;
    *out++ = '.';
    for (char *pair = out + 6; pair > out; millionths /= 100)
        pair = put_pair(pair, millionths % 100);
    return out + 6;
}

// The bytes of printf's "%lf", with its full stop replaced with `point`, the decimal point of
// the locale the program runs in, which printf writes (a comma under many locales). Larger
// values go through std::to_chars with fixed precision 6, which rounds exactly as printf
// does. Infinities and NaNs take printf's own path, so that their spelling (a NaN's sign
// included) is printf's whatever the library.
char *format_lf(char *out, char *end, double value, std::string_view point) {
    if (!std::isfinite(value))
        return out + snprintf(out, end - out, "%lf", value);
    char *stop;
    if (std::fabs(value) < kFastBelow) {
        if (std::signbit(value))
            *out++ = '-';
        stop = format_millionths(out, std::fabs(value));
    } else
        stop = std::to_chars(out, end, value, std::chars_format::fixed, 6).ptr;
    if (point == ".")
        return stop;
    char *decimals = stop - 6;
    memmove(decimals - 1 + point.size(), decimals, 6);
    memcpy(decimals - 1, point.data(), point.size());
    return decimals - 1 + point.size() + 6;
}

} // namespace

void trace_set_enabled(bool enabled) {
    write_gathered();
    trace_enabled = enabled;
}

void trace_power(double power) {
    if (!trace_enabled)
        return;
    // Looked up for every line, as printf does: the locale may change between two lines. The
    // radix character is localeconv()'s decimal point, at a quarter of its cost.
    const std::string_view point = nl_langinfo(RADIXCHAR);
    if (point.size() > kLongestPoint) {
        write_gathered();
        printf("power_W_result1 = %lf\n", power);
        return;
    }
    if (kBufferSize - used < kLongestLine)
        write_gathered();
    static constexpr char kPrefix[] = "power_W_result1 = ";
    char *out = buffer + used;
    memcpy(out, kPrefix, sizeof kPrefix - 1);
    out = format_lf(out + sizeof kPrefix - 1, buffer + kBufferSize, power, point);
    *out++ = '\n';
    used = out - buffer;
}

void trace_summary(double speedup, double scale, double cache_mb, double cores) {
    if (!trace_enabled)
        return;
    write_gathered();
    printf("SpeedUp_max = %lf\nScale = %.1lf\nCache_Size = %.0lfMb\nCore_Num = %.0lf\n", speedup,
           scale, cache_mb, cores);
}

void trace_option(int option_index, int value) {
    if (!trace_enabled)
        return;
    write_gathered();
    printf("%d %d\n", option_index, value);
}

void trace_scale(int scale_index) {
    if (!trace_enabled)
        return;
    write_gathered();
    printf("%d\n", scale_index);
}

void trace_search_end() {
    write_gathered();
}

void trace_flush() {
    write_gathered();
    errno = 0;
    if (fflush(stdout) == 0 && !ferror(stdout))
        return;
    const int error = errno;
    clearerr(stdout);
    if (write_failure_told)
        return;
    write_failure_told = true;
    fprintf(stderr,
            "%s: the trace cannot be written to standard output (%s); the program goes on "
            "without it\n",
            program_invocation_short_name, error != 0 ? strerror(error) : "write error");
}
