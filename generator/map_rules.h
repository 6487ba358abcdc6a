// What the map module does with its inputs, as a host needs to know it to
// follow the module: which samples are high, at which the map steps, which
// events restart it. The module decides by these very functions.
#pragma once

#include <algorithm>
#include <cstdint>

#include "framework/boundary.h"
#include "map_pins.h"

namespace tessel {

// Each function is static, as the module's own helpers were: with internal
// linkage GCC compiles the process function exactly as before they were shared.

// A Gate or Reset sample above this is high; NaN never is.
constexpr float kEdgeThreshold = 0.0f;

static constexpr bool isHigh(float sample) { return sample > kEdgeThreshold; }

// A rising edge: this sample is high and the one before was not.
static constexpr bool rises(float sample, bool wasHigh) { return isHigh(sample) && !wasHigh; }

// Whether a running map steps at a sample, given its Gate sample and whether
// the one before was high: at every sample in Continuous mode, at each
// rising Gate edge in Gated mode, at none in any other. A rising Reset edge
// at the same sample then loads x0 and y0 over the step.
static constexpr bool stepsAt(int32_t mode, float gate, bool gateWasHigh)
{
    return mode == Continuous || (mode == Gated && rises(gate, gateWasHigh));
}

// Whether an event (a pin's status or a setting changed) restarts the map at
// x0 and y0: it does while x0, y0, a or b streams.
static constexpr bool restartsOnEvent(int32_t x0Status, int32_t y0Status, int32_t aStatus, int32_t bStatus)
{
    return std::max({aStatus, bStatus, x0Status, y0Status}) > sep::Transient;
}

}  // namespace tessel
