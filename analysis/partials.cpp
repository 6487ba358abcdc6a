#include "partials.h"

#include <vector>

#include "generator/map_step.h"

namespace analysis {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTenOverLn10 = 4.3429448190325182765;

// cos and sin of 2π·m/n by their series on a reduced angle: + − × ÷ alone,
// so every build (the WebAssembly one too) gets the same bits.
void unitCircle(int64_t m, int64_t n, double& cosine, double& sine)
{
    m %= n;
    if (2 * m > n) m -= n;  // the angle within [-π, π]
    const double angle = 2.0 * kPi * static_cast<double>(m) / static_cast<double>(n);
    const double squared = angle * angle;
    double cosTerm = 1.0, sinTerm = angle;
    cosine = 0.0;
    sine = 0.0;
    for (int k = 0; k < 30; ++k) {
        cosine += cosTerm;
        sine += sinTerm;
        cosTerm *= -squared / static_cast<double>((2 * k + 1) * (2 * k + 2));
        sinTerm *= -squared / static_cast<double>((2 * k + 2) * (2 * k + 3));
    }
}

// cos and sin of 2π·m/n for each m below n.
struct Twiddles {
    explicit Twiddles(int64_t n) : cosines(static_cast<size_t>(n)), sines(static_cast<size_t>(n))
    {
        for (int64_t m = 0; m < n; ++m)
            unitCircle(m, n, cosines[static_cast<size_t>(m)], sines[static_cast<size_t>(m)]);
    }
    std::vector<double> cosines, sines;
};

// |X_k|² of one period's samples.
double linePower(std::span<const float> period, const Twiddles& twiddles, int32_t k)
{
    const auto n = period.size();
    double re = 0.0, im = 0.0;
    size_t m = 0;  // k·i mod n
    for (size_t i = 0; i < n; ++i, m = (m + static_cast<size_t>(k)) % n) {
        re += double{period[i]} * twiddles.cosines[m];
        im -= double{period[i]} * twiddles.sines[m];
    }
    return re * re + im * im;
}

}  // namespace

Partials partialsOf(std::span<const float> period)
{
    Partials partials;
    const auto lines = static_cast<int32_t>(period.size() / 2);
    const Twiddles twiddles(static_cast<int64_t>(period.size()));
    double fundamental = 0.0, loudest = -1.0;
    for (int32_t k = 1; k <= lines; ++k) {
        const double power = linePower(period, twiddles, k);
        if (k == 1) fundamental = power;
        if (power > loudest) {
            loudest = power;
            partials.loudest = k;
        }
    }
    if (partials.loudest > 1) {
        partials.fundamentalBelowDb = fundamental > 0.0 ? kTenOverLn10 * (naturalLog(loudest) - naturalLog(fundamental))
                                                        : kSilentDb;
    }
    return partials;
}

Partials cyclePartials(float a, float b, float x0, float y0, const OrbitClass& orbit)
{
    if (orbit.outcome != Outcome::Cycle || orbit.period < 2 || orbit.settle < 0) return {};
    // Any whole period after the settle step has the same lines; the one
    // after it does whether the caller counts the reset's sample or not.
    std::vector<float> period;
    period.reserve(static_cast<size_t>(orbit.period));
    float x = x0, y = y0;
    for (int64_t i = 0; i <= orbit.settle + orbit.period; ++i) {
        float nextX = 0.0f, nextY = 0.0f;
        if (!tessel::mapStep(x, y, a, b, nextX, nextY)) return {};
        x = nextX;
        y = nextY;
        if (i > orbit.settle) period.push_back(x);
    }
    return partialsOf(period);
}

}  // namespace analysis
