#pragma once

// The single-precision power function of the C library, always called at run time.
//
// The compiler may fold a powf whose arguments are constants to a correctly rounded value that
// differs in the last bit from what the library computes, and results must not depend on how
// the program was built. Declared const so that calls with loop-invariant arguments can still
// be hoisted.
[[gnu::const]] float runtime_powf(float base, float exponent) noexcept;
