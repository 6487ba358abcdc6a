// The map without its roundings, and its cycles: found by Newton's method,
// with their multipliers, and the attracting cycle that the map, run from a
// float state, falls onto.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "unset_vector.h"

namespace analysis {

// x' = (y + 0.1f) - 100·a·x², y' = 10·b·x in double, a and b the module's
// float inputs (signal scale); both products are exact in double.
struct ExactMap {
    ExactMap() = default;
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

// States one period apart within this (signal scale, 10 mV) make the period
// worth a closer look: far wider than the way rounding keeps the floats
// around any cycle but one within a hair of a bifurcation, far narrower than
// any chaotic orbit's spread.
constexpr double kRepeatGap = 1e-3;
// Floats this near a cycle's points, per coordinate (1 mV), beyond where the
// map's own orbit is at the same step, stay beside it.
constexpr double kNearGap = 1e-4;
// How long the map is run from a float state to see where it goes: enough for
// any cycle whose multipliers are not within a few parts in ten thousand of
// the unit circle to come clearly nearer.
constexpr int32_t kMapSteps = 8192;

// The states of the map's orbit from a state, in double.
struct MapOrbit {
    UnsetVector<double> x, y;
};

// The map's orbit from (x, y): kMapSteps states, or fewer once its last
// `window` states repeat within kOnCycle (it is then on its cycle, and stays
// there); empty when it leaves the map's bounded region.
struct MapRun {
    // From (x, y) anew, keeping the orbit's room.
    void restart(const ExactMap& map, double x, double y, int32_t window);

    ExactMap map{};
    double x = 0.0, y = 0.0;  // the state after the orbit's last
    int32_t window = 0;
    bool inReach = true;
    MapOrbit orbit;
};

// Runs the maps' orbits, several at a time step by step in turn: each waits
// on its own step before, not on the others'.
void runMaps(std::span<MapRun* const> runs);

// The attracting cycle of the map that the floats x[0..count), y[0..count)
// follow; period 0: none. `orbit` is the map run from the first float state
// with a window of 2·longest (runMaps); the periods up to `longest` (at most
// kMapSteps / 4) with which its last 2·longest states repeat within
// kRepeatGap are tried, shortest first, by refining the last of them. A
// period that refines to an unstable cycle is followed by that cycle's
// double: near a period doubling the map circles the unstable parent on the
// attracting cycle beside it. The first attracting cycle the map's orbit
// falls onto (ends nearer to, or on) is where the map takes the floats'
// state; they follow it when their last `longest` states lie beside its
// points.
MapCycle cycleFollowed(const ExactMap& map, const MapOrbit& orbit, const float* x, const float* y, int64_t count,
                       int32_t longest);

}  // namespace analysis
