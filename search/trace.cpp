#include "search/trace.h"

#include <cstdio>

static bool trace_enabled = true;

void trace_set_enabled(bool enabled) {
    trace_enabled = enabled;
}

void trace_power(double power) {
    if (trace_enabled)
        printf("power_W_result1 = %lf\n", power);
}

void trace_summary(double speedup, double scale, double cache_mb, double cores) {
    if (trace_enabled)
        printf("SpeedUp_max = %lf\nScale = %.1lf\nCache_Size = %.0lfMb\nCore_Num = %.0lf\n",
               speedup, scale, cache_mb, cores);
}

void trace_option(int option_index, int value) {
    if (trace_enabled)
        printf("%d %d\n", option_index, value);
}

void trace_scale(int scale_index) {
    if (trace_enabled)
        printf("%d\n", scale_index);
}

void trace_flush() {
    fflush(stdout);
}
