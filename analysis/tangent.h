// The tangent vector an orbit's exponents are measured by, carried along the
// float states: the one analysis of an orbit and the orbits judged together
// step it alike, so that both give the same exponents to the last bit.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>

#include "orbit_analysis.h"

namespace analysis {

constexpr double kLn2 = 0.69314718055994530942;

// The tangent's size is taken out every few steps, as a power of two read
// from its exponent bits: no log, no rounding. Along an orbit the guard lets
// stand (|x| < 0.2), sixteen Jacobians at the pins' a (at most 4 V) grow it
// by less than 2^70, far within double's range.
constexpr int32_t kRenormaliseEvery = 16;

// Scales the values by the power of two that brings the largest of them into
// [1, 2), returning the power taken out.
template <typename... Values>
inline int64_t renormalise(Values&... values)
{
    constexpr uint64_t kMagnitude = ~(uint64_t{1} << 63);
    const uint64_t largest = std::max({(std::bit_cast<uint64_t>(values) & kMagnitude)...});
    if (largest == 0) return 0;  // collapsed onto zero: stays there, the exponent is -infinity
    const auto field = static_cast<int32_t>(largest >> 52);
    // A subnormal value is first lifted into the normal range.
    const int32_t shift = field == 0 ? -600 : field - 1023;
    const double scale = std::bit_cast<double>(uint64_t(1023 - shift) << 52);
    ((values *= scale), ...);
    return shift;
}

// The tangent carried along the float states from `x` on, one step at a time.
struct OrbitAnalysis::TangentRun {
    Tangent t;
    const float* x;
    double jacobianXX, jacobianYX;

    [[gnu::always_inline]] void step()
    {
        const double slope = jacobianXX * double{*x++};
        const double nextX = slope * t.x + t.y;
        t.y = jacobianYX * t.x;
        t.x = nextX;
        if (++t.sinceRenormalised < kRenormaliseEvery) return;
        t.sinceRenormalised = 0;
        t.exponent += renormalise(t.x, t.y);
    }
};

}  // namespace analysis
