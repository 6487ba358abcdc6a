// The exact map's step and the nearness that puts an orbit on a cycle, as
// Newton's refinement, the map's runs and the cycle's verdict all take them.
#pragma once

#include <cmath>
#include <cstdint>

#include "map_cycle.h"

namespace analysis {

// Beyond the guard's bound by far: Newton has left the map's bounded region.
constexpr double kOutOfReach = 1.0;
// An orbit this close to a cycle, per coordinate, is on it: Newton's points
// and the orbit's states agree to about 1e-16 once it has converged.
constexpr double kOnCycle = 1e-12;

// The map's image of (x, y), in its two parts.
inline double imageX(const ExactMap& map, double x, double y) { return (y + map.constant) - (x * x) * map.quadratic; }
inline double imageY(const ExactMap& map, double x) { return x * map.yFactor; }

// Whether the last `length` states repeat with `period` within `gap`; judged
// from the end back, so most periods fail at once.
inline bool repeats(const double* x, const double* y, int32_t length, int32_t period, double gap)
{
    for (int32_t i = length - 1; i >= period; --i) {
        if (std::abs(x[i] - x[i - period]) > gap || std::abs(y[i] - y[i - period]) > gap) return false;
    }
    return true;
}

}  // namespace analysis
