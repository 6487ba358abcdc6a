#include "orbit_analysis.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "generator/map_step.h"
#include "float_window.h"
#include "map_cycle.h"

namespace analysis {

namespace {

// The map in the signal scale is x' = y + 0.1 - 100·a·x², y' = 10·b·x, so its
// Jacobian at (x, y) is [[-200·a·x, 1], [10·b, 0]].
constexpr double kJacobianXFactor = -2.0 * tessel::kQuadraticFactor;
constexpr double kJacobianYFactor = tessel::kYFactor;

// The tangent's size is taken out every few steps, as a power of two read
// from its exponent bits: no log, no rounding. Along an orbit the guard lets
// stand (|x| < 0.2), sixteen Jacobians at the pins' a (at most 4 V) grow it
// by less than 2^70, far within double's range.
constexpr int32_t kRenormaliseEvery = 16;

// A cycle has sounded from the iterate on which each state is within this of
// the state a period earlier (signal scale, 100 µV: -100 dB of the pins'
// 10 V), or within twice the final window's largest such gap where the
// floats sway more. Far above the floats' ulps, so that a state's last bit
// seldom moves it. The map is run from where they settled in the same way
// within kNearGap.
constexpr double kLeastSettleGap = 1e-5;

constexpr double kLn2 = 0.69314718055994530942;

bool isGuardZero(float x, float y)
{
    return std::bit_cast<uint32_t>(x) == 0 && std::bit_cast<uint32_t>(y) == 0;
}

// Scales the values by the power of two that brings the largest of them into
// [1, 2), returning the power taken out.
template <typename... Values>
inline int64_t renormalise(Values&... values)
{
    constexpr uint64_t kMagnitude = ~(uint64_t{1} << 63);
    const uint64_t largest = std::max({(std::bit_cast<uint64_t>(values) & kMagnitude)...});
    if (largest == 0) return 0;  // collapsed onto zero: stays there, the exponent is -infinity
    const auto field = static_cast<int32_t>(largest >> 52);
    // A subnormal value is first lifted into the normal range.
    const int32_t shift = field == 0 ? -600 : field - 1023;
    const double scale = std::bit_cast<double>(uint64_t(1023 - shift) << 52);
    ((values *= scale), ...);
    return shift;
}

double exponentOf(double u, double v, int64_t powers, int64_t followed)
{
    if (followed <= 0) return 0.0;
    const double squared = u * u + v * v;
    if (squared == 0.0) return -std::numeric_limits<double>::infinity();
    return (double(powers) * kLn2 + 0.5 * naturalLog(squared)) / double(followed);
}

}  // namespace

const char* outcomeName(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Stops:
        return "stops";
    case Outcome::Cycle:
        return "cycle";
    case Outcome::Quasi:
        return "quasi";
    case Outcome::Chaos:
        return "chaos";
    }
    return "?";
}

