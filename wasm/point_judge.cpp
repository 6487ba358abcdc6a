#include "point_judge.h"

#include <algorithm>
#include <new>

#include "analysis/orbit_analysis.h"
#include "host/drive.h"

namespace web {

namespace {

// The chart's host block; a point that stops early costs at most one block.
constexpr int32_t kChartBlock = 1024;

// The outcome codes JavaScript reads.
static_assert(static_cast<int32_t>(analysis::Outcome::Stops) == 0);
static_assert(static_cast<int32_t>(analysis::Outcome::Cycle) == 1);
static_assert(static_cast<int32_t>(analysis::Outcome::Quasi) == 2);
static_assert(static_cast<int32_t>(analysis::Outcome::Chaos) == 3);

}  // namespace

PointJudge* PointJudge::create(int32_t sampleRate)
{
    HostedMap* instance = HostedMap::create(sampleRate, kChartBlock);
    if (!instance) return nullptr;
    instance->setNormalize(false);
    auto* judge = new (std::nothrow) PointJudge(instance);
    if (!judge) delete instance;
    return judge;
}

PointJudge::~PointJudge() { delete instance; }

const PointVerdict* PointJudge::judge(float a, float b, float x0, float y0, int64_t steps)
{
    if (steps < analysis::kLeastStepsToClassify || steps > host::kMostChartSteps) return nullptr;
    instance->setInputs(a, b, x0, y0);
    instance->requestReset();
    analysis::OrbitAnalysis orbit(a, b, steps);
    // The reset sample shows x0 and y0; the iterates follow it.
    int64_t left = steps + 1;
    int32_t skip = 1;
    for (bool more = true; more && left > 0; skip = 0) {
        const int32_t count = instance->render(static_cast<int32_t>(std::min<int64_t>(kChartBlock, left)));
        more = orbit.add(instance->xOutput() + skip, instance->yOutput() + skip, count - skip);
        left -= count;
    }
    const analysis::OrbitClass result = orbit.result();
    verdict = {static_cast<int32_t>(result.outcome),
               result.period,
               static_cast<double>(result.steps),
               static_cast<double>(result.settle),
               result.lyapunov,
               result.roundingCycle ? 1 : 0,
               0};
    return &verdict;
}

}  // namespace web
