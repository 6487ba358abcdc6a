// One orbit judged as it comes: its states kept, a repetition of its final
// window sought, and a cycle of the map it follows, or its exponents.
#include "orbit_analysis.h"

#include <algorithm>
#include <bit>

#include "float_window.h"
#include "generator/map_step.h"
#include "map_cycle.h"
#include "tangent.h"

namespace analysis {

namespace {

// The map in the signal scale is x' = y + 0.1 - 100·a·x², y' = 10·b·x, so its
// Jacobian at (x, y) is [[-200·a·x, 1], [10·b, 0]].
constexpr double kJacobianXFactor = -2.0 * tessel::kQuadraticFactor;
constexpr double kJacobianYFactor = tessel::kYFactor;

// A cycle has sounded from the iterate on which each state is within this of
// the state a period earlier (signal scale, 100 µV: -100 dB of the pins'
// 10 V), or within twice the final window's largest such gap where the
// floats sway more. Far above the floats' ulps, so that a state's last bit
// seldom moves it. The map is run from where they settled in the same way
// within kNearGap.
constexpr double kLeastSettleGap = 1e-5;

bool isGuardZero(float x, float y) { return std::bit_cast<uint32_t>(x) == 0 && std::bit_cast<uint32_t>(y) == 0; }

}  // namespace

const char* outcomeName(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Stops: return "stops";
    case Outcome::Cycle: return "cycle";
    case Outcome::Quasi: return "quasi";
    case Outcome::Chaos: return "chaos";
    }
    return "?";
}

OrbitAnalysis::OrbitAnalysis(float a, float b, int64_t steps) { restart(a, b, steps); }

void OrbitAnalysis::restart(float newA, float newB, int64_t newSteps)
{
    a = newA;
    b = newB;
    steps = newSteps;
    seen = 0;
    stoppedAt = -1;
    pendingZero = false;
    tangentFrom = steps / 2;
    jacobianXX = kJacobianXFactor * double{a};
    jacobianYX = kJacobianYFactor * double{b};
    tangent = Tangent{.at = tangentFrom};
    historyFrom = 0;
    historyX.clear();
    historyY.clear();
    const auto kept = static_cast<size_t>(std::min(steps, 2 * kSettleHistory));
    historyX.reserve(kept);
    historyY.reserve(kept);
}

bool OrbitAnalysis::add(const float* x, const float* y, int32_t count)
{
    count = static_cast<int32_t>(std::min<int64_t>(count, steps - seen));
    if (stoppedAt >= 0 || count <= 0) return false;

    // A stopped map writes (+0, +0) from the trip on. A bounded orbit can pass
    // through (+0, +0) too, but its next iterate is then (0.1, 0), so a trip is
    // a run of two such pairs, or one as the very last iterate.
    if (pendingZero && isGuardZero(x[0], y[0])) {
        stoppedAt = seen - 1;
        return false;
    }
    pendingZero = false;
    if (isGuardZero(x[count - 1], y[count - 1])) {
        int32_t runFrom = count - 1;
        while (runFrom > 0 && isGuardZero(x[runFrom - 1], y[runFrom - 1])) --runFrom;
        if (count - runFrom >= 2 || seen + count == steps) {
            stoppedAt = seen + runFrom;
            return false;
        }
        pendingZero = true;
    }

    keep(x, y, count);
    seen += count;
    return seen < steps;
}

void OrbitAnalysis::keep(const float* x, const float* y, int32_t count)
{
    historyX.insert(historyX.end(), x, x + count);
    historyY.insert(historyY.end(), y, y + count);
    if (int64_t(historyX.size()) <= 2 * kSettleHistory) return;
    const auto dropped = static_cast<std::ptrdiff_t>(int64_t(historyX.size()) - kSettleHistory);
    follow(tangent, historyFrom + dropped);
    historyX.erase(historyX.begin(), historyX.begin() + dropped);
    historyY.erase(historyY.begin(), historyY.begin() + dropped);
    historyFrom += dropped;
}

OrbitAnalysis::TangentRun OrbitAnalysis::runFrom(const Tangent& t) const
{
    return {t, historyX.data() + (t.at - historyFrom), jacobianXX, jacobianYX};
}

void OrbitAnalysis::follow(Tangent& t, int64_t to) const
{
    if (to <= t.at) return;
    TangentRun run = runFrom(t);
    for (int64_t i = t.at; i < to; ++i) run.step();
    t = run.t;
    t.at = to;
}

int64_t OrbitAnalysis::windowLength() const { return std::min(seen - seen / 2, kCycleWindow); }

