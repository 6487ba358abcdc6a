// A take's orbit judged by the analysis, with the Normalize gain undone and
// the last reset found, and the words the tool says of an orbit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/orbit_analysis.h"
#include "scenario.h"

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

// In words, with what a cycle sounds like in Continuous mode at `sampleRate`
// and from which step: "a cycle of period 4: a tone of 11025 Hz from step 31";
// a rounding cycle as "chaos: a rounding cycle of period 10, a tone of ...".
std::string describeOrbit(const OrbitClass& orbit, int32_t sampleRate);

// The frequency of a cycle's tone: one period every `period` samples.
std::string toneText(int32_t period, int32_t sampleRate);

// The Normalize gain undone: the state whose scaled value the module wrote,
// or the nearest float to it when rounding merged several states.
float unnormalized(float output);

}  // namespace render
