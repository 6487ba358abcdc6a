// Inputs that make the map's next state exactly a chosen float, and the
// non-finite samples a host may send: what the generator's tests feed it.
#pragma once

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace generator_testing {

inline const float kNaN = std::numeric_limits<float>::quiet_NaN();
inline const float kInfinity = std::numeric_limits<float>::infinity();

// Steps `guess` by single ulps until `iterate(guess)` gives exactly `target`.
template <typename Iterate>
float inputGiving(float target, float guess, Iterate iterate)
{
    for (int step = 0; step < 16; ++step) {
        const float reached = iterate(guess);
        if (reached == target) return guess;
        guess = std::nextafter(guess, reached < target ? 1.0f : -1.0f);
    }
    ADD_FAILURE() << "no input reaches " << target;
    return guess;
}

// A y0 for which the first x from (0, y0) is `target`: x' = (y + 0.1) rounded once.
inline float initialYGiving(float target)
{
    return inputGiving(target, static_cast<float>(double{target} - double{0.1f}),
                       [](float y) { return static_cast<float>(double{y} + double{0.1f}); });
}

// An x0 for which the first y from (x0, 0) with b = 0.1 is `target`.
inline float initialXGiving(float target)
{
    return inputGiving(target, target, [](float x) { return static_cast<float>((double{x} * double{0.1f}) * 10.0); });
}

}  // namespace generator_testing
