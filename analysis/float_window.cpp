#include "float_window.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace analysis {

namespace {

// Four floats at a time, as a vector register holds them.
using Floats4 = float __attribute__((vector_size(16)));
using Ints4 = int32_t __attribute__((vector_size(16)));

[[gnu::always_inline]] inline Floats4 fourFrom(const float* at)
{
    Floats4 four;
    std::memcpy(&four, at, sizeof four);
    return four;
}

// A float difference below this is surely within `gap` in double: the float
// difference is within 2^-24 of the exact one, which is within 2^-53 of the
// double one.
float surelyWithinGap(double gap) { return static_cast<float>(gap * (1.0 - 0x1p-20)); }

// Which of the four states from `i` are surely within `gap` (by
// surelyWithinGap) of the one `period` earlier: all bits set in those lanes.
[[gnu::always_inline]] inline Ints4 fourSurelyWithin(const float* x, const float* y, int64_t i, int32_t period,
                                                     float sure)
{
    const Floats4 dx = fourFrom(x + i) - fourFrom(x + i - period);
    const Floats4 dy = fourFrom(y + i) - fourFrom(y + i - period);
    return (dx <= sure) & (dx >= -sure) & (dy <= sure) & (dy >= -sure);
}

bool allLanes(const Ints4& lanes) { return (lanes[0] & lanes[1] & lanes[2] & lanes[3]) != 0; }

// A float difference beyond this is surely beyond `gap` in double, as above.
float surelyApartBeyond(double gap) { return static_cast<float>(gap * (1.0 + 0x1p-20)); }

// Whether state `last` is surely apart (by surelyApartBeyond) from each of
// the four states `period` to `period` + 3 before it.
[[gnu::always_inline]] inline bool lastSurelyApartFromFour(const float* x, const float* y, int64_t last, int32_t period,
                                                           float beyond)
{
    const Floats4 dx = x[last] - fourFrom(x + last - period - 3);
    const Floats4 dy = y[last] - fourFrom(y + last - period - 3);
    return allLanes((dx > beyond) | (dx < -beyond) | (dy > beyond) | (dy < -beyond));
}

// Whether the last `length` states repeat with `period` within `gap` (0:
// exactly). Judged from the end back, so most periods fail at once.
bool repeats(const float* x, const float* y, int64_t length, int32_t period, double gap)
{
    for (int64_t i = length - 1; i >= period; --i) {
        if (std::abs(double{x[i]} - double{x[i - period]}) > gap ||
            std::abs(double{y[i]} - double{y[i - period]}) > gap)
            return false;
    }
    return true;
}

// The larger distance, per coordinate, in float of each of the four states
// from `i` from the one `period` earlier.
[[gnu::always_inline]] inline Floats4 fourFloatGaps(const float* x, const float* y, int64_t i, int32_t period)
{
    const Floats4 dx = fourFrom(x + i) - fourFrom(x + i - period);
    const Floats4 dy = fourFrom(y + i) - fourFrom(y + i - period);
    const Floats4 ax = dx < 0 ? -dx : dx, ay = dy < 0 ? -dy : dy;
    return ax > ay ? ax : ay;
}

}  // namespace

// Most periods fail on the window's last state, four at a time in float
// where that surely decides.
int32_t leastPeriod(const float* x, const float* y, int64_t length, int32_t longest, double gap)
{
    const float beyond = surelyApartBeyond(gap);
    for (int32_t period = 1; period <= longest; ++period) {
        if (period + 3 <= longest && lastSurelyApartFromFour(x, y, length - 1, period, beyond)) {
            period += 3;
            continue;
        }
        if (repeats(x, y, length, period, gap)) return period;
    }
    return 0;
}

// The largest distance, per coordinate, between a state of the window and the
// one `period` earlier within it. Rounding keeps the order of differences, so
// the largest difference in double is one whose difference in float is the
// largest: that is found four states at a time, and only its states are
// measured in double.
double largestGap(const float* x, const float* y, int64_t length, int32_t period)
{
    const auto exactGap = [&](int64_t i) {
        return std::max(std::abs(double{x[i]} - double{x[i - period]}), std::abs(double{y[i]} - double{y[i - period]}));
    };
    const auto floatGap = [&](int64_t i) {
        return std::max(std::abs(x[i] - x[i - period]), std::abs(y[i] - y[i - period]));
    };
    const int64_t fours = period + (length - period) / 4 * 4;
    Floats4 largestFours = {};
    for (int64_t i = period; i < fours; i += 4) {
        const Floats4 gaps = fourFloatGaps(x, y, i, period);
        largestFours = largestFours > gaps ? largestFours : gaps;
    }
    float largestFloat = std::max({largestFours[0], largestFours[1], largestFours[2], largestFours[3]});
    for (int64_t i = fours; i < length; ++i) largestFloat = std::max(largestFloat, floatGap(i));

    double largest = 0.0;
    for (int64_t i = period; i < fours; i += 4) {
        const Ints4 at = fourFloatGaps(x, y, i, period) == largestFloat;
        if ((at[0] | at[1] | at[2] | at[3]) == 0) continue;
        for (int64_t k = i; k < i + 4; ++k) largest = std::max(largest, exactGap(k));
    }
    for (int64_t i = fours; i < length; ++i) largest = std::max(largest, exactGap(i));
    return largest;
}

// The least index from which each state before `end` is within `gap` of the
// one `period` earlier, at least `period`. Judged from the end back, a run of
// states at a time, since most orbits settle early: four at a time in float
// where that surely decides, else in double without branches.
int64_t settledFrom(const float* x, const float* y, int64_t end, int32_t period, double gap)
{
    constexpr int64_t kRun = 16;
    const auto apart = [&](int64_t i) {
        return int{std::abs(double{x[i]} - double{x[i - period]}) > gap} |
               int{std::abs(double{y[i]} - double{y[i - period]}) > gap};
    };
    const float sure = surelyWithinGap(gap);
    const auto runSurelyWithin = [&](int64_t from) {
        Ints4 within = fourSurelyWithin(x, y, from, period, sure);
        for (int64_t k = 4; k < kRun; k += 4) within &= fourSurelyWithin(x, y, from + k, period, sure);
        return allLanes(within);
    };
    int64_t i = end - 1;
    for (; i - kRun + 1 >= period; i -= kRun) {
        if (runSurelyWithin(i - kRun + 1)) continue;
        bool any = false;
        for (int64_t k = 0; k < kRun; ++k) any |= apart(i - k);
        if (any) break;
    }
    for (; i >= period; --i)
        if (apart(i)) return i + 1;
    return period;
}

}  // namespace analysis
