// The chart's CSV as tessel-render writes it: one row per point, on every
// plane, with its outcome, its settle and the states it judged.
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/orbit_analysis.h"
#include "chart_rows.h"
#include "generator/map_step.h"
#include "host/session/drive.h"
#include "tool_run.h"

namespace {

using namespace tool_run;

struct PlaneCase {
    std::string name;
    std::vector<std::string> arguments;
    size_t acrossColumn, upColumn;  // which CSV columns the plane varies
    double acrossLow, acrossHigh, upLow, upHigh;
    std::vector<std::string> fixed;     // the other two columns, as printed
    std::vector<std::string> outcomes;  // per point: "cycle 2", "chaos", "stops", or "stops|chaos"
};

void PrintTo(const PlaneCase& plane, std::ostream* os) { *os << plane.name; }

class ChartCsv : public ::testing::TestWithParam<PlaneCase> {};

// The module's float states from x0, y0 by its own step, as the chart's
// instance makes them after a reset.
std::vector<std::pair<float, float>> statesOf(const std::vector<std::string>& row, int64_t steps)
{
    const float a = signalOf(row[0]), b = signalOf(row[1]);
    std::vector<std::pair<float, float>> states;
    float x = signalOf(row[2]), y = signalOf(row[3]);
    for (int64_t n = 0; n < steps; ++n) {
        float nextX = 0.0f, nextY = 0.0f;
        if (!tessel::mapStep(x, y, a, b, nextX, nextY)) break;
        states.emplace_back(x = nextX, y = nextY);
    }
    return states;
}

// A cycle's settle, checked on the states themselves: from it on, each is
// within 100 µV of the one a period earlier (wider than the halo of any cycle
// these planes hold); just before it, one is not identical to the one a
// period earlier, or the tone would have settled earlier.
void expectSettled(const std::vector<std::string>& row, int64_t steps)
{
    const auto states = statesOf(row, steps);
    const long period = std::atol(row[5].c_str()), settle = std::atol(row[8].c_str());
    ASSERT_EQ(static_cast<int64_t>(states.size()), steps);
    ASSERT_GE(settle, period);
    ASSERT_LT(settle, steps);
    for (long n = settle; n < steps; ++n) {
        EXPECT_NEAR(states[n].first, states[n - period].first, 1e-5) << n;
        EXPECT_NEAR(states[n].second, states[n - period].second, 1e-5) << n;
    }
    if (settle > period) {
        EXPECT_NE(states[settle - 1], states[settle - 1 - period]);
    }
}

TEST_P(ChartCsv, OneRowPerPointWithItsOutcomeAndSettle)
{
    const PlaneCase& plane = GetParam();
    TemporaryFolder folder;
    std::vector<std::string> arguments{"--chart-data", folder / "chart.csv", "--size", "4x2", "--quiet"};
    arguments.insert(arguments.end(), plane.arguments.begin(), plane.arguments.end());
    const Result result = runTool(arguments);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");

    const auto rows = readCsv(readText(folder / "chart.csv"));
    ASSERT_EQ(rows.size(), 1u + 8u);
    EXPECT_EQ(rows[0],
              (std::vector<std::string>{"a", "b", "x0", "y0", "outcome", "period", "steps", "lyapunov", "settle"}));
    for (size_t point = 0; point < 8; ++point) {
        const std::vector<std::string>& row = rows[1 + point];
        ASSERT_EQ(row.size(), 9u) << "row " << point;
        const auto i = static_cast<int32_t>(point % 4), j = static_cast<int32_t>(point / 4);
        EXPECT_EQ(signalOf(row[plane.acrossColumn]),
                  host::signalFromVolts(host::pointVolts(plane.acrossLow, plane.acrossHigh, 4, i)));
        EXPECT_EQ(signalOf(row[plane.upColumn]),
                  host::signalFromVolts(host::pointVolts(plane.upLow, plane.upHigh, 2, j)));
        size_t fixedIndex = 0;
        for (size_t column = 0; column < 4; ++column) {
            if (column != plane.acrossColumn && column != plane.upColumn) {
                EXPECT_EQ(row[column], plane.fixed[fixedIndex++]);
            }
        }

        const std::string& outcome = row[4];
        const std::string said = outcome == "cycle" ? "cycle " + row[5] : outcome;
        EXPECT_NE(("|" + plane.outcomes[point] + "|").find("|" + said + "|"), std::string::npos)
            << "point " << point << ": " << said;
        const bool cycle = outcome == "cycle", stops = outcome == "stops";
        const long steps = std::atol(row[6].c_str());
        EXPECT_TRUE(stops ? steps >= 0 && steps < 8192 : row[6] == "8192") << row[6];
        EXPECT_EQ(row[7].empty(), cycle || stops) << row[7];
        if (cycle) {
            expectSettled(row, 8192);
        } else if (row[5] == "0") {
            EXPECT_EQ(row[8], "") << "point " << point;
        }
    }
}

// On b = 0 the map is the 1-D u' = 1 - a·u²: a constant below a = 0.75, period 2
// up to 1.25, chaos at 1.6 (the logistic map at r = 3.72). On b = 0.3 the
// fixed point doubles at 0.3675 and the 2-cycle at 0.9125; 1.2 is chaotic and
// beyond about 1.43 every orbit from 0 escapes. At a 1.4 V, b 0.3 V every
// start either escapes or falls onto the chaotic attractor.
INSTANTIATE_TEST_SUITE_P(
    Planes, ChartCsv,
    ::testing::Values(PlaneCase{"AB",
                                {"--a-range", "0.2:1.8", "--b-range", "-0.15:0.45"},
                                0,
                                1,
                                0.2,
                                1.8,
                                -0.15,
                                0.45,
                                {"0", "0"},
                                {"cycle 1", "cycle 2", "cycle 2", "chaos", "cycle 2", "cycle 2", "chaos", "stops"}},
                      PlaneCase{"XY",
                                {"--plane", "xy", "--a", "1.4", "--b", "0.3", "--x0-range", "-2:2"},
                                2,
                                3,
                                -2.0,
                                2.0,
                                -2.0,
                                2.0,
                                {"1.4", "0.3"},
                                std::vector<std::string>(8, "stops|chaos")}),
    [](const ::testing::TestParamInfo<PlaneCase>& info) { return info.param.name; });

}  // namespace
