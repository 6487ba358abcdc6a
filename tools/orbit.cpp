#include "orbit.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <limits>

#include "generator/map_step.h"

namespace render {

namespace {

// The map in the signal scale is x' = y + 0.1 - 100·a·x², y' = 10·b·x, so its
// Jacobian at (x, y) is [[-200·a·x, 1], [10·b, 0]].
constexpr double kJacobianXFactor = -2.0 * tessel::kQuadraticFactor;
constexpr double kJacobianYFactor = tessel::kYFactor;

// The tangent's size is taken out every few steps, as a power of two read from
// its exponent bits: no log, no division, no rounding. Along an orbit the
// guard lets stand, eight Jacobians grow it far less than double's range.
constexpr int32_t kRenormaliseEvery = 8;

bool isGuardZero(float x, float y)
{
    return std::bit_cast<uint32_t>(x) == 0 && std::bit_cast<uint32_t>(y) == 0;
}

// The tolerance of repetition for one output: in ulps of its largest magnitude
// over the window, since a value near 0 comes out of a difference of larger
// ones and carries their rounding, many of its own ulps.
double toleranceFor(const std::vector<float>& values)
{
    float largest = 0.0f;
    for (const float value : values) largest = std::max(largest, std::abs(value));
    return kCycleToleranceUlps * double(std::nextafter(largest, INFINITY) - largest);
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

OrbitAnalysis::OrbitAnalysis(float a, float b, int64_t steps)
    : steps(steps), tangentFrom(steps / 2), jacobianXX(kJacobianXFactor * double{a}),
      jacobianYX(kJacobianYFactor * double{b}), windowFrom(steps - std::min(steps - steps / 2, kCycleWindow)),
      windowX(size_t(steps - windowFrom)), windowY(size_t(steps - windowFrom))
{
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

    const int64_t end = seen + count;
    if (end > tangentFrom) {
        const int64_t from = std::max(seen, tangentFrom) - seen;
        follow(x + from, static_cast<int32_t>(count - from));
    }
    if (end > windowFrom) {
        const int64_t from = std::max(seen, windowFrom);
        std::copy(x + (from - seen), x + count, windowX.begin() + (from - windowFrom));
        std::copy(y + (from - seen), y + count, windowY.begin() + (from - windowFrom));
    }
    seen = end;
    return seen < steps;
}

void OrbitAnalysis::follow(const float* x, int32_t count)
{
    double u = vx, v = vy;
    int32_t phase = sinceRenormalised;
    for (int32_t i = 0; i < count; ++i) {
        const double nextU = (jacobianXX * double{x[i]}) * u + v;
        v = jacobianYX * u;
        u = nextU;
        if (++phase < kRenormaliseEvery) continue;
        phase = 0;
        constexpr uint64_t kMagnitude = ~(uint64_t{1} << 63);
        const uint64_t largest = std::max(std::bit_cast<uint64_t>(u) & kMagnitude,
                                          std::bit_cast<uint64_t>(v) & kMagnitude);
        if (largest == 0) continue;  // collapsed onto zero: stays there, the exponent is -infinity
        const auto field = static_cast<int32_t>(largest >> 52);
        // A subnormal tangent is first lifted into the normal range.
        const int32_t shift = field == 0 ? -600 : field - 1023;
        const double scale = std::bit_cast<double>(uint64_t(1023 - shift) << 52);
        u *= scale;
        v *= scale;
        exponentSum += shift;
    }
    vx = u;
    vy = v;
    sinceRenormalised = phase;
}

int32_t OrbitAnalysis::smallestPeriod() const
{
    const auto length = static_cast<int32_t>(windowX.size());
    const int32_t longest = std::min(kPeriodLimit, length / 2);
    const double toleranceX = toleranceFor(windowX), toleranceY = toleranceFor(windowY);
    auto repeats = [&](int32_t i, int32_t period) {
        return std::abs(double(windowX[i]) - windowX[i - period]) <= toleranceX &&
               std::abs(double(windowY[i]) - windowY[i - period]) <= toleranceY;
    };
    for (int32_t period = 1; period <= longest; ++period) {
        int32_t i = period;
        while (i < length && repeats(i, period)) ++i;
        if (i == length) return period;
    }
    return 0;
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
    result.period = smallestPeriod();
    if (result.period > 0) {
        result.outcome = Outcome::Cycle;
        return result;
    }
    const int64_t followed = seen - tangentFrom;
    const double size = std::hypot(vx, vy);
    if (followed <= 0) result.lyapunov = 0.0;
    else if (size == 0.0) result.lyapunov = -std::numeric_limits<double>::infinity();
    else result.lyapunov = (double(exponentSum) * std::log(2.0) + std::log(size)) / double(followed);
    result.outcome = result.lyapunov > kChaosMargin ? Outcome::Chaos : Outcome::Quasi;
    return result;
}

namespace {

int64_t firstIterateOf(const Scenario& scenario)
{
    // The reset sample shows x0 and y0; the first iterate is the sample after it.
    return scenario.resetSamples.empty() ? 0 : scenario.resetSamples.back() + 1;
}

}  // namespace

TakeOrbit::TakeOrbit(const Scenario& scenario)
    : firstIterate(firstIterateOf(scenario)), orbitSteps(scenario.samples - firstIterate),
      normalized(scenario.normalize), analysis(scenario.a, scenario.b, orbitSteps)
{
}

void TakeOrbit::add(int64_t start, const float* x, const float* y, int32_t count)
{
    const int64_t skip = std::clamp<int64_t>(firstIterate - start, 0, count);
    if (!wanted || skip == count) return;
    x += skip;
    y += skip;
    count -= static_cast<int32_t>(skip);
    if (normalized) {
        stateX.resize(size_t(count));
        stateY.resize(size_t(count));
        std::transform(x, x + count, stateX.begin(), unnormalized);
        std::transform(y, y + count, stateY.begin(), unnormalized);
        x = stateX.data();
        y = stateY.data();
    }
    wanted = analysis.add(x, y, count);
}

std::string toneText(int32_t period, int32_t sampleRate)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.0f Hz", double(sampleRate) / period);
    return text;
}

std::string describeOrbit(const OrbitClass& orbit, int32_t sampleRate)
{
    char exponent[64];
    std::snprintf(exponent, sizeof exponent, "largest Lyapunov exponent %.6f per step", orbit.lyapunov);
    switch (orbit.outcome) {
    case Outcome::Stops:
        return "stops: the guard stopped the map after " + std::to_string(orbit.steps) + " iterates";
    case Outcome::Cycle:
        if (orbit.period == 1) return "a cycle of period 1: a constant";
        return "a cycle of period " + std::to_string(orbit.period) + ": a tone of " +
               toneText(orbit.period, sampleRate);
    case Outcome::Quasi:
        return "quasi: no cycle up to period " + std::to_string(kPeriodLimit) + ", " + exponent;
    case Outcome::Chaos:
        return std::string("chaos: ") + exponent;
    }
    return "";
}

float unnormalized(float output)
{
    const auto guess = static_cast<float>(double{output} / double{tessel::kNormalizeGain});
    for (const float candidate : {guess, std::nextafter(guess, -INFINITY), std::nextafter(guess, INFINITY)})
        if (candidate * tessel::kNormalizeGain == output) return candidate;
    return guess;
}

}  // namespace render
