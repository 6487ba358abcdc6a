// The chart's judgement of one point in the WebAssembly build: the judge every
// host shares, on an instance of the linked-in module, its verdict in a record
// JavaScript reads from memory.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/session/point_judge.h"
#include "web_host.h"

namespace web {

// The verdict as JavaScript reads it from memory, little-endian, by the
// layout in kVerdictFields.
struct PointVerdict {
    int32_t outcome;   // analysis::Outcome: 0 stops, 1 cycle, 2 quasi, 3 chaos
    int32_t period;    // cycle or rounding cycle; else 0
    double steps;      // stops: the iterates that stood; else all of them
    double settle;     // the iterate from which the cycle sounds, or -1
    double lyapunov;   // quasi and chaos; else 0
    int32_t rounding;  // 1: the floats repeat exactly on no attracting cycle of the map
    int32_t reserved;
};

struct VerdictField {
    const char* name;
    size_t offset;
    bool isDouble;  // else int32
};

constexpr VerdictField kVerdictFields[] = {
    {"outcome", offsetof(PointVerdict, outcome), false},   {"period", offsetof(PointVerdict, period), false},
    {"steps", offsetof(PointVerdict, steps), true},        {"settle", offsetof(PointVerdict, settle), true},
    {"lyapunov", offsetof(PointVerdict, lyapunov), true},  {"rounding", offsetof(PointVerdict, rounding), false},
};

// One instance charting point after point; the verdict lives in it until the
// next point.
class PointJudge {
public:
    // Null for a rate out of range or when memory runs out. The caller owns it.
    static PointJudge* create(int32_t sampleRate);
    PointJudge(const PointJudge&) = delete;
    PointJudge& operator=(const PointJudge&) = delete;

    // The orbit of `steps` iterates (kLeastStepsToClassify to kMostChartSteps) from x0, y0 at
    // a, b (signal scale); null for a step count out of range.
    const PointVerdict* judge(float a, float b, float x0, float y0, int64_t steps);

private:
    explicit PointJudge(int32_t sampleRate) : judgement(instance, sampleRate) {}

    LinkedInstance instance;
    host::PointJudge judgement;
    PointVerdict verdict{};
};

}  // namespace web
