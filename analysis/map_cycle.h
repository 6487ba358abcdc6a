// The map without its roundings, and its cycles: found by Newton's method,
// with their multipliers, and the attracting cycle that the map, run from a
// float state, falls onto.
#pragma once

#include <cstdint>
#include <vector>

namespace analysis {

// x' = (y + 0.1f) - 100·a·x², y' = 10·b·x in double, a and b the module's
// float inputs (signal scale); both products are exact in double.
struct ExactMap {
    ExactMap(float a, float b);

    double constant;   // 0.1f widened
    double quadratic;  // 100·a
    double yFactor;    // 10·b
};

struct MapCycle {
    int32_t period = 0;        // its least period; 0: Newton did not converge
    bool attracting = false;   // both multipliers strictly inside the unit circle
    double trace = 0.0;        // of the Jacobian once around the cycle: the multipliers' sum
    double determinant = 0.0;  // and their product
    std::vector<double> x, y;  // its `period` points, the first refined from the first state given
};

// Refines the p states x[0..p), y[0..p) into a cycle of the map of period p
// (multiple shooting: all p points at once), then reduces it to its least
// period and judges its multipliers. Plain arithmetic only, so the verdict is
// the same on every machine.
MapCycle refineCycle(const ExactMap& map, const double* x, const double* y, int32_t p);

// Two states this close, per coordinate (signal scale, 1 mV), are near: far
// wider than the way rounding keeps the floats around any cycle but one
// within a hair of a bifurcation, far narrower than any chaotic orbit's spread.
constexpr double kNearGap = 1e-4;
// How long the map is run from a float state to see where it goes: enough for
// any cycle whose multipliers are not within a few parts in ten thousand of
// the unit circle to halve the floats' distance from it many times over.
constexpr int32_t kMapSteps = 8192;

// The attracting cycle of the map that the floats x[0..count), y[0..count)
// follow; period 0: none. The map is run kMapSteps from the first float
// state; the periods up to `longest` (at most kMapSteps / 4) with which its
// last 2·longest states repeat within kNearGap are tried, shortest first, by
// refining the last of them. The first that refines to an attracting cycle
// the map's orbit falls onto (its distance from the cycle at least halved,
// or gone) is the cycle the map takes the floats' state to: near a period
// doubling a period may refine to the unstable parent, and its double, tried
// later, to the attracting cycle beside it. The floats follow that cycle when
// they stay within kNearGap of the map's orbit, as far as both go.
MapCycle cycleFollowed(const ExactMap& map, const float* x, const float* y, int64_t count, int32_t longest);

}  // namespace analysis
