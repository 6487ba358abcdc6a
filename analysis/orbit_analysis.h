// What an orbit of the map does, judged from its float states as the module
// makes them with Normalize off (signal scale, 1.0 = 10 V). Plain floats in,
// a plain record out: no host, no files, no exceptions, no threads, so the
// same code serves the chart, a take's report and a WebAssembly page.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "generator/map_step.h"
#include "map_cycle.h"

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
    int64_t steps = 0;  // stops: the iterates that stood before the trip; otherwise all of them
    // cycle: the least iterate (counted from 0, the first after the reset) from
    // which each is within 100 µV of the one a period earlier (or within twice
    // the largest such gap of the final states, where the floats sway more);
    // a rounding cycle: from which each equals it exactly; otherwise -1
    int64_t settle = -1;
    // quasi and chaos only, natural log per step: along a rounding cycle, or
    // over the part of the orbit after the floats settled near a repetition,
    // or over the second half when they never did
    double lyapunov = 0.0;
    double secondLyapunov = 0.0;  // the other exponent, over the same iterates: ln|10·b| less the first

    // A cycle of period 1: the outputs hold one level, no tone.
    bool constant() const { return outcome == Outcome::Cycle && period == 1; }
};

// One orbit of `steps` iterates at the constant inputs a and b (signal scale),
// counted from the first iterate after the load or reset.
class OrbitAnalysis {
public:
    OrbitAnalysis(float a, float b, int64_t steps);
    // As a new analysis, keeping this one's room for the states.
    void restart(float a, float b, int64_t steps);

    // The next iterates, in order; the pointers are read during the call only.
    // Returns whether any more are wanted: false once the guard has stopped
    // the map or all `steps` have been seen.
    bool add(const float* x, const float* y, int32_t count);

    // After add() has returned false; earlier, the orbit so far.
    OrbitClass result() const;

private:
    friend void resultsTogether(std::span<const OrbitAnalysis* const> orbits, std::span<OrbitClass> verdicts,
                                std::vector<MapRun>& mapRuns);

    // A tangent vector, scaled by 2^exponent, followed up to iterate `at`.
    struct Tangent {
        double x = 1.0, y = 0.0;
        int64_t exponent = 0;
        int32_t sinceRenormalised = 0;
        int64_t at = 0;
    };

    struct TangentRun;
    TangentRun runFrom(const Tangent& tangent) const;
    // The tangent along the kept states up to iterate `to`.
    void follow(Tangent& tangent, int64_t to) const;
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
    Settles steadyAndNear(int32_t period) const;
    // Where the floats settled near a repetition of their final window;
    // period 0: they did not, or the map stopped.
    struct Repetition {
        int32_t period = 0;
        Settles settles{};
    };
    Repetition nearRepetition() const;
    // `run` restarted from the floats' state where they settled near it.
    void startMapRun(const Repetition& near, MapRun& run) const;
    // Whether the floats follow an attracting cycle of the map, judged from
    // where they settled near the repetition against `orbit`, the map run
    // from there; then its period and settle.
    bool judgeCycle(OrbitClass& result, const Repetition& near, const MapOrbit& orbit) const;
    // The verdict but for the exponents, when they are wanted: then over the
    // iterates from exponentsFrom on, `tangent` to be followed to the end.
    struct Plan {
        OrbitClass result;
        int64_t exponentsFrom = -1;
        Tangent tangent;
    };
    Plan plan(const Repetition& near, const MapOrbit& orbit) const;
    // The exponents from the followed tangent, and the outcome they decide.
    void finish(Plan& plan) const;
    double secondExponent(double first) const;
    // The exponents of the floats' exact cycle of `period` from `from` on.
    void measureCycleExponents(OrbitClass& result, int64_t from, int32_t period) const;

    float a = 0.0f, b = 0.0f;
    int64_t steps = 0;
    int64_t seen = 0;
    int64_t stoppedAt = -1;
    bool pendingZero = false;  // the last iterate seen was (+0, +0)

    // The second half's tangent runs lazily: only over states about to leave
    // the history, and the rest when an exponent is wanted, so an orbit judged
    // a cycle never pays for it.
    int64_t tangentFrom = 0;
    double jacobianXX = 0.0, jacobianYX = 0.0;  // -200·a (times x at each state) and 10·b
    Tangent tangent;

    // The last states (at most 2·kSettleHistory, at least kSettleHistory once
    // that many were seen); historyFrom is the iterate number of the first.
    int64_t historyFrom = 0;
    std::vector<float> historyX, historyY;
};

// The states a point's driver hands the analysis at a time, as the chart's host block.
constexpr int32_t kPointBlock = 1024;

// A point's inputs, in the signal scale.
struct PointStart {
    float a, b, x0, y0;
};

// The verdicts of several orbits whose add() has returned false, each its
// result(), their exact maps' runs and their exponents' tangents followed
// step by step in turn. `mapRuns` holds the runs; kept from call to call, it
// keeps their room.
void resultsTogether(std::span<const OrbitAnalysis* const> orbits, std::span<OrbitClass> verdicts,
                     std::vector<MapRun>& mapRuns);

// The module's orbit at one point, driven exactly as the chart drives its
// hosted instance: a reset to (x0, y0), then map steps with the guard, the
// stopped map holding (+0, +0).
class PointOrbit {
public:
    PointOrbit() = default;
    explicit PointOrbit(const PointStart& start) : x(start.x0), y(start.y0), a(start.a), b(start.b) {}

    // One step; after it, (x, y) is the module's next output.
    [[gnu::always_inline]] void advance()
    {
        float nextX = 0.0f, nextY = 0.0f;
        running = tessel::mapStep(x, y, a, b, nextX, nextY) && running;
        x = running ? nextX : 0.0f;
        y = running ? nextY : 0.0f;
    }
    // The next `count` outputs.
    void fill(float* xOut, float* yOut, int32_t count);

    float x = 0.0f, y = 0.0f;
    bool running = true;

private:
    float a = 0.0f, b = 0.0f;
};

// The orbit of `steps` iterates at one point, judged.
OrbitClass judgePoint(float a, float b, float x0, float y0, int64_t steps);

// The Normalize gain undone: the state whose scaled value the module wrote,
// or the nearest float to it when rounding merged several states.
float unnormalized(float output);

// The natural logarithm by arithmetic alone (no libm), the same to the last
// bit on every machine; v > 0 and finite.
double naturalLog(double v);

}  // namespace analysis
