// A take's orbit judged by the analysis, with the Normalize gain undone and
// the last reset found.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/orbit_analysis.h"
#include "scenario.h"
#include "verdict/words.h"

namespace render {

using analysis::kChaosMargin;
using analysis::kLeastStepsToClassify;
using analysis::kPeriodLimit;
using analysis::OrbitAnalysis;
using analysis::OrbitClass;
using analysis::Outcome;
using analysis::outcomeName;

// A continuous take's orbit after its last reset, or from its start, judged
// the same way, with the Normalize gain undone.
class TakeOrbit {
public:
    explicit TakeOrbit(const Scenario& scenario);

    // Every rendered block, in order.
    void add(int64_t start, const float* x, const float* y, int32_t count);

    int64_t steps() const { return orbitSteps; }
    OrbitClass result() const { return orbit.result(); }

private:
    int64_t firstIterate;
    int64_t orbitSteps;
    bool normalized;
    bool wanted = true;
    OrbitAnalysis orbit;
    std::vector<float> stateX, stateY;
};

// The words of a verdict in Continuous mode at `sampleRate` (verdict/words.h).
inline std::string describeOrbit(const OrbitClass& orbit, int32_t sampleRate)
{
    return verdict::describeOrbit(orbit, sampleRate).c_str();
}

// The tone of a cycle of `period` samples: "11025 Hz".
inline std::string toneText(int32_t period, int32_t sampleRate) { return verdict::toneText(period, sampleRate).c_str(); }

// The Normalize gain undone: the state whose scaled value the module wrote,
// or the nearest float to it when rounding merged several states.
float unnormalized(float output);

}  // namespace render
