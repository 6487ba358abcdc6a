// A take's report of the orbit after its last reset, judged as the chart
// judges a point.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tool_run.h"

namespace {

using namespace tool_run;

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
        // x0 moves, so some of the clock's restarts stop again; after 1 s none does.
        TakeCase{"StopsTheResetClockRestarted",
                 {"--a", "sine:1.4:0.02:0.5", "--b", "square:0.3:0.01:3", "--x0", "saw:0:0.5:1", "--reset-hz", "4"},
                 "the map stopped itself 4 times, first at sample 6922 (0.156961 s), each time until a reset "
                 "restarted it; it ran at the end"},
        TakeCase{"StoppedWhereABackWhereTheMapSounds",
                 {"--a", "steps:1,2.5,1@1.5", "--b", "0.3"},
                 "the map stopped itself at sample 29405 (0.66678 s): x and y stay exactly 0 until a reset, even "
                 "where a and b come back to where the map sounds, from 1.30032 s"}),
    [](const ::testing::TestParamInfo<TakeCase>& info) { return info.param.name; });

}  // namespace
