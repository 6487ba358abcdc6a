// The same chart by every road: against the map's own driving and single
// takes, in bands of rows joined, and through the host for a library whose
// states differ.
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/orbit_analysis.h"
#include "chart_rows.h"
#include "host/emulator/library.h"
#include "tool_run.h"

namespace {

using namespace tool_run;

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
        const analysis::OrbitClass judged = analysis::judgePoint(signalOf(row[0]), signalOf(row[1]), signalOf(row[2]),
                                                                 signalOf(row[3]), 4410);
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
    EXPECT_EQ(
        written("0.csv", {"--rows", "0:1"}) + written("1.csv", {"--rows", "1:4"}) + written("4.csv", {"--rows", "4:7"}),
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

}  // namespace
