// What an orbit of the map does, judged from its float states as the module
// makes them with Normalize off (signal scale, 1.0 = 10 V). Plain floats in,
// a plain record out: no host, no files, no exceptions, no threads, so the
// same code serves the chart, a take's report and a WebAssembly page.
#pragma once

#include <cstdint>
#include <vector>

namespace analysis {

enum class Outcome { Stops, Cycle, Quasi, Chaos };

// "stops", "cycle", "quasi" or "chaos".
const char* outcomeName(Outcome outcome);

// The longest cycle looked for; the lowest tone is then rate/512 Hz.
constexpr int32_t kPeriodLimit = 512;
// Repetition is judged over the last iterates, at most this many (two whole
// periods of the longest cycle), and at most the second half of the orbit.
constexpr int64_t kCycleWindow = 2 * int64_t{kPeriodLimit};
// A largest Lyapunov exponent above this, in natural log per step, is chaos;
// below it the estimate cannot tell a bounded orbit's drift from zero.
constexpr double kChaosMargin = 0.01;
// Fewer steps than this leave too little orbit to judge a cycle or chaos.
constexpr int64_t kLeastStepsToClassify = 256;
// The settle step is sought among the last this many states; an orbit that
// settled before them reports the first of them.
constexpr int64_t kSettleHistory = int64_t{1} << 21;

struct OrbitClass {
    Outcome outcome = Outcome::Quasi;
    // cycle: the least period of the map's attracting cycle the floats follow;
    // a rounding cycle: the period of the floats' exact repetition; else 0
    int32_t period = 0;
    // chaos or quasi only: the floats repeat exactly, but on no attracting
    // cycle of the map
    bool roundingCycle = false;
    int64_t steps = 0;    // stops: the iterates that stood before the trip; otherwise all of them
    // cycle: the least iterate (counted from 0, the first after the reset) from
    // which each is within 100 µV of the one a period earlier (or within twice
    // the largest such gap of the final states, where the floats sway more);
    // a rounding cycle: from which each equals it exactly; otherwise -1
    int64_t settle = -1;
    // quasi and chaos only, natural log per step: along a rounding cycle, or
    // over the part of the orbit after the floats settled near a repetition,
    // or over the second half when they never did
    double lyapunov = 0.0;
    double secondLyapunov = 0.0;  // the other exponent, over the same iterates

    // A cycle of period 1: the outputs hold one level, no tone.
    bool constant() const { return outcome == Outcome::Cycle && period == 1; }
};

// One orbit of `steps` iterates at the constant inputs a and b (signal scale),
// counted from the first iterate after the load or reset.
class OrbitAnalysis {
public:
    OrbitAnalysis(float a, float b, int64_t steps);

    // The next iterates, in order; the pointers are read during the call only.
    // Returns whether any more are wanted: false once the guard has stopped
    // the map or all `steps` have been seen.
    bool add(const float* x, const float* y, int32_t count);

    // After add() has returned false; earlier, the orbit so far.
    OrbitClass result() const;

private:
    // Two tangent vectors, each scaled by 2^its exponent sum, the second kept
    // orthogonal to the first, followed up to iterate `at`.
    struct Tangents {
        double ux = 1.0, uy = 0.0, wx = 0.0, wy = 1.0;
        int64_t exponentU = 0, exponentW = 0;
        int32_t sinceRenormalised = 0;
        int64_t at = 0;
    };

    // The tangents along the kept states up to iterate `to`.
    void follow(Tangents& tangents, int64_t to) const;
    void keep(const float* x, const float* y, int32_t count);
    int64_t windowLength() const;
    int32_t longestPeriod() const;
    // The least period with which the final window (the last states, at most
    // kCycleWindow and at most the second half) repeats within `gap` (0:
    // exactly); 0: none up to half the window.
    int32_t finalPeriod(double gap) const;
    // The least iterate from which each kept state is within `gap` of the one
    // `period` earlier.
    int64_t settleOf(int32_t period, double gap) const;
    // The largest gap between a state of the final window and the one `period` earlier.
    double finalSway(int32_t period) const;
    // The least iterates from which each state is within kLeastSettleGap,
    // and within kNearGap, of the one `period` earlier, or within twice the
    // final sway where that is more.
    struct Settles {
        int64_t steady;  // a cycle of the period sounds from here
        int64_t near;    // the map is run from here
    };
    Settles settlesOf(int32_t period) const;
    // Whether the floats follow an attracting cycle of the map, judged from
    // where they settled near a repetition of `period`; then its period and settle.
    bool judgeCycle(OrbitClass& result, int32_t period, const Settles& settles) const;
    // The exponents over the iterates from `from` on.
    void measureExponents(OrbitClass& result, int64_t from) const;
    // The exponents of the floats' exact cycle of `period` from `from` on.
    void measureCycleExponents(OrbitClass& result, int64_t from, int32_t period) const;

    float a, b;
    int64_t steps;
    int64_t seen = 0;
    int64_t stoppedAt = -1;
    bool pendingZero = false;  // the last iterate seen was (+0, +0)

    // The second half's tangents run lazily: only over states about to leave
    // the history, and the rest when an exponent is wanted, so an orbit judged
    // a cycle never pays for them.
    int64_t tangentFrom;
    double jacobianXX, jacobianYX;  // -200·a (times x at each state) and 10·b
    int32_t orthogonaliseMask;      // the second tangent is made orthogonal every (mask + 1) steps
    Tangents tangents;

    // The last states (at most 2·kSettleHistory, at least kSettleHistory once
    // that many were seen); historyFrom is the iterate number of the first.
    int64_t historyFrom = 0;
    std::vector<float> historyX, historyY;
};

// The module's orbit at one point, driven exactly as the chart drives its
// hosted instance: a reset to (x0, y0), then `steps` map steps with the
// guard, the stopped map holding (+0, +0). Inputs in the signal scale.
OrbitClass judgePoint(float a, float b, float x0, float y0, int64_t steps);

// The Normalize gain undone: the state whose scaled value the module wrote,
// or the nearest float to it when rounding merged several states.
float unnormalized(float output);

// The natural logarithm by arithmetic alone (no libm), the same to the last
// bit on every machine; v > 0 and finite.
double naturalLog(double v);

}  // namespace analysis
