#include "orbit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "generator/map_step.h"

namespace render {

namespace {

int64_t firstIterateOf(const Scenario& scenario)
{
    // The reset sample shows x0 and y0; the first iterate is the sample after it.
    return scenario.resetSamples.empty() ? 0 : scenario.resetSamples.back() + 1;
}

}  // namespace

TakeOrbit::TakeOrbit(const Scenario& scenario)
    : firstIterate(firstIterateOf(scenario)), orbitSteps(scenario.samples - firstIterate),
      normalized(scenario.normalize), orbit(scenario.a, scenario.b, orbitSteps)
{
}

void TakeOrbit::add(int64_t start, const float* x, const float* y, int32_t count)
{
    const int64_t skip = std::clamp<int64_t>(firstIterate - start, 0, count);
    if (!wanted || skip == count) return;
    x += skip;
    y += skip;
    count -= static_cast<int32_t>(skip);
    if (normalized) {
        stateX.resize(size_t(count));
        stateY.resize(size_t(count));
        std::transform(x, x + count, stateX.begin(), unnormalized);
        std::transform(y, y + count, stateY.begin(), unnormalized);
        x = stateX.data();
        y = stateY.data();
    }
    wanted = orbit.add(x, y, count);
}

std::string toneText(int32_t period, int32_t sampleRate)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.0f Hz", double(sampleRate) / period);
    return text;
}

std::string describeOrbit(const OrbitClass& orbit, int32_t sampleRate)
{
    char exponent[64];
    std::snprintf(exponent, sizeof exponent, "largest Lyapunov exponent %.6f per step", orbit.lyapunov);
    const std::string period = std::to_string(orbit.period), settle = std::to_string(orbit.settle);
    const std::string tone = orbit.period == 1   ? "a constant"
                             : orbit.period > 1 ? "a tone of " + toneText(orbit.period, sampleRate)
                                                : "";
    switch (orbit.outcome) {
    case Outcome::Stops:
        return "stops: the guard stopped the map after " + std::to_string(orbit.steps) + " iterates";
    case Outcome::Cycle:
        return "a cycle of period " + period + ": " + tone + " from step " + settle;
    case Outcome::Quasi:
    case Outcome::Chaos:
        break;
    }
    const std::string name = outcomeName(orbit.outcome);
    if (orbit.roundingCycle)
        return name + ": a rounding cycle of period " + period + ", " + tone + " from step " + settle + "; " + exponent;
    if (orbit.outcome == Outcome::Quasi)
        return name + ": no cycle up to period " + std::to_string(kPeriodLimit) + ", " + exponent;
    return name + ": " + exponent;
}

float unnormalized(float output)
{
    const auto guess = static_cast<float>(double{output} / double{tessel::kNormalizeGain});
    for (const float candidate : {guess, std::nextafter(guess, -INFINITY), std::nextafter(guess, INFINITY)})
        if (candidate * tessel::kNormalizeGain == output) return candidate;
    return guess;
}

}  // namespace render
