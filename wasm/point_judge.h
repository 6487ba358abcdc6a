// The chart's judgement of one point, made as tessel-render's chart makes it:
// a hosted instance, Continuous with Normalize off, restarted at the point by
// a Reset pulse, its outputs after the pulse fed to the orbit analysis block
// by block.
#pragma once

#include <cstddef>
#include <cstdint>

#include "web_host.h"

namespace web {

// The verdict as JavaScript reads it from memory: fixed offsets, little-endian.
struct PointVerdict {
    int32_t outcome;   // 0 stops, 1 cycle, 2 quasi, 3 chaos
    int32_t period;    // cycle or rounding cycle; else 0
    double steps;      // stops: the iterates that stood; else all of them
    double settle;     // the iterate from which the cycle sounds, or -1
    double lyapunov;   // quasi and chaos; else 0
    int32_t rounding;  // 1: the floats repeat exactly on no attracting cycle of the map
    int32_t reserved;
};
static_assert(sizeof(PointVerdict) == 40);
static_assert(offsetof(PointVerdict, steps) == 8);
static_assert(offsetof(PointVerdict, settle) == 16);
static_assert(offsetof(PointVerdict, lyapunov) == 24);
static_assert(offsetof(PointVerdict, rounding) == 32);

// One instance charting point after point; the verdict lives in it until the
// next point.
class PointJudge {
public:
    // Null for a rate out of range or when memory runs out. The caller owns it.
    static PointJudge* create(int32_t sampleRate);
    ~PointJudge();
    PointJudge(const PointJudge&) = delete;
    PointJudge& operator=(const PointJudge&) = delete;

    // The orbit of `steps` iterates (kLeastStepsToClassify to kMostChartSteps) from x0, y0 at
    // a, b (signal scale); null for a step count out of range.
    const PointVerdict* judge(float a, float b, float x0, float y0, int64_t steps);

private:
    explicit PointJudge(HostedMap* instance) : instance(instance) {}

    HostedMap* instance;  // owned
    PointVerdict verdict{};
};

}  // namespace web
