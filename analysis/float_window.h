// Searches over a window of float states (x[i], y[i]) for repetitions: each
// state against the one `period` earlier, per coordinate, in double. Where a
// difference in float surely decides (it is within 2^-24 of the exact one),
// four states are judged at a time in float, and only the rest in double, to
// the same answer.
#pragma once

#include <cstdint>

namespace analysis {

// The least period up to `longest` (at most half of `length`) with which the
// `length` states repeat within `gap` (0: exactly); 0: none.
int32_t leastPeriod(const float* x, const float* y, int64_t length, int32_t longest, double gap);

// The largest distance between a state and the one `period` earlier.
double largestGap(const float* x, const float* y, int64_t length, int32_t period);

// The least index from which each state before `end` is within `gap` of the
// one `period` earlier, at least `period`.
int64_t settledFrom(const float* x, const float* y, int64_t end, int32_t period, double gap);

}  // namespace analysis