int32_t OrbitAnalysis::longestPeriod() const
{
    return static_cast<int32_t>(std::min<int64_t>(kPeriodLimit, windowLength() / 2));
}

int32_t OrbitAnalysis::finalPeriod(double gap) const
{
    const int64_t length = windowLength();
    const float* x = historyX.data() + (seen - length - historyFrom);
    const float* y = historyY.data() + (seen - length - historyFrom);
    return leastPeriod(x, y, length, longestPeriod(), gap);
}

int64_t OrbitAnalysis::settleOf(int32_t period, double gap) const
{
    return historyFrom + settledFrom(historyX.data(), historyY.data(), int64_t(historyX.size()), period, gap);
}

double OrbitAnalysis::finalSway(int32_t period) const
{
    const int64_t length = windowLength();
    const float* x = historyX.data() + (seen - length - historyFrom);
    const float* y = historyY.data() + (seen - length - historyFrom);
    return largestGap(x, y, length, period);
}

// Both with one look back: the states after the steady settle are within the
// wider gap too.
OrbitAnalysis::Settles OrbitAnalysis::steadyAndNear(int32_t period) const
{
    const double sway = finalSway(period);
    const float* x = historyX.data();
    const float* y = historyY.data();
    const int64_t steady = settledFrom(x, y, int64_t(historyX.size()), period, std::max(kLeastSettleGap, 2.0 * sway));
    const int64_t near = settledFrom(x, y, steady, period, std::max(kNearGap, 2.0 * sway));
    return {historyFrom + steady, historyFrom + near};
}

OrbitAnalysis::Repetition OrbitAnalysis::nearRepetition() const
{
    if (stoppedAt >= 0) return {};
    const int32_t period = finalPeriod(kRepeatGap);
    return period > 0 ? Repetition{period, steadyAndNear(period)} : Repetition{};
}

void OrbitAnalysis::startMapRun(const Repetition& near, MapRun& run) const
{
    const auto at = static_cast<size_t>(near.settles.near - historyFrom);
    run.restart(ExactMap(a, b), historyX[at], historyY[at], 2 * longestPeriod());
}

// The floats from where they settled near the repetition on against the map
// run from their state there.
bool OrbitAnalysis::judgeCycle(OrbitClass& result, const Repetition& near, const MapOrbit& orbit) const
{
    const int64_t from = near.settles.near;
    const auto at = static_cast<size_t>(from - historyFrom);
    const MapCycle cycle = cycleFollowed(ExactMap(a, b), orbit, historyX.data() + at, historyY.data() + at, seen - from,
                                         longestPeriod());
    if (cycle.period == 0) return false;
    result.outcome = Outcome::Cycle;
    result.period = cycle.period;
    result.settle = cycle.period == near.period
                        ? near.settles.steady
                        : settleOf(cycle.period, std::max(kLeastSettleGap, 2.0 * finalSway(cycle.period)));
    return true;
}

// A cycle is sought from where the floats settled near a repetition of
// their final window. Without one, floats that repeat exactly are a rounding
// cycle, whose exponents are those along it; otherwise the exponents are
// taken over the settled part, or over the second half when the floats never
// settled.
OrbitAnalysis::Plan OrbitAnalysis::plan(const Repetition& near, const MapOrbit& orbit) const
{
    Plan plan;
    OrbitClass& result = plan.result;
    if (stoppedAt >= 0) {
        result.outcome = Outcome::Stops;
        result.steps = stoppedAt;
        return plan;
    }
    result.steps = seen;
    int64_t settled = -1;
    if (near.period > 0) {
        if (judgeCycle(result, near, orbit)) return plan;
        settled = near.settles.near;
    }
    const int32_t exactPeriod = near.period > 0 ? finalPeriod(0.0) : 0;
    if (exactPeriod > 0) {
        result.roundingCycle = true;
        result.period = exactPeriod;
        result.settle = settleOf(exactPeriod, 0.0);
        measureCycleExponents(result, result.settle, exactPeriod);
    } else {
        plan.exponentsFrom = settled >= 0 ? settled : tangentFrom;
        plan.tangent = plan.exponentsFrom == tangentFrom ? tangent : Tangent{.at = plan.exponentsFrom};
    }
    return plan;
}

OrbitClass OrbitAnalysis::result() const
{
    const Repetition near = nearRepetition();
    MapRun run;
    if (near.period > 0) {
        startMapRun(near, run);
        MapRun* const runs[] = {&run};
        runMaps(runs);
    }
    Plan judged = plan(near, run.orbit);
    if (judged.exponentsFrom >= 0) follow(judged.tangent, seen);
    finish(judged);
    return judged.result;
}

}  // namespace analysis
