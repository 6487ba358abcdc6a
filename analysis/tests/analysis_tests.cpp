// The analysis against facts worked out here, apart from it: the closed forms
// of the map's fixed point and 2-cycle, where they double, orbits on both
// sides of those lines and near b = -1 V, a rounding cycle found by plain
// iteration, and the two exponents' sum.
#include <bit>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/map_cycle.h"
#include "analysis/orbit_analysis.h"
#include "generator/map_step.h"

namespace {

using analysis::Outcome;

// The pin's volts in the signal scale, as the tools convert them.
float signal(double volts) { return static_cast<float>(volts / 10.0); }

// In volts the map is u' = C + v - A·u², v' = B·u, with A and B ten times the
// float inputs and C = 1 V as the module has it: ten times the float 0.1f.
// Its Jacobian [[-2·A·u, 1], [B, 0]] is the same in both scales.
//
// Fixed point: A·u² + (1 - B)·u - C = 0. Its multipliers solve
// m² + 2·A·u·m - B = 0 (sum -2·A·u, product -B); one reaches -1 at
// A = 3(1 - B)²/4 (for C = 1), where the 2-cycle is born. The 2-cycle u1, u2
// has u1 + u2 = (1 - B)/A and u1·u2 = ((1 - B)² - C·A)/A², multipliers with
// sum 4(1 - B)² - 4·C·A + 2B and product B², and doubles at
// A = (5 - 6B + 5B²)/4.
const double kC = 10.0 * double{0.1f};
double fixedPointDoubling(double b) { return 3.0 * (1.0 - b) * (1.0 - b) / 4.0; }
double twoCycleDoubling(double b) { return (5.0 - 6.0 * b + 5.0 * b * b) / 4.0; }

struct CycleCase {
    std::string name;
    double a, b;        // volts
    int32_t period;     // 1: the fixed point, 2: the 2-cycle
    int32_t refinedAs;  // the period Newton is asked for, a multiple of it
    bool attracting;
};

void PrintTo(const CycleCase& c, std::ostream* os) { *os << c.name; }

struct PaperCycle {
    std::vector<double> x, y;  // signal scale
    double trace, determinant;
};

PaperCycle onPaper(float aSignal, float bSignal, int32_t period)
{
    const double A = 10.0 * aSignal, B = 10.0 * bSignal;
    if (period == 1) {
        const double u = (-(1.0 - B) + std::sqrt((1.0 - B) * (1.0 - B) + 4.0 * A * kC)) / (2.0 * A);
        return {{u / 10.0}, {B * u / 10.0}, -2.0 * A * u, -B};
    }
    const double sum = (1.0 - B) / A, product = ((1.0 - B) * (1.0 - B) - kC * A) / (A * A);
    const double half = std::sqrt(sum * sum / 4.0 - product);
    const double u1 = sum / 2.0 - half, u2 = sum / 2.0 + half;
    return {{u1 / 10.0, u2 / 10.0},
            {B * u2 / 10.0, B * u1 / 10.0},
            4.0 * (1.0 - B) * (1.0 - B) - 4.0 * kC * A + 2.0 * B,
            B * B};
}

class MapCycleOnPaper : public ::testing::TestWithParam<CycleCase> {};

// Newton starts from the cycle's points 1e-4 off (about ten thousand ulps),
// repeated to the period asked for, so for a multiple it must find the least.
TEST_P(MapCycleOnPaper, PointsMultipliersAndStability)
{
    const CycleCase& c = GetParam();
    const float a = signal(c.a), b = signal(c.b);
    const PaperCycle paper = onPaper(a, b, c.period);
    std::vector<double> x, y;
    for (int32_t k = 0; k < c.refinedAs; ++k) {
        x.push_back(paper.x[size_t(k % c.period)] + 1e-4 * (k + 1));
        y.push_back(paper.y[size_t(k % c.period)] - 1e-4);
    }
    const analysis::MapCycle cycle = analysis::refineCycle(analysis::ExactMap(a, b), x.data(), y.data(), c.refinedAs);
    ASSERT_EQ(cycle.period, c.period);
    for (int32_t k = 0; k < c.period; ++k) {
        EXPECT_NEAR(cycle.x[size_t(k)], paper.x[size_t(k)], 1e-12) << k;
        EXPECT_NEAR(cycle.y[size_t(k)], paper.y[size_t(k)], 1e-12) << k;
    }
    EXPECT_NEAR(cycle.trace, paper.trace, 1e-9);
    EXPECT_NEAR(cycle.determinant, paper.determinant, 1e-9);
    EXPECT_EQ(cycle.attracting, c.attracting);
}

INSTANTIATE_TEST_SUITE_P(
    Cycles, MapCycleOnPaper,
    ::testing::Values(CycleCase{"FixedPointBeforeDoubling_b0_3", 0.98 * fixedPointDoubling(0.3), 0.3, 1, 1, true},
                      CycleCase{"FixedPointAfterDoubling_b0_3", 1.02 * fixedPointDoubling(0.3), 0.3, 1, 1, false},
                      CycleCase{"FixedPointAsPeriod3_b0", 0.98 * fixedPointDoubling(0.0), 0.0, 1, 3, true},
                      CycleCase{"FixedPointAfterDoubling_bMinus0_5", 1.02 * fixedPointDoubling(-0.5), -0.5, 1, 1,
                                false},
                      CycleCase{"FixedPointNearBMinus1", 0.5, -0.99, 1, 1, true},
                      CycleCase{"TwoCycleBeforeDoubling_b0_3", 0.98 * twoCycleDoubling(0.3), 0.3, 2, 4, true},
                      CycleCase{"TwoCycleAfterDoubling_b0_3", 1.02 * twoCycleDoubling(0.3), 0.3, 2, 2, false},
                      CycleCase{"TwoCycleBeforeDoubling_b0", 0.98 * twoCycleDoubling(0.0), 0.0, 2, 2, true},
                      CycleCase{"TwoCycleAfterDoubling_bMinus0_3", 1.02 * twoCycleDoubling(-0.3), -0.3, 2, 2, false}),
    [](const ::testing::TestParamInfo<CycleCase>& info) { return info.param.name; });

// --- orbits from x0 = y0 = 0 -------------------------------------------------------

struct OrbitCase {
    std::string name;
    float a, b;  // signal scale
    Outcome outcome;
    int32_t period;  // cycles and rounding cycles
    bool roundingCycle;
};

void PrintTo(const OrbitCase& c, std::ostream* os) { *os << c.name; }

class OrbitFromZero : public ::testing::TestWithParam<OrbitCase> {};

TEST_P(OrbitFromZero, IsJudgedAsTheMapDoes)
{
    const OrbitCase& c = GetParam();
    const analysis::OrbitClass orbit = analysis::judgePoint(c.a, c.b, 0.0f, 0.0f, 8192);
    EXPECT_STREQ(analysis::outcomeName(orbit.outcome), analysis::outcomeName(c.outcome));
    EXPECT_EQ(orbit.period, c.period);
    EXPECT_EQ(orbit.roundingCycle, c.roundingCycle);
    EXPECT_EQ(orbit.steps, 8192);
    if (c.outcome == Outcome::Cycle) {
        // settled, within the orbit and before the judged window
        EXPECT_GE(orbit.settle, c.period);
        EXPECT_LE(orbit.settle, 8192 - analysis::kCycleWindow);
    } else if (!c.roundingCycle) {
        EXPECT_EQ(orbit.settle, -1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Orbits, OrbitFromZero,
    ::testing::Values(
        // 2 % either side of the fixed point's and the 2-cycle's doublings
        OrbitCase{"Line_BeforeFirstDoubling", signal(0.98 * 0.75), 0.0f, Outcome::Cycle, 1, false},
        OrbitCase{"Line_AfterFirstDoubling", signal(1.02 * 0.75), 0.0f, Outcome::Cycle, 2, false},
        OrbitCase{"Line_BeforeSecondDoubling", signal(0.98 * 1.25), 0.0f, Outcome::Cycle, 2, false},
        OrbitCase{"Line_AfterSecondDoubling", signal(1.02 * 1.25), 0.0f, Outcome::Cycle, 4, false},
        OrbitCase{"b0_3_BeforeFirstDoubling", signal(0.98 * fixedPointDoubling(0.3)), signal(0.3), Outcome::Cycle, 1,
                  false},
        OrbitCase{"b0_3_AfterFirstDoubling", signal(1.02 * fixedPointDoubling(0.3)), signal(0.3), Outcome::Cycle, 2,
                  false},
        OrbitCase{"b0_3_BeforeSecondDoubling", signal(0.98 * twoCycleDoubling(0.3)), signal(0.3), Outcome::Cycle, 2,
                  false},
        OrbitCase{"b0_3_AfterSecondDoubling", signal(1.02 * twoCycleDoubling(0.3)), signal(0.3), Outcome::Cycle, 4,
                  false},
        // Multiplier -0.9953: the floats alternate by 81 ulps around the fixed point.
        OrbitCase{"b0_3_SwayingFixedPoint", signal(0.3632), signal(0.3), Outcome::Cycle, 1, false},
        // Points of the default chart's rows near b = -1 V: the multipliers
        // are complex with modulus sqrt|B|, |A·u| < 1, so the fixed point
        // attracts, slowly; the floats circle it with near-resonances.
        OrbitCase{"bMinus0_99_FixedPoint", signal(0.5), signal(-0.99), Outcome::Cycle, 1, false},
        OrbitCase{"bMinus0_9925_NotPeriod5", signal(-0.54583333), signal(-0.9925), Outcome::Cycle, 1, false},
        OrbitCase{"bMinus0_9925_NotPeriod4", signal(-0.0125), signal(-0.9925), Outcome::Cycle, 1, false},
        OrbitCase{"bMinus0_9925_NotPeriod3", signal(0.6875), signal(-0.9925), Outcome::Cycle, 1, false},
        // a 1.6583334 V of a 300x200 chart: chaotic floats fall into an exact
        // 10-cycle that the map has only as an unstable one
        OrbitCase{"RoundingCycle", std::bit_cast<float>(0x3E29D037u), signal(0.085), Outcome::Chaos, 10, true},
        // At |B| = 1 the map keeps areas: the orbit winds around the elliptic
        // fixed point on an invariant curve, neither cycle nor chaos.
        OrbitCase{"QuasiPeriodicAtBMinus1", signal(0.5), signal(-1.0), Outcome::Quasi, 0, false},
        OrbitCase{"UsualValues", signal(1.4), signal(0.3), Outcome::Chaos, 0, false}),
    [](const ::testing::TestParamInfo<OrbitCase>& info) { return info.param.name; });

// The rounding cycle's settle is where plain iteration of the module's step
// first meets a state it had ten steps before.
TEST(RoundingCycle, SettlesWhereTheFloatsFirstRepeat)
{
    const float a = std::bit_cast<float>(0x3E29D037u), b = signal(0.085);
    std::vector<float> x{0.0f}, y{0.0f};
    int64_t repeat = -1;
    for (int64_t n = 1; repeat < 0 && n <= 8192; ++n) {
        float nx = 0.0f, ny = 0.0f;
        ASSERT_TRUE(tessel::mapStep(x.back(), y.back(), a, b, nx, ny));
        x.push_back(nx);
        y.push_back(ny);
        if (n > 10 && nx == x[size_t(n - 10)] && ny == y[size_t(n - 10)]) repeat = n - 1;  // iterates count from 0
    }
    ASSERT_GT(repeat, 1000) << "the floats are chaotic for thousands of steps first";
    EXPECT_EQ(analysis::judgePoint(a, b, 0.0f, 0.0f, 8192).settle, repeat);
}

// The largest exponent against a tangent followed here in long double over
// the same floats, from the second half on (where a chaotic orbit's exponent
// is taken), its logarithm taken every step; the second is what the map's
// area contraction |B| leaves.
TEST(Lyapunov, LargestIsATangentsGrowthAndTheSecondWhatTheContractionLeaves)
{
    constexpr int64_t kSteps = 8192;
    // b 1 mV makes the tangent turn hard towards the unstable direction.
    for (const auto& [aVolts, bVolts] : {std::pair{1.4, 0.3}, {1.05, 0.5}, {1.6, -0.1}, {1.9, 0.001}}) {
        const float a = signal(aVolts), b = signal(bVolts);
        const analysis::OrbitClass orbit = analysis::judgePoint(a, b, 0.0f, 0.0f, kSteps);
        EXPECT_EQ(orbit.outcome, Outcome::Chaos) << aVolts << " " << bVolts;

        float x = 0.0f, y = 0.0f;
        long double u = 1, v = 0, logGrowth = 0;
        for (int64_t n = 0; n < kSteps; ++n) {
            float nextX = 0.0f, nextY = 0.0f;
            ASSERT_TRUE(tessel::mapStep(x, y, a, b, nextX, nextY));
            x = nextX;
            y = nextY;
            if (n < kSteps / 2) continue;
            const long double nextU = -200.0L * a * x * u + v;
            v = 10.0L * b * u;
            u = nextU;
            const long double size = std::sqrt(u * u + v * v);
            logGrowth += std::log(size);
            u /= size;
            v /= size;
        }
        EXPECT_NEAR(orbit.lyapunov, double(logGrowth / (kSteps / 2)), 1e-9) << aVolts;
        EXPECT_NEAR(orbit.lyapunov + orbit.secondLyapunov, std::log(std::abs(10.0 * b)), 1e-9) << aVolts;
    }
}

TEST(NaturalLog, AgreesWithTheCLibraryToAFewUlps)
{
    for (const double v : {1e-300, 0.001, 0.3, 0.5, 0.7071, 1.0, 1.5, 2.0, 10.0, 12345.678, 1e300}) {
        const double expected = std::log(v);
        EXPECT_NEAR(analysis::naturalLog(v), expected, 4e-16 * std::max(1.0, std::abs(expected))) << v;
    }
}

}  // namespace
