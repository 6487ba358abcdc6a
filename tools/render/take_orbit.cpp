#include "take_orbit.h"

#include <algorithm>
#include <cmath>

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

float unnormalized(float output)
{
    const auto guess = static_cast<float>(double{output} / double{tessel::kNormalizeGain});
    for (const float candidate : {guess, std::nextafter(guess, -INFINITY), std::nextafter(guess, INFINITY)})
        if (candidate * tessel::kNormalizeGain == output) return candidate;
    return guess;
}

}  // namespace render
