// The chart as tessel-render writes it: the CSV, its picture, its agreement
// with the map's own driving and with single takes, and a take's report of
// its orbit.
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <png.h>

#include "analysis/orbit_analysis.h"
#include "generator/map_step.h"
#include "host/session/drive.h"
#include "host/emulator/hosted_module.h"
#include "host/emulator/library.h"
#include "tool_run.h"

namespace {

using namespace tool_run;

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
                 "in short, after the last reset: a steady tone of 22,050 Hz, the Nyquist rate: above hearing\n"
                 "tessel-render: the orbit after the last reset, normalisation undone: a cycle of period 2: a tone of "
                 "22050 Hz"},
        TakeCase{"StopAfterAReset",
                 {"--a", "-0.5", "--normalize", "off", "--reset-at", "0.1", "--seconds", "0.2"},
                 "in short, after the last reset: silent: the map stops after 2 steps and waits for Reset\n"
                 "tessel-render: the orbit after the last reset: stops: the guard stopped the map after 2 steps"},
        TakeCase{"TooShortAfterTheLastReset",
                 {"--reset-at", "0.195", "--seconds", "0.2"},
                 "the orbit after the last reset, normalisation undone: too short to classify, 219 steps"},
        // The chaotic floats fall into an exact 10-cycle after 3947 iterates.
        TakeCase{"RoundingCycle",
                 {"--a", "1.6583334", "--b", "0.085", "--normalize", "off", "--seconds", "0.2"},
                 "the orbit: chaos: a rounding cycle of period 10 (a tone of 4410 Hz from step 3947) that the map "
                 "has only as an unstable cycle, or not at all; largest Lyapunov exponent 0.21"},
        TakeCase{"GatedTakesAreNotJudged", {"--mode", "gated", "--seconds", "0.1"}, ""},
        // Where a or b moves, the sound window by window, and a stop that lasts.
        TakeCase{"SweepWindowByWindow",
                 {"--a", "ramp:0.5:1.5", "--b", "0", "--normalize", "off"},
                 "the sound along the take, in windows of 8192 samples, each judged as the chart judges a point at "
                 "its middle a and b, from where it starts or a Reset restarts its stopped map:\ntessel-render:   "
                 "from 0.000 s: a cycle of period 1, a constant\ntessel-render:   from 0.557 s: a cycle of period 2, "
                 "a tone of 22050 Hz"},
        TakeCase{"StoppedWhereABackWhereTheMapSounds",
                 {"--a", "steps:1,2.5,1@1.5", "--b", "0.3"},
                 "the map stopped itself at sample 29405 (0.66678 s): x and y stay exactly 0 until a reset, even "
                 "where a and b come back to where the map sounds, from 1.30032 s"}),
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

float signalOf(const std::string& volts) { return host::signalFromVolts(std::strtod(volts.c_str(), nullptr)); }

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
                                0, 1, 0.2, 1.8, -0.15, 0.45,
                                {"0", "0"},
                                {"cycle 1", "cycle 2", "cycle 2", "chaos", "cycle 2", "cycle 2", "chaos", "stops"}},
                      PlaneCase{"XY",
                                {"--plane", "xy", "--a", "1.4", "--b", "0.3", "--x0-range", "-2:2"},
                                2, 3, -2.0, 2.0, -2.0, 2.0,
                                {"1.4", "0.3"},
                                std::vector<std::string>(8, "stops|chaos")}),
    [](const ::testing::TestParamInfo<PlaneCase>& info) { return info.param.name; });

// --- the chart against the map's own driving and against takes --------------------

// What a take's report says of an orbit that a CSV row describes.
std::string takeWordsFor(const std::vector<std::string>& row)
{
    if (row[4] == "stops")
        return "stops: the guard stopped the map after " + row[6] + (row[6] == "1" ? " step" : " steps");
    if (row[4] == "cycle") return "a cycle of period " + row[5] + ": ";
    const std::string exponent = "largest Lyapunov exponent " + row[7] + " per step";
    if (row[5] != "0") return row[4] + ": a rounding cycle of period " + row[5];
    return row[4] + ": " + (row[4] == "quasi" ? "no cycle up to period 512, " : "") + exponent;
}

