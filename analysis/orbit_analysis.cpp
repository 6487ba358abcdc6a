#include "orbit_analysis.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "generator/map_step.h"
#include "map_cycle.h"

namespace analysis {

namespace {

// The map in the signal scale is x' = y + 0.1 - 100·a·x², y' = 10·b·x, so its
// Jacobian at (x, y) is [[-200·a·x, 1], [10·b, 0]].
constexpr double kJacobianXFactor = -2.0 * tessel::kQuadraticFactor;
constexpr double kJacobianYFactor = tessel::kYFactor;

// The tangents' sizes are taken out every few steps, as powers of two read
// from their exponent bits: no log, no rounding. Along an orbit the guard lets
// stand (|x| < 0.2), sixteen Jacobians at the pins' a (at most 4 V) grow them
// by less than 2^70, far within double's range.
constexpr int32_t kRenormaliseEvery = 16;
// Each step can shrink the second tangent's part across the first, against
// the whole, by up to |10·b| (the Jacobian's determinant over its larger
// singular value squared, which is at least 1). It is made orthogonal again
// before that part can fall below this share, so it keeps about 40 bits.
constexpr double kLeastAcrossShare = 0x1p-13;

// Float states one period apart within this (signal scale, 1 mV) make the
// period a candidate worth refining: far wider than any halo the refinement
// then demands, far narrower than any chaotic orbit's spread.
constexpr double kCandidateGap = 1e-4;
// Newton's work per orbit, in cycle points refined, at most: near b = -1 V a
// slowly circling orbit can make every period a candidate.
constexpr int64_t kRefinementBudget = 4 * int64_t{kPeriodLimit};

constexpr double kLn2 = 0.69314718055994530942;

// Host block size of the point driver, as the chart's.
constexpr int32_t kPointBlock = 1024;

bool isGuardZero(float x, float y)
{
    return std::bit_cast<uint32_t>(x) == 0 && std::bit_cast<uint32_t>(y) == 0;
}

// Scales (u, v) by a power of two that brings its larger component into
// [1, 2), returning the power taken out.
inline int64_t renormalise(double& u, double& v)
{
    constexpr uint64_t kMagnitude = ~(uint64_t{1} << 63);
    const uint64_t largest =
        std::max(std::bit_cast<uint64_t>(u) & kMagnitude, std::bit_cast<uint64_t>(v) & kMagnitude);
    if (largest == 0) return 0;  // collapsed onto zero: stays there, the exponent is -infinity
    const auto field = static_cast<int32_t>(largest >> 52);
    // A subnormal tangent is first lifted into the normal range.
    const int32_t shift = field == 0 ? -600 : field - 1023;
    const double scale = std::bit_cast<double>(uint64_t(1023 - shift) << 52);
    u *= scale;
    v *= scale;
    return shift;
}

// w minus its component along u.
inline void orthogonalise(double ux, double uy, double& wx, double& wy)
{
    const double along = ux * ux + uy * uy;
    if (along == 0.0) return;
    const double share = (wx * ux + wy * uy) / along;
    wx -= share * ux;
    wy -= share * uy;
}

double exponentOf(double u, double v, int64_t powers, int64_t followed)
{
    if (followed <= 0) return 0.0;
    const double squared = u * u + v * v;
    if (squared == 0.0) return -std::numeric_limits<double>::infinity();
    return (double(powers) * kLn2 + 0.5 * naturalLog(squared)) / double(followed);
}

enum class Repetition { None, Near, Exact };

// Whether the last `length` states repeat with `period`: exactly, within the
// candidate gap, or not. Judged from the end back, so most periods fail at once.
Repetition repetition(const float* x, const float* y, int64_t length, int32_t period)
{
    bool exact = true;
    for (int64_t i = length - 1; i >= period; --i) {
        const double dx = std::abs(double{x[i]} - double{x[i - period]});
        const double dy = std::abs(double{y[i]} - double{y[i - period]});
        if (dx > kCandidateGap || dy > kCandidateGap) return Repetition::None;
        exact = exact && dx == 0.0 && dy == 0.0;
    }
    return exact ? Repetition::Exact : Repetition::Near;
}

// Whether every state of the window lies within the cycle's halo of its point;
// the window's last `refined` states are the ones its first point was refined from.
bool follows(const MapCycle& cycle, const float* x, const float* y, int64_t length, int32_t refined)
{
    const auto period = static_cast<size_t>(cycle.period);
    const auto firstPoint = static_cast<size_t>(length - refined);
    size_t k = (period - firstPoint % period) % period;  // the point of the window's first state
    for (int64_t i = 0; i < length; ++i, k = k + 1 == period ? 0 : k + 1) {
        if (std::abs(double{x[i]} - cycle.x[k]) > cycle.halo || std::abs(double{y[i]} - cycle.y[k]) > cycle.halo)
            return false;
    }
    return true;
}

// The least index from which each state is within `gap` of the one `period`
// earlier, at least `period`. Judged from the end back, a run of states at a
// time without branches, since most orbits settle early.
int64_t settledFrom(const float* x, const float* y, int64_t length, int32_t period, double gap)
{
    constexpr int64_t kRun = 16;
    const auto apart = [&](int64_t i) {
        return int{std::abs(double{x[i]} - double{x[i - period]}) > gap} |
               int{std::abs(double{y[i]} - double{y[i - period]}) > gap};
    };
    int64_t i = length - 1;
    for (; i - kRun + 1 >= period; i -= kRun) {
        bool any = false;
        for (int64_t k = 0; k < kRun; ++k) any |= apart(i - k);
        if (any) break;
    }
    for (; i >= period; --i)
        if (apart(i)) return i + 1;
    return period;
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

OrbitAnalysis::OrbitAnalysis(float a, float b, int64_t steps)
    : a(a), b(b), steps(steps), tangentFrom(steps / 2), jacobianXX(kJacobianXFactor * double{a}),
      jacobianYX(kJacobianYFactor * double{b})
{
    tangents.at = tangentFrom;
    // The longest run of steps, a power of two dividing kRenormaliseEvery,
    // over which |10·b|^steps stays above kLeastAcrossShare.
    const double shrink = std::abs(jacobianYX);
    int32_t every = 1;
    for (double power = shrink * shrink; every < kRenormaliseEvery && power >= kLeastAcrossShare; power *= power)
        every *= 2;
    orthogonaliseMask = every - 1;
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
    follow(tangents, historyFrom + dropped);
    historyX.erase(historyX.begin(), historyX.begin() + dropped);
    historyY.erase(historyY.begin(), historyY.begin() + dropped);
    historyFrom += dropped;
}

void OrbitAnalysis::follow(Tangents& t, int64_t to) const
{
    if (to <= t.at) return;
    const float* x = historyX.data() + (t.at - historyFrom);
    const int64_t count = to - t.at;
    double u1 = t.ux, u2 = t.uy, w1 = t.wx, w2 = t.wy;
    int32_t phase = t.sinceRenormalised;
    for (int64_t i = 0; i < count; ++i) {
        const double slope = jacobianXX * double{x[i]};
        const double nextU1 = slope * u1 + u2;
        const double nextW1 = slope * w1 + w2;
        u2 = jacobianYX * u1;
        w2 = jacobianYX * w1;
        u1 = nextU1;
        w1 = nextW1;
        if ((++phase & orthogonaliseMask) == 0) orthogonalise(u1, u2, w1, w2);
        if (phase < kRenormaliseEvery) continue;
        phase = 0;
        t.exponentU += renormalise(u1, u2);
        t.exponentW += renormalise(w1, w2);
    }
    t = {u1, u2, w1, w2, t.exponentU, t.exponentW, phase, to};
}

// The window is the last states seen, at most kCycleWindow and at most the
// second half. Periods are tried from 1 up; one whose states repeat within
// the candidate gap is refined into a cycle of the map, which is the orbit's
// cycle when it attracts and the window lies within its rounding halo. The
// first period at which the floats repeat exactly and no such cycle is found
// is a rounding cycle. Once a refinement finds an attracting cycle that the
// window has not yet settled into, no other is sought: the floats are on
// their way to it.
bool OrbitAnalysis::judgeCycle(OrbitClass& result) const
{
    const int64_t length = std::min(seen - seen / 2, kCycleWindow);
    const auto longest = static_cast<int32_t>(std::min<int64_t>(kPeriodLimit, length / 2));
    const size_t windowStart = static_cast<size_t>(seen - length - historyFrom);
    const float* x = historyX.data() + windowStart;
    const float* y = historyY.data() + windowStart;
    const ExactMap map(a, b);
    int64_t budget = kRefinementBudget;

    const auto settleFor = [&](int32_t period, double gap) {
        return historyFrom + settledFrom(historyX.data(), historyY.data(), int64_t(historyX.size()), period, gap);
    };

    for (int32_t period = 1; period <= longest; ++period) {
        const Repetition repeats = repetition(x, y, length, period);
        if (repeats == Repetition::None) continue;
        if (budget >= period) {
            budget -= period;
            const MapCycle cycle = refineCycle(map, x + length - period, y + length - period, period);
            if (cycle.period > 0 && cycle.attracting) {
                if (follows(cycle, x, y, length, period)) {
                    result.outcome = Outcome::Cycle;
                    result.period = cycle.period;
                    result.settle = settleFor(cycle.period, 2.0 * cycle.halo);
                    return true;
                }
                budget = 0;
            }
        }
        if (repeats == Repetition::Exact) {
            result.roundingCycle = true;
            result.period = period;
            result.settle = settleFor(period, 0.0);
            return true;
        }
    }
    return false;
}

void OrbitAnalysis::measureExponents(OrbitClass& result) const
{
    Tangents t = tangents;
    follow(t, seen);
    const int64_t followed = seen - tangentFrom;
    orthogonalise(t.ux, t.uy, t.wx, t.wy);
    result.lyapunov = exponentOf(t.ux, t.uy, t.exponentU, followed);
    result.secondLyapunov = exponentOf(t.wx, t.wy, t.exponentW, followed);
}

OrbitClass OrbitAnalysis::result() const
{
    OrbitClass result;
    if (stoppedAt >= 0) {
        result.outcome = Outcome::Stops;
        result.steps = stoppedAt;
        return result;
    }
    result.steps = seen;
    if (judgeCycle(result) && result.outcome == Outcome::Cycle) return result;
    measureExponents(result);
    result.outcome = result.lyapunov > kChaosMargin ? Outcome::Chaos : Outcome::Quasi;
    return result;
}

OrbitClass judgePoint(float a, float b, float x0, float y0, int64_t steps)
{
    OrbitAnalysis analysis(a, b, steps);
    float x[kPointBlock], y[kPointBlock];
    float stateX = x0, stateY = y0;
    bool running = true;
    for (int64_t left = steps; left > 0;) {
        const auto count = static_cast<int32_t>(std::min<int64_t>(kPointBlock, left));
        for (int32_t i = 0; i < count; ++i) {
            float nextX = 0.0f, nextY = 0.0f;
            running = running && tessel::mapStep(stateX, stateY, a, b, nextX, nextY);
            stateX = running ? nextX : 0.0f;
            stateY = running ? nextY : 0.0f;
            x[i] = stateX;
            y[i] = stateY;
        }
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
