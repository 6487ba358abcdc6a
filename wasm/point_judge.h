// The chart's judgement of one point in the WebAssembly build: the judge every
// host shares, on an instance of the linked-in module, its verdict in a record
// JavaScript reads from memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/session/point_judge.h"
#include "web_host.h"

namespace web {

// The verdict as JavaScript reads it from memory, little-endian, by the
// layout in kVerdictFields.
struct PointVerdict {
    int32_t outcome;            // analysis::Outcome: 0 stops, 1 cycle, 2 quasi, 3 chaos
    int32_t period;             // cycle or rounding cycle; else 0
    double steps;               // stops: the iterates that stood; else all of them
    double settle;              // the iterate from which the cycle sounds, or -1
    double lyapunov;            // quasi and chaos; else 0
    int32_t rounding;           // 1: the floats repeat exactly on no attracting cycle of the map
    int32_t loudest;            // a cycle of two or more steps: the harmonic whose line is loudest; else 0
    double fundamentalBelowDb;  // how far the fundamental lies under that line, in dB
};

struct VerdictField {
    const char* name;
    size_t offset;
    bool isDouble;  // else int32
};

constexpr VerdictField kVerdictFields[] = {
    {"outcome", offsetof(PointVerdict, outcome), false},
    {"period", offsetof(PointVerdict, period), false},
    {"steps", offsetof(PointVerdict, steps), true},
    {"settle", offsetof(PointVerdict, settle), true},
    {"lyapunov", offsetof(PointVerdict, lyapunov), true},
    {"rounding", offsetof(PointVerdict, rounding), false},
    {"loudest", offsetof(PointVerdict, loudest), false},
    {"fundamentalBelowDb", offsetof(PointVerdict, fundamentalBelowDb), true},
};

// Points judged by the map's step, once a probe has shown that the linked
// module makes its states (by the linked instance otherwise); the verdicts
// live in it until the next call.
class PointJudge {
public:
    // The most points judged in one call: a row of the widest chart.
    static constexpr int32_t kMostPoints = host::kMostChartSide;

    // Null for a rate out of range or when memory runs out. The caller owns it.
    static PointJudge* create(int32_t sampleRate);
    PointJudge(const PointJudge&) = delete;
    PointJudge& operator=(const PointJudge&) = delete;

    // The orbit of `steps` iterates (kLeastStepsToClassify to kMostChartSteps) from x0, y0 at
    // a, b (signal scale); null for a step count out of range.
    const PointVerdict* judge(float a, float b, float x0, float y0, int64_t steps);

    // Room for `count` points (1 to kMostPoints) for judgeMany, or null.
    analysis::PointStart* points(int32_t count);
    // The verdicts of the `count` points last written to points(count), in
    // their order, judged several at once, without a cycle's lines (loudest
    // 0): a chart is painted without them, and words are for one point at a
    // time. Null for a count or step count out of range.
    const PointVerdict* judgeMany(int32_t count, int64_t steps);

private:
    explicit PointJudge(int32_t sampleRate) : judgement(instance, sampleRate) {}

    LinkedInstance instance;
    host::PointJudge judgement;
    bool hosted = false;  // the linked module's states are not the map's
    PointVerdict verdict{};
    std::vector<analysis::PointStart> starts;
    std::vector<analysis::OrbitClass> orbits;
    std::vector<PointVerdict> verdicts;
};

}  // namespace web