// The analysis is the same code for the chart, a take and a page; what differs
// is how the orbit reaches it. The chart's rows, from hosted instances
// restarted by Reset pulses, must be what judgePoint finds driving the map's
// step itself, and what a take reports after a reset with Normalize on, the
// gain undone.
TEST(ChartAgainstTakes, EveryPointIsWhatTheMapAndATakeAtItsSettingsGive)
{
    TemporaryFolder folder;
    const Result chart = runTool({"--chart-data", folder / "chart.csv", "--size", "24x12", "--steps", "4410",
                                  "--a-range", "0.9:2.1", "--b-range", "-0.3:0.5", "--x0", "0.3", "--quiet"});
    ASSERT_EQ(chart.exitCode, 0) << chart.err;
    const auto rows = readCsv(readText(folder / "chart.csv"));
    ASSERT_EQ(rows.size(), 1u + 288u);

    std::map<std::string, int> seen;
    for (size_t point = 1; point < rows.size(); ++point) {
        const std::vector<std::string>& row = rows[point];
        const analysis::OrbitClass judged =
            analysis::judgePoint(signalOf(row[0]), signalOf(row[1]), signalOf(row[2]), signalOf(row[3]), 4410);
        EXPECT_EQ(analysis::outcomeName(judged.outcome), row[4]) << "point " << point;
        EXPECT_EQ(std::to_string(judged.period), row[5]) << "point " << point;
        EXPECT_EQ(std::to_string(judged.steps), row[6]) << "point " << point;
        EXPECT_EQ(judged.settle < 0 ? "" : std::to_string(judged.settle), row[8]) << "point " << point;
        ++seen[row[4]];
    }
    EXPECT_GT(seen["stops"], 0);
    EXPECT_GT(seen["cycle"], 0);
    EXPECT_GT(seen["chaos"], 0);

    // The take's orbit starts after the reset at sample 2205 and lasts 4410 steps.
    const std::string seconds = "0.15002267573696145";  // (2206 + 4410) / 44100
    for (size_t point = 1; point < rows.size(); point += 7) {
        const std::vector<std::string>& row = rows[point];
        const Result take = runTool({"--a", row[0], "--b", row[1], "--x0", row[2], "--y0", row[3], "--reset-at", "0.05",
                                     "--seconds", seconds, "--out", folder / "take.wav"});
        ASSERT_EQ(take.exitCode, 0) << take.err;
        EXPECT_NE(take.err.find("the orbit after the last reset, normalisation undone: " + takeWordsFor(row)),
                  std::string::npos)
            << "point " << point << ": " << take.err;
        if (!row[8].empty()) {
            EXPECT_NE(take.err.find("from step " + row[8]), std::string::npos) << take.err;
        }
    }
}

// --- the picture -----------------------------------------------------------------

// A chart too big for one machine is charted in bands of rows on several; the
// bands' tables, joined in order, are the whole chart's, byte for byte.
TEST(ChartBands, JoinedInOrderAreTheWholeChart)
{
    TemporaryFolder folder;
    const std::vector<std::string> chart{"--size", "9x7", "--steps", "2000", "--a-range", "0.9:2.1", "--quiet"};
    const auto written = [&](const std::string& name, std::vector<std::string> band) {
        band.insert(band.begin(), chart.begin(), chart.end());
        band.insert(band.end(), {"--chart-data", folder / name});
        const Result result = runTool(band);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return readText(folder / name);
    };
    const std::string whole = written("whole.csv", {});
    EXPECT_EQ(written("all.csv", {"--rows", "0:7"}), whole);
    EXPECT_EQ(written("0.csv", {"--rows", "0:1"}) + written("1.csv", {"--rows", "1:4"}) +
                  written("4.csv", {"--rows", "4:7"}),
              whole);
    EXPECT_EQ(written("top.csv", {"--rows", "6:7"}).find("a,b"), std::string::npos);
}

// A library whose states are not the map's is charted through the host, as
// the tool says; the built one by the map's step, silently.
TEST(ChartHosting, ALibraryThatDiffersIsChartedHosted)
{
    TemporaryFolder folder;
    const auto charted = [&](const std::string& module) {
        const Result result = runTool({"--chart-data", folder / "c.csv", "--size", "12x8", "--steps", "2000",
                                       "--a-range", "0.9:2.1", "--quiet", "--module", module});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return std::pair{result.err, readText(folder / "c.csv")};
    };
    const auto [builtSaid, builtTable] = charted(host::builtModulePath());
    const auto [offSaid, offTable] = charted(OFFSET_MODULE_PATH);
    EXPECT_EQ(builtSaid, "");
    EXPECT_NE(offSaid.find("does not make the map's own states at the probe points: charting through the host"),
              std::string::npos)
        << offSaid;
    EXPECT_NE(offTable, builtTable);
}

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

