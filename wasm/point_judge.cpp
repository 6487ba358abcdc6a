#include "point_judge.h"

#include <new>

#include "analysis/orbit_analysis.h"
#include "host/session/drive.h"

namespace web {

PointJudge* PointJudge::create(int32_t sampleRate)
{
    if (sampleRate < host::kLeastRate || sampleRate > host::kMostRate) return nullptr;
    auto* judge = new (std::nothrow) PointJudge(sampleRate);
    if (judge && !judge->judgement.ready()) {
        delete judge;
        return nullptr;
    }
    return judge;
}

const PointVerdict* PointJudge::judge(float a, float b, float x0, float y0, int64_t steps)
{
    if (steps < analysis::kLeastStepsToClassify || steps > host::kMostChartSteps) return nullptr;
    const analysis::OrbitClass result = judgement.judge(a, b, x0, y0, steps);
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
