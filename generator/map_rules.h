// What the map module does with its inputs, as a host needs to know it to
// follow the module: which samples are high, at which the map steps, which
// events restart it. The module decides by these very functions.
#pragma once

#include <cstdint>

#include "framework/boundary.h"
#include "map_pins.h"

namespace tessel {

// A Gate or Reset sample above this is high; NaN never is.
constexpr float kEdgeThreshold = 0.0f;

constexpr bool isHigh(float sample) { return sample > kEdgeThreshold; }

// A rising edge: this sample is high and the one before was not.
constexpr bool rises(float sample, bool wasHigh) { return isHigh(sample) && !wasHigh; }

// Whether a running map steps at a sample: at every one in Continuous mode,
// at each rising Gate edge in Gated mode, at none in any other. A rising
// Reset edge at the same sample then loads x0 and y0 over the step.
constexpr bool stepsAt(int32_t mode, bool gateRises) { return mode == Continuous || (mode == Gated && gateRises); }

// Whether an event (a pin's status or a setting changed) restarts the map at
// x0 and y0: it does while any of them, a or b streams.
constexpr bool restartsOnEvent(int32_t x0Status, int32_t y0Status, int32_t aStatus, int32_t bStatus)
{
    return x0Status > sep::Transient || y0Status > sep::Transient || aStatus > sep::Transient ||
           bStatus > sep::Transient;
}

}  // namespace tessel
