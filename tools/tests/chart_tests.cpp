// The chart: the judgement of orbits on points whose behaviour is known on
// paper, the CSV it writes, its picture, and its agreement with single takes.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <png.h>

#include "chart.h"
#include "host/host_emulator.h"
#include "orbit.h"
#include "scenario.h"
#include "tool_run.h"

namespace {

using namespace tool_run;
using render::Outcome;

// The module's continuous outputs at a and b (volts), from x0 = y0 = 0,
// Normalize off, judged as a take's orbit is.
render::OrbitClass judgeTake(double aVolts, double bVolts, int64_t steps, std::vector<float>* x = nullptr)
{
    render::Scenario scenario;
    scenario.samples = steps;
    scenario.normalize = false;
    scenario.a = render::signalFromVolts(aVolts);
    scenario.b = render::signalFromVolts(bVolts);
    render::TakeOrbit orbit(scenario);
    render::renderScenario(host::builtModuleLibrary(), scenario,
                           [&](int64_t start, const float* xs, const float* ys, int32_t count) {
                               orbit.add(start, xs, ys, count);
                               if (x) x->insert(x->end(), xs, xs + count);
                           });
    return orbit.result();
}

struct KnownPoint {
    std::string name;
    double a, b;  // volts
    Outcome outcome;
    int32_t period;  // cycles
    int64_t steps;   // stops: iterates before the trip
};

void PrintTo(const KnownPoint& point, std::ostream* os) { *os << point.name; }

class KnownOrbit : public ::testing::TestWithParam<KnownPoint> {};

// In volts the map is u' = 1 + v - a·u², v' = b·u. Its fixed point u* solves
// a·u² + (1 - b)·u - 1 = 0 and exists for a > -(1 - b)²/4; its multipliers m
// solve m² + 2·a·u*·m - b = 0, and one reaches -1 (period doubling) at
// a = 3(1 - b)²/4, 0.3675 for b = 0.3. The 2-cycle's multipliers have product
// b² and sum 4(1 - b)² - 4a + 2b, so it is stable up to a = (5 - 6b + 5b²)/4,
// 0.9125 for b = 0.3. On b = 0 the map is the 1-D u' = 1 - a·u², the logistic
// map r·x(1 - x) with a = r(r - 2)/4: the 2-cycle doubles at a = 1.25
// (r = 1 + sqrt 6), the 4-cycle at 1.3681, the stable 3-cycle lives from 1.75
// (r = 1 + sqrt 8) to 1.7685, and beyond a = 1.4012 most of the line is chaos.
TEST_P(KnownOrbit, IsJudgedAsOnPaper)
{
    const KnownPoint& point = GetParam();
    const render::OrbitClass orbit = judgeTake(point.a, point.b, 8192);
    EXPECT_STREQ(render::outcomeName(orbit.outcome), render::outcomeName(point.outcome));
    EXPECT_EQ(orbit.period, point.outcome == Outcome::Cycle ? point.period : 0);
    EXPECT_EQ(orbit.steps, point.outcome == Outcome::Stops ? point.steps : 8192);
}

INSTANTIATE_TEST_SUITE_P(
    Points, KnownOrbit,
    ::testing::Values(
        // Multipliers 0.37 and -0.81; the float state alternates by one ulp.
        KnownPoint{"FixedPoint", 0.2, 0.3, Outcome::Cycle, 1, 0},
        // A multiplier of -0.98, just before the doubling: rounding keeps the
        // floats circling the fixed point by some ulps, still a constant.
        KnownPoint{"FixedPointNearDoubling", 0.35, 0.3, Outcome::Cycle, 1, 0},
        KnownPoint{"TwoCycle", 0.6, 0.3, Outcome::Cycle, 2, 0},
        // No fixed point: u runs 0, 1, 1.5, 2.425, and 2.425 V trips the guard.
        KnownPoint{"NoFixedPoint", -0.5, 0.3, Outcome::Stops, 0, 2},
        // u runs 0, 1, -3: the second iterate trips.
        KnownPoint{"SteepMap", 4.0, 0.3, Outcome::Stops, 0, 1},
        KnownPoint{"LineFixedPoint", 0.5, 0.0, Outcome::Cycle, 1, 0},
        // Superstable: u runs 0, 1, 0, 1, ...
        KnownPoint{"LineSuperstableTwoCycle", 1.0, 0.0, Outcome::Cycle, 2, 0},
        KnownPoint{"LineFourCycle", 1.3, 0.0, Outcome::Cycle, 4, 0},
        KnownPoint{"LineThreeCycleWindow", 1.76, 0.0, Outcome::Cycle, 3, 0},
        KnownPoint{"LineChaos", 1.9, 0.0, Outcome::Chaos, 0, 0},
        KnownPoint{"UsualValues", 1.4, 0.3, Outcome::Chaos, 0, 0}),
    [](const ::testing::TestParamInfo<KnownPoint>& info) { return info.param.name; });

// On b = 0 the tangent is 1-D: the exponent is the mean of log|d u'/d u| =
// log|200·a·x| along the second half of the orbit, computed here directly.
// At the usual values it is the known 0.42 of this map's attractor.
TEST(Lyapunov, MatchesTheLineMapExactlyAndTheKnownAttractorValue)
{
    std::vector<float> x;
    const render::OrbitClass line = judgeTake(1.9, 0.0, 8192, &x);
    const double a = render::signalFromVolts(1.9);
    double sum = 0.0;
    for (size_t n = x.size() / 2; n < x.size(); ++n) sum += std::log(std::abs(200.0 * a * x[n]));
    const double expected = sum / double(x.size() - x.size() / 2);
    EXPECT_NEAR(line.lyapunov, expected, 1e-9);
    EXPECT_LT(line.lyapunov, std::log(2.0)) << "no 1-D quadratic map short of a = 2 V reaches log 2";

    const render::OrbitClass usual = judgeTake(1.4, 0.3, 1 << 16);
    EXPECT_NEAR(usual.lyapunov, 0.419, 0.01);
}

// --- a take's report ------------------------------------------------------------

struct TakeCase {
    std::string name;
    std::vector<std::string> arguments;
    std::string said;  // empty: the report says nothing of the orbit
};

void PrintTo(const TakeCase& take, std::ostream* os) { *os << take.name; }

class TakeReport : public ::testing::TestWithParam<TakeCase> {};

TEST_P(TakeReport, JudgesTheOrbitAfterTheLastReset)
{
    TemporaryFolder folder;
    std::vector<std::string> arguments = GetParam().arguments;
    arguments.insert(arguments.end(), {"--out", folder / "take.wav"});
    const Result result = runTool(arguments);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    if (GetParam().said.empty()) EXPECT_EQ(result.err.find("the orbit"), std::string::npos) << result.err;
    else EXPECT_NE(result.err.find(GetParam().said), std::string::npos) << result.err;
}

INSTANTIATE_TEST_SUITE_P(
    Takes, TakeReport,
    ::testing::Values(
        TakeCase{"NormalizedTwoCycle",
                 {"--a", "0.6", "--b", "0.3", "--reset-at", "0.05", "--seconds", "0.25"},
                 "the orbit after the last reset, normalisation undone: a cycle of period 2: a tone of 22050 Hz"},
        TakeCase{"StopAfterAReset",
                 {"--a", "-0.5", "--normalize", "off", "--reset-at", "0.1", "--seconds", "0.2"},
                 "the orbit after the last reset: stops: the guard stopped the map after 2 iterates"},
        TakeCase{"TooShortAfterTheLastReset",
                 {"--reset-at", "0.195", "--seconds", "0.2"},
                 "the orbit after the last reset, normalisation undone: too short to classify, 219 steps"},
        TakeCase{"GatedTakesAreNotJudged", {"--mode", "gated", "--seconds", "0.1"}, ""}),
    [](const ::testing::TestParamInfo<TakeCase>& info) { return info.param.name; });

// --- the CSV --------------------------------------------------------------------

std::vector<std::vector<std::string>> readCsv(const std::string& text)
{
    std::vector<std::vector<std::string>> rows;
    for (const std::string& line : lines(text)) {
        std::vector<std::string> cells;
        std::stringstream stream(line);
        for (std::string cell; std::getline(stream, cell, ',');) cells.push_back(cell);
        if (!line.empty() && line.back() == ',') cells.push_back("");
        rows.push_back(cells);
    }
    return rows;
}

float signalOf(const std::string& volts) { return render::signalFromVolts(std::strtod(volts.c_str(), nullptr)); }

struct PlaneCase {
    std::string name;
    std::vector<std::string> arguments;
    size_t acrossColumn, upColumn;  // which CSV columns the plane varies
    double acrossLow, acrossHigh, upLow, upHigh;
    std::vector<std::string> fixed;  // the other two columns, as printed
};

void PrintTo(const PlaneCase& plane, std::ostream* os) { *os << plane.name; }

class ChartCsv : public ::testing::TestWithParam<PlaneCase> {};

TEST_P(ChartCsv, OneRowPerPointInOrderWithValuesThatReadBack)
{
    const PlaneCase& plane = GetParam();
    TemporaryFolder folder;
    std::vector<std::string> arguments{"--chart-data", folder / "chart.csv", "--size", "5x3", "--steps", "256",
                                       "--quiet"};
    arguments.insert(arguments.end(), plane.arguments.begin(), plane.arguments.end());
    const Result result = runTool(arguments);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");

    const auto rows = readCsv(readText(folder / "chart.csv"));
    ASSERT_EQ(rows.size(), 1u + 15u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"a", "b", "x0", "y0", "outcome", "period", "steps", "lyapunov"}));
    for (size_t point = 0; point < 15; ++point) {
        const std::vector<std::string>& row = rows[1 + point];
        ASSERT_EQ(row.size(), 8u) << "row " << point;
        const auto i = static_cast<int32_t>(point % 5), j = static_cast<int32_t>(point / 5);
        EXPECT_EQ(signalOf(row[plane.acrossColumn]),
                  render::signalFromVolts(render::pointVolts(plane.acrossLow, plane.acrossHigh, 5, i)));
        EXPECT_EQ(signalOf(row[plane.upColumn]),
                  render::signalFromVolts(render::pointVolts(plane.upLow, plane.upHigh, 3, j)));
        size_t fixedIndex = 0;
        for (size_t column = 0; column < 4; ++column) {
            if (column != plane.acrossColumn && column != plane.upColumn) {
                EXPECT_EQ(row[column], plane.fixed[fixedIndex++]);
            }
        }

        const std::string& outcome = row[4];
        const bool cycle = outcome == "cycle", stops = outcome == "stops";
        EXPECT_TRUE(cycle || stops || outcome == "quasi" || outcome == "chaos") << outcome;
        const int period = std::atoi(row[5].c_str());
        EXPECT_TRUE(cycle ? period >= 1 && period <= render::kPeriodLimit : row[5] == "0") << row[5];
        const long steps = std::atol(row[6].c_str());
        EXPECT_TRUE(stops ? steps >= 0 && steps < 256 : row[6] == "256") << row[6];
        EXPECT_EQ(row[7].empty(), cycle || stops) << row[7];
    }
}

