// Settled tones against a slow judge that shares nothing with the analysis
// but the module's step: points in periodic windows of the chaotic band,
// beside period doublings and near the fixed point's doubling with b < 0,
// each verdict the same at every length that lets the orbit settle, a
// rounding cycle's exponents exact along it, and a few hundred random points
// of a zoomed chart.
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/orbit_analysis.h"
#include "analysis/tests/slow_judge.h"

namespace {

using analysis::Outcome;

float signal(double volts) { return static_cast<float>(volts / 10.0); }

struct ToneCase {
    std::string name;
    double a, b;     // volts
    int32_t period;  // of the attracting cycle; 0: none, the floats' rounding cycle of `rounding`
    int32_t rounding;
};

void PrintTo(const ToneCase& c, std::ostream* os) { *os << c.name; }

class SettledTone : public ::testing::TestWithParam<ToneCase> {};

TEST_P(SettledTone, IsTheCycleTheMapTakesTheFloatsOnto)
{
    const ToneCase& c = GetParam();
    const float a = signal(c.a), b = signal(c.b);
    const slow::Judged truth = slow::judge(a, b, slow::floatsOf(a, b, 0.0f, 0.0f, 8192));
    const analysis::OrbitClass orbit = analysis::judgePoint(a, b, 0.0f, 0.0f, 8192);
    if (c.period > 0) {
        ASSERT_EQ(truth.verdict, slow::Verdict::Cycle);
        ASSERT_EQ(truth.period, c.period);
        EXPECT_EQ(orbit.outcome, Outcome::Cycle);
        EXPECT_EQ(orbit.period, c.period);
        EXPECT_FALSE(orbit.roundingCycle);
    } else {
        ASSERT_EQ(truth.verdict, slow::Verdict::NoCycle);
        EXPECT_NE(orbit.outcome, Outcome::Cycle);
        EXPECT_TRUE(orbit.roundingCycle);
        EXPECT_EQ(orbit.period, c.rounding);
    }
}

INSTANTIATE_TEST_SUITE_P(Points, SettledTone,
                         ::testing::Values(
                             // The floats settle on the cycle at iterate 5636, late in the run.
                             ToneCase{"Period13SettledLate", 1.331875, 0.25025, 13, 0},
                             // Multiplier 0.896: the floats sway around it, repeating every 30.
                             ToneCase{"Period15", 1.242625, 0.25375, 15, 0},
                             ToneCase{"Period16FloatsRepeatingEvery48", 1.141375, 0.23225, 16, 0},
                             ToneCase{"Period20", 1.5708333, 0.1975, 20, 0},
                             ToneCase{"Period24", 1.128625, 0.22375, 24, 0},
                             ToneCase{"Period58SettledAt4677", 1.1208333, 0.3525, 58, 0},
                             // Newton, asked for 40 (or 80), finds the unstable 40-cycle (and the
                             // 80-cycle beside it) first.
                             ToneCase{"Period80BesideItsUnstableParent", 1.072375, 0.30425, 80, 0},
                             ToneCase{"Period160TwoDoublingsOn", 1.3375, 0.0475, 160, 0},
                             // The period-3 window of the band at b 0.02 V, near its end (multiplier
                             // 0.97), and its doublings to 12 and 48.
                             ToneCase{"Period3Window", 1.8177, 0.02005, 3, 0},
                             ToneCase{"Period12InThePeriod3Window", 1.8265, 0.02005, 12, 0},
                             ToneCase{"Period48InThePeriod3Window", 1.82875, 0.02005, 48, 0},
                             // Just past the fixed point's doubling at b -0.374 V: multipliers 0.997
                             // and 0.14.
                             ToneCase{"TwoCycleBesideTheFixedPoint_bNegative", 1.4165, -0.37395, 2, 0},
                             // Inside the period-3 window the floats fall into a 14-cycle of their
                             // own; the map takes their state onto the 3-cycle, far from them.
                             ToneCase{"RoundingCycleInThePeriod3Window", 1.81625, 0.02005, 0, 14}),
                         [](const ::testing::TestParamInfo<ToneCase>& info) { return info.param.name; });

// One settled orbit, one verdict: the judged states lie after the settle, so
// a longer run changes nothing.
TEST(SettledTone, IsTheSameVerdictAtEveryLength)
{
    for (const auto& [aVolts, bVolts] : {std::pair{1.5708333, 0.1975}, {1.1208333, 0.3525}, {1.331875, 0.25025}}) {
        const float a = signal(aVolts), b = signal(bVolts);
        const analysis::OrbitClass first = analysis::judgePoint(a, b, 0.0f, 0.0f, 8192);
        EXPECT_EQ(first.outcome, Outcome::Cycle) << aVolts;
        for (const int64_t steps : {int64_t{32768}, int64_t{1000000}}) {
            const analysis::OrbitClass longer = analysis::judgePoint(a, b, 0.0f, 0.0f, steps);
            EXPECT_EQ(longer.outcome, first.outcome) << aVolts << " " << steps;
            EXPECT_EQ(longer.period, first.period) << aVolts << " " << steps;
        }
    }
}

// An orbit still in its transient at the end of the run is judged as it
// goes: here chaotic for 8192 steps, a 16-cycle from iterate 7414.
TEST(SettledTone, IsNoCycleWhileTheRunEndsInItsTransient)
{
    const float a = signal(1.405375), b = signal(0.20175);
    const analysis::OrbitClass early = analysis::judgePoint(a, b, 0.0f, 0.0f, 8192);
    EXPECT_EQ(early.outcome, Outcome::Chaos);
    EXPECT_EQ(early.settle, -1);
    const analysis::OrbitClass settled = analysis::judgePoint(a, b, 0.0f, 0.0f, 32768);
    EXPECT_EQ(settled.outcome, Outcome::Cycle);
    EXPECT_EQ(settled.period, 16);
    EXPECT_GT(settled.settle, 8192 - analysis::kCycleWindow);
}

// Along a float cycle the exponents are those of its Jacobians' product, ln
// of its multipliers' sizes per step, whatever the run's length.
TEST(RoundingCycle, ExponentsAreThoseAlongTheCycle)
{
    const float a = signal(1.81625), b = signal(0.02005);
    const slow::Floats floats = slow::floatsOf(a, b, 0.0f, 0.0f, 8192);
    const slow::Map map(a, b);
    // The product's determinant is that of each Jacobian, -10·b, to the 14th:
    // far too small to survive the product's own subtraction.
    long double xx = 1, xy = 0, yx = 0, yy = 1, det = 1;
    for (size_t i = floats.x.size() - 14; i < floats.x.size(); ++i) {
        det *= -map.yFactor;
        const long double slope = -2.0L * map.quadratic * floats.x[i];
        const long double nextXX = slope * xx + yx, nextXY = slope * xy + yy;
        yx = map.yFactor * xx;
        yy = map.yFactor * xy;
        xx = nextXX;
        xy = nextXY;
    }
    const long double trace = xx + yy;
    const long double larger = (std::fabs(trace) + std::sqrt(trace * trace - 4 * det)) / 2;
    const double largest = double(std::log(larger) / 14), other = double(std::log(std::fabs(det) / larger) / 14);
    for (const int64_t steps : {int64_t{8192}, int64_t{32768}, int64_t{1000000}}) {
        const analysis::OrbitClass orbit = analysis::judgePoint(a, b, 0.0f, 0.0f, steps);
        ASSERT_TRUE(orbit.roundingCycle) << steps;
        EXPECT_NEAR(orbit.lyapunov, largest, 1e-9) << steps;
        EXPECT_NEAR(orbit.secondLyapunov, other, 1e-9) << steps;
    }
}

// A few hundred points of a 600x400 chart of a 1.135 to 1.18 V, b 0.2 to
// 0.22 V, where periodic windows crowd the chaotic band.
TEST(SlowJudge, TheChartAgreesWhereverTheSlowJudgeIsSure)
{
    constexpr int32_t kPoints = 400, kAcross = 600, kUp = 400;
    std::mt19937 random(25);
    int32_t sureCycles = 0, sureNone = 0;
    for (int32_t n = 0; n < kPoints; ++n) {
        const uint32_t i = random() % kAcross, j = random() % kUp;
        const double aVolts = 1.135 + (i + 0.5) * 0.045 / kAcross, bVolts = 0.2 + (j + 0.5) * 0.02 / kUp;
        const float a = signal(aVolts), b = signal(bVolts);
        const slow::Floats floats = slow::floatsOf(a, b, 0.0f, 0.0f, 8192);
        const analysis::OrbitClass orbit = analysis::judgePoint(a, b, 0.0f, 0.0f, 8192);
        if (floats.x.empty()) {
            EXPECT_EQ(orbit.outcome, Outcome::Stops) << aVolts << " " << bVolts;
            continue;
        }
        const slow::Judged truth = slow::judge(a, b, floats);
        if (truth.verdict == slow::Verdict::Cycle) {
            ++sureCycles;
            EXPECT_EQ(orbit.outcome, Outcome::Cycle) << aVolts << " " << bVolts;
            EXPECT_EQ(orbit.period, truth.period) << aVolts << " " << bVolts;
        } else if (truth.verdict == slow::Verdict::NoCycle) {
            ++sureNone;
            EXPECT_NE(orbit.outcome, Outcome::Cycle) << aVolts << " " << bVolts;
        }
    }
    EXPECT_GE(sureCycles, 30);
    EXPECT_GE(sureNone, 100);
}

}  // namespace
