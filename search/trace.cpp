// The power lines come by the tens of thousands per window action, so they are formatted
// without printf and gathered in one buffer, which goes to standard output's stream in one
// write when a search ends, when it fills and when the caller flushes. Every other line goes
// out at once, after whatever is gathered, so the order of all lines is the order in which
// they were traced, and nothing is held back once a search has returned.
#include "search/trace.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

bool trace_enabled = true;

// Large enough for thousands of power lines; a line is at most kLongestLine bytes ("%lf" of
// the largest double has 309 digits before the point).
constexpr size_t kBufferSize = 1 << 16;
constexpr size_t kLongestLine = 400;
char buffer[kBufferSize];
size_t used = 0;

void write_gathered() {
    if (used > 0)
        fwrite(buffer, 1, used, stdout);
    used = 0;
}

// The bytes of printf's "%lf": std::to_chars with fixed precision 6 rounds exactly as printf
// does. Infinities and NaNs take printf's own path, so that their spelling (a NaN's sign
// included) is printf's whatever the library.
char *format_lf(char *out, char *end, double value) {
    if (!std::isfinite(value))
        return out + snprintf(out, end - out, "%lf", value);
    return std::to_chars(out, end, value, std::chars_format::fixed, 6).ptr;
}

} // namespace

void trace_set_enabled(bool enabled) {
    write_gathered();
    trace_enabled = enabled;
}

void trace_power(double power) {
    if (!trace_enabled)
        return;
    if (kBufferSize - used < kLongestLine)
        write_gathered();
    static constexpr char kPrefix[] = "power_W_result1 = ";
    char *out = buffer + used;
    memcpy(out, kPrefix, sizeof kPrefix - 1);
    out = format_lf(out + sizeof kPrefix - 1, buffer + kBufferSize, power);
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
    fflush(stdout);
}