INSTANTIATE_TEST_SUITE_P(
    Planes, ChartCsv,
    ::testing::Values(PlaneCase{"AB", {"--a-range", "0.5:1.5", "--b-range", "-0.3:0.3", "--x0", "0.1"}, 0, 1, 0.5,
                                1.5, -0.3, 0.3, {"0.1", "0"}},
                      PlaneCase{"XY", {"--plane", "xy", "--a", "1.4", "--b", "0.3", "--x0-range", "-2:2"}, 2, 3,
                                -2.0, 2.0, -2.0, 2.0, {"1.4", "0.3"}}),
    [](const ::testing::TestParamInfo<PlaneCase>& info) { return info.param.name; });

// --- the chart against single takes ----------------------------------------------

// What a take's report says of an orbit that a CSV row describes.
std::string takeWordsFor(const std::vector<std::string>& row)
{
    if (row[4] == "stops") return "the guard stopped the map after " + row[6] + " iterates";
    if (row[4] == "cycle") return "a cycle of period " + row[5] + ":";
    return row[4] + ": " + (row[4] == "quasi" ? "no cycle up to period 64, " : "") +
           "largest Lyapunov exponent " + row[7] + " per step";
}

TEST(ChartAgainstTakes, EveryPointIsWhatASingleTakeAtItsSettingsReports)
{
    // Several threads' worth of points around the usual values, where the
    // map stops, cycles and is chaotic, at a number of steps that is a whole
    // take of 0.1 s.
    TemporaryFolder folder;
    const Result chart = runTool({"--chart-data", folder / "chart.csv", "--size", "24x12", "--steps", "4410",
                                  "--a-range", "0.9:2.1", "--b-range", "-0.3:0.5", "--x0", "0.3", "--quiet"});
    ASSERT_EQ(chart.exitCode, 0) << chart.err;
    const auto rows = readCsv(readText(folder / "chart.csv"));
    ASSERT_EQ(rows.size(), 1u + 288u);

    std::map<std::string, int> seen;
    for (size_t point = 1; point < rows.size(); point += 7) {
        const std::vector<std::string>& row = rows[point];
        ++seen[row[4]];
        const Result take = runTool({"--a", row[0], "--b", row[1], "--x0", row[2], "--y0", row[3], "--normalize", "off",
                                     "--seconds", "0.1", "--out", folder / "take.wav"});
        ASSERT_EQ(take.exitCode, 0) << take.err;
        EXPECT_NE(take.err.find("the orbit: "), std::string::npos) << take.err;
        EXPECT_NE(take.err.find(takeWordsFor(row)), std::string::npos) << "point " << point << ": " << take.err;
    }
    EXPECT_GT(seen["stops"], 0);
    EXPECT_GT(seen["cycle"], 0);
    EXPECT_GT(seen["chaos"], 0);
}

// --- the picture -----------------------------------------------------------------

TEST(ChartPicture, DecodesWithThePlaneInItsColours)
{
    TemporaryFolder folder;
    const Result result = runTool({"--chart", folder / "chart.png", "--size", "120x80", "--steps", "1024"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.err.find("wrote " + folder / "chart.png"), std::string::npos) << result.err;

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, (folder / "chart.png").c_str())) << image.message;
    EXPECT_EQ(image.width, 1200u);
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) << image.message;

    // The constant's deep blue covers much of the default plane; chaos is warm.
    size_t constant = 0, warm = 0;
    for (size_t i = 0; i < pixels.size(); i += 3) {
        constant += pixels[i] == 40 && pixels[i + 1] == 70 && pixels[i + 2] == 150;
        warm += pixels[i] > 180 && pixels[i + 2] < 100 && pixels[i + 1] < pixels[i];
    }
    EXPECT_GT(constant, 50000u);
    EXPECT_GT(warm, 500u);
}

}  // namespace
