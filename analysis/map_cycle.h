// The map without its roundings, and its cycles: found by Newton's method from
// float states, with their multipliers and the halo in which the module's
// rounding keeps the floats around them.
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
    double halo = 0.0;         // attracting only: how far rounding may keep a float state from it, per coordinate
    std::vector<double> x, y;  // its `period` points, the first refined from the first state given
};

// Refines the p float states x[0..p), y[0..p) into a cycle of the map of
// period p (multiple shooting: all p points at once), then reduces it to its
// least period and judges its multipliers. Plain arithmetic only, so the
// verdict is the same on every machine.
MapCycle refineCycle(const ExactMap& map, const float* x, const float* y, int32_t p);

}  // namespace analysis
