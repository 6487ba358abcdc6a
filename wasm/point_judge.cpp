#include "point_judge.h"

#include <new>

#include "analysis/orbit_analysis.h"
#include "analysis/partials.h"
#include "analysis/point_lanes.h"
#include "host/session/drive.h"

namespace web {

namespace {

// Where the probe looks, in the signal scale: a 1.4 V, b 0.3 V, whose chaotic
// orbit runs over the whole attractor.
constexpr analysis::PointStart kProbe{0.14f, 0.03f, 0.0f, 0.0f};

bool stepsInRange(int64_t steps) { return steps >= analysis::kLeastStepsToClassify && steps <= host::kMostChartSteps; }

// The verdict on a point, with where a cycle's energy is when `partials` says.
PointVerdict verdictOf(const analysis::OrbitClass& result, const analysis::Partials& partials)
{
    return {static_cast<int32_t>(result.outcome),
            result.period,
            static_cast<double>(result.steps),
            static_cast<double>(result.settle),
            result.lyapunov,
            result.roundingCycle ? 1 : 0,
            partials.loudest,
            partials.fundamentalBelowDb};
}

}  // namespace

PointJudge* PointJudge::create(int32_t sampleRate)
{
    if (sampleRate < host::kLeastRate || sampleRate > host::kMostRate) return nullptr;
    auto* judge = new (std::nothrow) PointJudge(sampleRate);
    if (judge && !judge->judgement.ready()) {
        delete judge;
        return nullptr;
    }
    if (judge) judge->hosted = !judge->judgement.givesMapStates(kProbe, host::kChartSteps);
    return judge;
}

const PointVerdict* PointJudge::judge(float a, float b, float x0, float y0, int64_t steps)
{
    if (!stepsInRange(steps)) return nullptr;
    const analysis::OrbitClass orbit = hosted ? judgement.judge(a, b, x0, y0, steps)
                                              : analysis::judgePoint(a, b, x0, y0, steps);
    verdict = verdictOf(orbit, analysis::cyclePartials(a, b, x0, y0, orbit));
    return &verdict;
}

analysis::PointStart* PointJudge::points(int32_t count)
{
    if (count < 1 || count > kMostPoints) return nullptr;
    starts.resize(size_t(count));
    return starts.data();
}

const PointVerdict* PointJudge::judgeMany(int32_t count, int64_t steps)
{
    if (!stepsInRange(steps) || count < 1 || size_t(count) != starts.size()) return nullptr;
    orbits.resize(starts.size());
    if (hosted) {
        for (size_t k = 0; k < starts.size(); ++k)
            orbits[k] = judgement.judge(starts[k].a, starts[k].b, starts[k].x0, starts[k].y0, steps);
    } else {
        analysis::judgePoints(starts, steps, orbits);
    }
    verdicts.clear();
    for (const analysis::OrbitClass& orbit : orbits) verdicts.push_back(verdictOf(orbit, {}));
    return verdicts.data();
}

}  // namespace web
