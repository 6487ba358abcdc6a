// What a verdict shows: the chart's colour of each outcome and the inferno
// colour map, the same in tessel-render's pictures and on the explorer page
// (through the WebAssembly build).
#pragma once

#include <array>
#include <cstdint>

#include "analysis/orbit_analysis.h"

namespace verdict {

struct Colour {
    uint8_t r, g, b;
};

// The inferno colour map, t from 0 (dark) to 1 (bright).
Colour inferno(double t);

// Stops are shades of grey, darker the sooner: silence, and how close it was.
constexpr Colour kStopSoonest{34, 34, 42};
constexpr Colour kStopLatest{118, 118, 132};
constexpr Colour kQuasi{236, 236, 240};
// Cycles in cool colours, from the constant's deep blue to the longest tones'
// pale green, apart from chaos in the inferno colours of the attractor.
constexpr std::array<Colour, 8> kCycleColours{{{40, 70, 150},
                                               {30, 120, 205},
                                               {20, 160, 210},
                                               {25, 190, 180},
                                               {50, 200, 130},
                                               {110, 210, 95},
                                               {165, 220, 100},
                                               {200, 235, 160}}};
// Periods 1, 2, 3, 4, then 5-8, 9-16, 17-32, 33-512, one colour each.
constexpr std::array<int32_t, 8> kCycleClassEnds{1, 2, 3, 4, 8, 16, 32, 512};
static_assert(kCycleClassEnds.back() == analysis::kPeriodLimit);
// The chaos colours span the exponents up to log 2, the 1-D map's at full chaos.
constexpr double kMostLyapunov = 0.6931;

// A stop after `share` of the chart's steps, on a log scale from 0 to 1.
Colour stopColour(double share);
// Chaos at `share` of the exponents from kChaosMargin to kMostLyapunov.
Colour chaosColour(double share);

// A point of the chart judged over `steps` iterates.
Colour chartColour(const analysis::OrbitClass& orbit, int64_t steps);

// A rounding cycle's pixel at `column`, `row`: diagonal lines over its colour.
Colour hatched(Colour colour, int column, int row);

}  // namespace verdict
