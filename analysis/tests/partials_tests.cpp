#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "analysis/partials.h"

namespace {

using analysis::Partials;

// A period of `n` samples holding a fundamental and one harmonic at the given amplitudes.
std::vector<float> twoLines(int n, double fundamental, int harmonic, double level)
{
    std::vector<float> period(n);
    for (int i = 0; i < n; ++i) {
        const double phase = 2.0 * std::numbers::pi * i / n;
        period[i] = static_cast<float>(0.01 + fundamental * std::cos(phase + 0.3) + level * std::cos(harmonic * phase));
    }
    return period;
}

TEST(Partials, TheLoudestLineAndHowFarTheFundamentalLiesBelowIt)
{
    struct Row {
        int n;
        double fundamental;
        int harmonic;
        double level;
        int loudest;
        double belowDb;  // -1: at least 60 dB (the floats leave the fundamental a trace)
    };
    for (const Row& row : {
             Row{8, 0.1, 2, 0.01, 1, 0.0},        // the fundamental loudest
             Row{16, 0.001, 8, 0.1, 8, 46.0206},  // a faint fundamental under the Nyquist line, whole there
             Row{12, 0.05, 3, 0.1, 3, 6.0206},    // twice the amplitude: 6 dB
             Row{5, 0.0, 2, 0.1, 2, -1.0},
         }) {
        const Partials partials = analysis::partialsOf(twoLines(row.n, row.fundamental, row.harmonic, row.level));
        EXPECT_EQ(partials.loudest, row.loudest) << row.n;
        if (row.belowDb < 0) EXPECT_GT(partials.fundamentalBelowDb, 60.0) << row.n;
        else EXPECT_NEAR(partials.fundamentalBelowDb, row.belowDb, 1e-3) << row.n;
    }
}

TEST(Partials, ACycleReplayedFromItsPointOnlyWhenItSounds)
{
    // a 1.0541666 V, b 0.3025 V: a cycle whose fundamental is far under its Nyquist line.
    const float a = 0.10541666f, b = 0.03025f;
    const analysis::OrbitClass orbit = analysis::judgePoint(a, b, 0.0f, 0.0f, 8192);
    ASSERT_EQ(orbit.outcome, analysis::Outcome::Cycle);
    const Partials partials = analysis::cyclePartials(a, b, 0.0f, 0.0f, orbit);
    EXPECT_EQ(partials.loudest, orbit.period / 2);
    EXPECT_GT(partials.fundamentalBelowDb, 30.0);

    analysis::OrbitClass constant = orbit;
    constant.period = 1;
    EXPECT_EQ(analysis::cyclePartials(a, b, 0.0f, 0.0f, constant).loudest, 0);
    analysis::OrbitClass chaos = orbit;
    chaos.outcome = analysis::Outcome::Chaos;
    EXPECT_EQ(analysis::cyclePartials(a, b, 0.0f, 0.0f, chaos).loudest, 0);
}

}  // namespace
