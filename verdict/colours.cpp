#include "colours.h"

#include <algorithm>
#include <cmath>

namespace verdict {

namespace {

// The inferno colour map at nine even steps: dark to bright, monotonic in
// lightness, so the densest places read as the brightest.
constexpr std::array<Colour, 9> kInferno{{{0, 0, 4},
                                          {31, 12, 72},
                                          {85, 15, 109},
                                          {136, 34, 106},
                                          {186, 54, 85},
                                          {227, 89, 51},
                                          {249, 140, 10},
                                          {249, 201, 50},
                                          {252, 255, 164}}};

// The chaos colours start this far up the inferno map, clear of the background.
constexpr double kInfernoFrom = 0.35;

constexpr Colour kHatch{16, 16, 24};
constexpr int kHatchPitch = 4;  // pixels from one line to the next, across
constexpr int kHatchWidth = 2;

Colour mix(Colour a, Colour b, double t)
{
    auto channel = [t](uint8_t u, uint8_t v) { return static_cast<uint8_t>(std::lround(u + (v - u) * t)); };
    return {channel(a.r, b.r), channel(a.g, b.g), channel(a.b, b.b)};
}

size_t cycleClass(int32_t period)
{
    return static_cast<size_t>(std::lower_bound(kCycleClassEnds.begin(), kCycleClassEnds.end(), period) -
                               kCycleClassEnds.begin());
}

}  // namespace

Colour inferno(double t)
{
    t = std::clamp(t, 0.0, 1.0) * (kInferno.size() - 1);
    const size_t low = std::min(static_cast<size_t>(t), kInferno.size() - 2);
    return mix(kInferno[low], kInferno[low + 1], t - low);
}

Colour stopColour(double share) { return mix(kStopSoonest, kStopLatest, share); }

Colour chaosColour(double share) { return inferno(kInfernoFrom + (1.0 - kInfernoFrom) * std::clamp(share, 0.0, 1.0)); }

Colour chartColour(const analysis::OrbitClass& orbit, int64_t steps)
{
    switch (orbit.outcome) {
    case analysis::Outcome::Stops: return stopColour(std::log1p(double(orbit.steps)) / std::log1p(double(steps)));
    case analysis::Outcome::Cycle: return kCycleColours[cycleClass(orbit.period)];
    case analysis::Outcome::Quasi: return kQuasi;
    case analysis::Outcome::Chaos: break;
    }
    return chaosColour((orbit.lyapunov - analysis::kChaosMargin) / (kMostLyapunov - analysis::kChaosMargin));
}

Colour hatched(Colour colour, int column, int row)
{
    return (column + row) % kHatchPitch < kHatchWidth ? kHatch : colour;
}

}  // namespace verdict
