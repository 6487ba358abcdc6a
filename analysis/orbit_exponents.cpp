// The exponents of an orbit: from the followed tangent, or exactly along a
// cycle the floats repeat, and the outcome they decide.
#include <cmath>
#include <limits>

#include "orbit_analysis.h"
#include "tangent.h"

namespace analysis {

namespace {

double exponentOf(double u, double v, int64_t powers, int64_t followed)
{
    if (followed <= 0) return 0.0;
    const double squared = u * u + v * v;
    if (squared == 0.0) return -std::numeric_limits<double>::infinity();
    return (double(powers) * kLn2 + 0.5 * naturalLog(squared)) / double(followed);
}

}  // namespace

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
    return jacobianYX != 0.0 ? naturalLog(std::abs(jacobianYX)) - first : -std::numeric_limits<double>::infinity();
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
    result.lyapunov = largest > 0.0 ? (double(powers) * kLn2 + naturalLog(largest)) / double(period) : kMinusInfinity;
    result.secondLyapunov = secondExponent(result.lyapunov);
}

}  // namespace analysis
