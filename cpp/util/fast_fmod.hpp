#pragma once
// std::fmod without its bit-by-bit loop, for the hot paths (SGP4's angle
// reductions, the sidereal angle), returning the same value to the last bit.
#include <cmath>

namespace orbweave {

// fmod(x, y) for a finite y > 0. The remainder of a division is exactly
// representable, so x - n y with the right quotient n is what one fused
// multiply-add returns. The truncated quotient of the rounded division is off by at
// most one below 2^52; a wrong quotient puts the remainder outside [0, y) (or
// (-y, 0] for a negative x), which rounding cannot hide, and the next one is right.
inline double fast_fmod(double x, double y) {
    double n = std::trunc(x / y);
    if (!(std::abs(n) < 0x1p52)) return std::fmod(x, y);  // also NaN and infinity
    double r = std::fma(-n, y, x);
    if (x >= 0.0) {
        if (r < 0.0) r = std::fma(-(n -= 1.0), y, x);
        else if (r >= y) r = std::fma(-(n += 1.0), y, x);
    } else {
        if (r > 0.0) r = std::fma(-(n += 1.0), y, x);
        else if (r <= -y) r = std::fma(-(n -= 1.0), y, x);
    }
    return r == 0.0 ? std::copysign(0.0, x) : r;
}

}  // namespace orbweave
