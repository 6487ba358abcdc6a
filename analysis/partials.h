// Where a cycle's energy is: the spectrum of one period of its x output, a
// cycle's own samples, exact (a period's discrete Fourier transform has a
// line at each harmonic and nothing between them).
#pragma once

#include <cstdint>
#include <span>

#include "orbit_analysis.h"

namespace analysis {

struct Partials {
    // The harmonic (1: the fundamental) whose line is loudest; 0 where there
    // is no cycle of two or more steps to look at.
    int32_t loudest = 0;
    // How far the fundamental lies below the loudest line, in dB (0 where it
    // is the loudest; kSilentDb where it has no energy at all).
    double fundamentalBelowDb = 0.0;
};

// What "no energy at all" reads as, in dB below the loudest line.
constexpr double kSilentDb = 200.0;

// The lines of one period of samples.
Partials partialsOf(std::span<const float> period);

// The lines of the cycle `orbit` found at a, b from x0, y0 (signal scale),
// replayed as judgePoint steps it; none unless the orbit is a cycle of two or
// more steps.
Partials cyclePartials(float a, float b, float x0, float y0, const OrbitClass& orbit);

}  // namespace analysis
