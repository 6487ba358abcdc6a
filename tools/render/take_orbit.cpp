#include "take_orbit.h"

#include <algorithm>

namespace render {

// The reset sample shows x0 and y0; the first iterate is the sample after it.
TakeOrbit::TakeOrbit(const Scenario& scenario)
    : firstIterate(lastReset(scenario) + 1),
      orbitSteps(scenario.samples - firstIterate),
      normalized(scenario.normalize),
      a(scenario.firstSample(tessel::APin)),
      b(scenario.firstSample(tessel::BPin)),
      x0(scenario.firstSample(tessel::X0Pin)),
      y0(scenario.firstSample(tessel::Y0Pin)),
      orbit(scenario.firstSample(tessel::APin), scenario.firstSample(tessel::BPin), orbitSteps)
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
        std::transform(x, x + count, stateX.begin(), analysis::unnormalized);
        std::transform(y, y + count, stateY.begin(), analysis::unnormalized);
        x = stateX.data();
        y = stateY.data();
    }
    wanted = orbit.add(x, y, count);
}

}  // namespace render
