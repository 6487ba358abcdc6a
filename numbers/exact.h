// A finite double taken apart, and multiplied by any power of ten exactly:
// the ground every number writer rounds on. Internal to the number writers.
#pragma once

#include <cstdint>

namespace numbers {

// A finite double as sign · mantissa · 2^exponent, the mantissa a whole number below 2^53.
struct Parts {
    bool negative;
    uint64_t mantissa;
    int exponent;
};

Parts partsOf(double value);

// How what is left after the whole part compares with one half.
enum class Rest { None, BelowHalf, Half, AboveHalf };

struct Scaled {
    uint64_t whole;
    Rest rest;
};

// Rounded to the nearest whole number, ties to even.
uint64_t rounded(Scaled s);

// mantissa · 2^exponent · 10^power for any power, its whole part below 2^64.
Scaled scaledByPowerOfTen(const Parts& parts, int power);

}  // namespace numbers
