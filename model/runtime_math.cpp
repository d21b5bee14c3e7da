#include "model/runtime_math.h"

#include <cmath>

// noipa keeps the call opaque to inlining and constant propagation, even across units.
[[gnu::noipa]] float runtime_powf(float base, float exponent) noexcept {
    return powf(base, exponent);
}