double naturalLog(double v)
{
    // v = f·2^e with f in [0.5, 1); ln f = 2·atanh(s), s = (f - 1)/(f + 1) in
    // [-1/3, 0), summed until the terms fall below double's precision.
    int e = 0;
    const double f = std::frexp(v, &e);
    const double s = (f - 1.0) / (f + 1.0);
    const double s2 = s * s;
    double sum = 0.0;
    for (int k = 35; k >= 1; k -= 2) sum = 1.0 / k + s2 * sum;
    return double(e) * kLn2 + 2.0 * s * sum;
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

// The tangent carried along the float states from `x` on, one step at a time.
struct OrbitAnalysis::TangentRun {
    Tangent t;
    const float* x;
    double jacobianXX, jacobianYX;

    [[gnu::always_inline]] void step()
    {
        const double slope = jacobianXX * double{*x++};
        const double nextX = slope * t.x + t.y;
        t.y = jacobianYX * t.x;
        t.x = nextX;
        if (++t.sinceRenormalised < kRenormaliseEvery) return;
        t.sinceRenormalised = 0;
        t.exponent += renormalise(t.x, t.y);
    }
};

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
OrbitAnalysis::Settles OrbitAnalysis::settlesOf(int32_t period) const
{
    const double sway = finalSway(period);
    const float* x = historyX.data();
    const float* y = historyY.data();
    const int64_t steady =
        settledFrom(x, y, int64_t(historyX.size()), period, std::max(kLeastSettleGap, 2.0 * sway));
    const int64_t near = settledFrom(x, y, steady, period, std::max(kNearGap, 2.0 * sway));
    return {historyFrom + steady, historyFrom + near};
}

OrbitAnalysis::Repetition OrbitAnalysis::nearRepetition() const
{
    if (stoppedAt >= 0) return {};
    const int32_t period = finalPeriod(kRepeatGap);
    return period > 0 ? Repetition{period, settlesOf(period)} : Repetition{};
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
    const MapCycle cycle = cycleFollowed(ExactMap(a, b), orbit, historyX.data() + at, historyY.data() + at,
                                         seen - from, longestPeriod());
    if (cycle.period == 0) return false;
    result.outcome = Outcome::Cycle;
    result.period = cycle.period;
    result.settle = cycle.period == near.period
                        ? near.settles.steady
                        : settleOf(cycle.period, std::max(kLeastSettleGap, 2.0 * finalSway(cycle.period)));
    return true;
}

void OrbitAnalysis::finish(Plan& plan) const
{
    if (plan.exponentsFrom >= 0) {
        const Tangent& t = plan.tangent;
        plan.result.lyapunov = exponentOf(t.x, t.y, t.exponent, seen - plan.exponentsFrom);
        plan.result.secondLyapunov = secondExponent(plan.result.lyapunov);
    }
    if (plan.result.outcome != Outcome::Stops && plan.result.outcome != Outcome::Cycle)
        plan.result.outcome = plan.result.lyapunov > kChaosMargin ? Outcome::Chaos : Outcome::Quasi;
}

// The map shrinks every area by |10·b| a step, so the two exponents sum to
// ln|10·b|: the second is that less the first.
double OrbitAnalysis::secondExponent(double first) const
{
    return jacobianYX != 0.0 ? naturalLog(std::abs(jacobianYX)) - first
                             : -std::numeric_limits<double>::infinity();
}

// Along a cycle the exponents are exact: the logarithms of the multipliers'
// sizes, those of the Jacobians' product once around, per step.
void OrbitAnalysis::measureCycleExponents(OrbitClass& result, int64_t from, int32_t period) const
{
    const float* x = historyX.data() + (from - historyFrom);
    double xx = 1.0, xy = 0.0, yx = 0.0, yy = 1.0;  // [[xx, xy], [yx, yy]], scaled by 2^-powers
    int64_t powers = 0;
    for (int32_t i = 0; i < period; ++i) {
        const double slope = jacobianXX * double{x[i]};
        const double nextXX = slope * xx + yx, nextXY = slope * xy + yy;
        yx = jacobianYX * xx;
        yy = jacobianYX * xy;
        xx = nextXX;
        xy = nextXY;
        if ((i + 1) % kRenormaliseEvery == 0) powers += renormalise(xx, xy, yx, yy);
    }
    powers += renormalise(xx, xy, yx, yy);
    const double trace = xx + yy, determinant = xx * yy - xy * yx;
    const double discriminant = trace * trace - 4.0 * determinant;
    const double largest = discriminant >= 0.0 ? 0.5 * (std::abs(trace) + std::sqrt(discriminant))
                                               : std::sqrt(determinant);
    constexpr double kMinusInfinity = -std::numeric_limits<double>::infinity();
    result.lyapunov =
        largest > 0.0 ? (double(powers) * kLn2 + naturalLog(largest)) / double(period) : kMinusInfinity;
    result.secondLyapunov = secondExponent(result.lyapunov);
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

namespace {

// Orbits whose tangents are followed step by step in turn, at most.
constexpr size_t kTogether = 4;

// N orbits' tangents `count` steps on, step by step in turn.
template <size_t N, typename Run>
void stepTogether(Run* runs, int64_t count)
{
    Run local[N];
    std::copy(runs, runs + N, local);
    for (int64_t i = 0; i < count; ++i) {
#pragma GCC unroll 4
        for (size_t k = 0; k < N; ++k) local[k].step();
    }
    std::copy(local, local + N, runs);
}

}  // namespace

void resultsTogether(std::span<const OrbitAnalysis* const> orbits, std::span<OrbitClass> verdicts,
                     std::vector<MapRun>& mapRuns)
{
    using TangentRun = OrbitAnalysis::TangentRun;
    std::vector<OrbitAnalysis::Repetition> nears;
    std::vector<MapRun*> running;
    mapRuns.resize(std::max(mapRuns.size(), orbits.size()));
    for (const OrbitAnalysis* orbit : orbits) {
        nears.push_back(orbit->nearRepetition());
        if (nears.back().period == 0) continue;
        MapRun& run = mapRuns[running.size()];
        orbit->startMapRun(nears.back(), run);
        running.push_back(&run);
    }
    runMaps(running);

    std::vector<OrbitAnalysis::Plan> plans;
    std::vector<TangentRun> runs;
    std::vector<int64_t> left;
    std::vector<size_t> owners;
    const MapOrbit none;
    for (size_t k = 0, ran = 0; k < orbits.size(); ++k) {
        const OrbitAnalysis* orbit = orbits[k];
        plans.push_back(orbit->plan(nears[k], nears[k].period > 0 ? running[ran++]->orbit : none));
        const OrbitAnalysis::Tangent& t = plans.back().tangent;
        if (plans.back().exponentsFrom < 0 || t.at >= orbit->seen) continue;
        runs.push_back(orbit->runFrom(t));
        left.push_back(orbit->seen - t.at);
        owners.push_back(plans.size() - 1);
    }
    // Runs of unequal length go together as far as the shortest, which then drops out.
    while (!runs.empty()) {
        const int64_t count = *std::min_element(left.begin(), left.end());
        for (size_t from = 0; from < runs.size(); from += kTogether) {
            switch (std::min<size_t>(kTogether, runs.size() - from)) {
            case 1: stepTogether<1>(runs.data() + from, count); break;
            case 2: stepTogether<2>(runs.data() + from, count); break;
            case 3: stepTogether<3>(runs.data() + from, count); break;
            default: stepTogether<kTogether>(runs.data() + from, count); break;
            }
        }
        for (size_t k = runs.size(); k-- > 0;) {
            left[k] -= count;
            if (left[k] > 0) continue;
            plans[owners[k]].tangent = runs[k].t;
            const auto at = std::ptrdiff_t(k);
            runs.erase(runs.begin() + at);
            left.erase(left.begin() + at);
            owners.erase(owners.begin() + at);
        }
    }
    for (size_t k = 0; k < orbits.size(); ++k) {
        orbits[k]->finish(plans[k]);
        verdicts[k] = plans[k].result;
    }
}

void PointOrbit::fill(float* xOut, float* yOut, int32_t count)
{
    for (int32_t i = 0; i < count; ++i) {
        advance();
        xOut[i] = x;
        yOut[i] = y;
    }
}

OrbitClass judgePoint(float a, float b, float x0, float y0, int64_t steps)
{
    OrbitAnalysis analysis(a, b, steps);
    float x[kPointBlock], y[kPointBlock];
    PointOrbit orbit({a, b, x0, y0});
    for (int64_t left = steps; left > 0;) {
        const auto count = static_cast<int32_t>(std::min<int64_t>(kPointBlock, left));
        orbit.fill(x, y, count);
        if (!analysis.add(x, y, count)) break;
        left -= count;
    }
    return analysis.result();
}

float unnormalized(float output)
{
    const auto guess = static_cast<float>(double{output} / double{tessel::kNormalizeGain});
    for (const float candidate : {guess, std::nextafter(guess, -INFINITY), std::nextafter(guess, INFINITY)})
        if (candidate * tessel::kNormalizeGain == output) return candidate;
    return guess;
}

}  // namespace analysis
