// What an orbit of the map does, judged from the module's own outputs with
// Normalize off, so each output pair is the map's state (signal scale). Fed
// block by block as the module makes them; cheap enough to run beside it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scenario.h"

namespace render {

enum class Outcome { Stops, Cycle, Quasi, Chaos };

// "stops", "cycle", "quasi" or "chaos".
const char* outcomeName(Outcome outcome);

// The longest cycle looked for; the shortest tone is then rate/64 Hz.
constexpr int32_t kPeriodLimit = 64;
// Two outputs repeat when they differ by at most this many ulps of that
// output's largest magnitude over the window, so a cycle of the mathematics
// that wobbles in its last bits still counts as that cycle. Rounding keeps an
// attracting cycle with multiplier m circling the exact one within about
// 0.5 / (1 - |m|) ulps; 64 ulps (5e-7 of full swing, far below hearing) holds
// every cycle with |m| up to about 0.99.
constexpr int32_t kCycleToleranceUlps = 64;
// Repetition is judged over the last iterates, at most this many, and at
// most the second half of the orbit, the first half being its transient.
constexpr int64_t kCycleWindow = 1024;
// A largest Lyapunov exponent above this, in natural log per step, is chaos;
// below it the estimate cannot tell a bounded orbit's drift from zero.
constexpr double kChaosMargin = 0.01;
// Fewer steps than this leave too little orbit to judge a cycle or chaos.
constexpr int64_t kLeastStepsToClassify = 256;

struct OrbitClass {
    Outcome outcome = Outcome::Quasi;
    int32_t period = 0;    // cycles only
    int64_t steps = 0;     // stops: the iterates that stood before the trip; otherwise all of them
    double lyapunov = 0.0; // quasi and chaos only: natural log per step
};

// One orbit of `steps` iterates at the constant inputs a and b (signal scale),
// counted from the first iterate after the load or reset.
class OrbitAnalysis {
public:
    OrbitAnalysis(float a, float b, int64_t steps);

    // The next iterates, in order. Returns whether any more are wanted: false
    // once the guard has stopped the map or all `steps` have been seen.
    bool add(const float* x, const float* y, int32_t count);

    // After add() has returned false.
    OrbitClass result() const;

private:
    void follow(const float* x, int32_t count);  // the tangent along these states
    int32_t smallestPeriod() const;

    int64_t steps;
    int64_t seen = 0;
    int64_t stoppedAt = -1;
    bool pendingZero = false;  // the last iterate seen was (+0, +0)

    // Tangent vector, scaled by 2^exponentSum; runs over the second half.
    int64_t tangentFrom;
    double jacobianXX, jacobianYX;  // -200·a (times x at each state) and 10·b
    double vx = 1.0, vy = 0.0;
    int64_t exponentSum = 0;
    int32_t sinceRenormalised = 0;

    // The last iterates, where repetition is judged.
    int64_t windowFrom;
    std::vector<float> windowX, windowY;
};

// A continuous take's orbit after its last reset, or from its start, judged
// the same way, with the Normalize gain undone.
class TakeOrbit {
public:
    explicit TakeOrbit(const Scenario& scenario);

    // Every rendered block, in order.
    void add(int64_t start, const float* x, const float* y, int32_t count);

    int64_t steps() const { return orbitSteps; }
    OrbitClass result() const { return analysis.result(); }

private:
    int64_t firstIterate;
    int64_t orbitSteps;
    bool normalized;
    bool wanted = true;
    OrbitAnalysis analysis;
    std::vector<float> stateX, stateY;
};

// In words, with what a cycle sounds like in Continuous mode at `sampleRate`:
// "a cycle of period 4: a tone of 11025 Hz".
std::string describeOrbit(const OrbitClass& orbit, int32_t sampleRate);

// The frequency of a cycle's tone: one period every `period` samples.
std::string toneText(int32_t period, int32_t sampleRate);

// The Normalize gain undone: the state whose scaled value the module wrote,
// or the nearest float to it when rounding merged several states.
float unnormalized(float output);

}  // namespace render
