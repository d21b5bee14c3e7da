#include "model/runtime_math.h"

#include <cmath>

// noipa keeps the call opaque to inlining and constant propagation, even across units. clang
// (the fuzzing build) has no noipa; there noinline, in a unit of its own and without
// link-time optimisation, keeps it opaque too.
#ifdef __clang__
[[gnu::noinline]]
#else
[[gnu::noipa]]
#endif
float runtime_powf(float base, float exponent) noexcept {
    return powf(base, exponent);
}
