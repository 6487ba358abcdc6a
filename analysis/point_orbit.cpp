// One point's orbit as the chart's hosted instance makes it, and its verdict
// judged without a host; and the Normalize gain undone for a take's report.
#include <algorithm>
#include <cmath>

#include "orbit_analysis.h"

namespace analysis {

void PointOrbit::fill(float* xOut, float* yOut, int32_t count)
{
    for (int32_t i = 0; i < count; ++i) {
        advance();
        xOut[i] = x;
        yOut[i] = y;
    }
}

OrbitClass judgePoint(float a, float b, float x0, float y0, int64_t steps)
{
    OrbitAnalysis analysis(a, b, steps);
    float x[kPointBlock], y[kPointBlock];
    PointOrbit orbit({a, b, x0, y0});
    for (int64_t left = steps; left > 0;) {
        const auto count = static_cast<int32_t>(std::min<int64_t>(kPointBlock, left));
        orbit.fill(x, y, count);
        if (!analysis.add(x, y, count)) break;
        left -= count;
    }
    return analysis.result();
}

float unnormalized(float output)
{
    const auto guess = static_cast<float>(double{output} / double{tessel::kNormalizeGain});
    for (const float candidate : {guess, std::nextafter(guess, -INFINITY), std::nextafter(guess, INFINITY)})
        if (candidate * tessel::kNormalizeGain == output) return candidate;
    return guess;
}

}  // namespace analysis
