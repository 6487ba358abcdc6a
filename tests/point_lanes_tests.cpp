// The chart's lanes against the hosted module: points judged several at once
// by the map's step are the states the built module makes and the verdicts
// its hosted judge gives, bit for bit, for every kind of orbit.
#include <bit>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/point_lanes.h"
#include "host/emulator/hosted_module.h"
#include "host/emulator/library.h"
#include "host/session/drive.h"
#include "host/session/point_judge.h"

namespace {

struct LanePoint {
    std::string kind;
    double a, b, x0, y0;  // volts
};

// More points than lanes, of every outcome, so that lanes finish at
// different steps and take new points in flight.
const LanePoint kPoints[] = {
    {"stops at once", 2.5, 0.3, 0.0, 0.0},
    {"stops after a transient", 1.3, -0.9, 0.0, 0.0},
    {"constant", 0.3632, 0.3, 0.0, 0.0},
    {"two-cycle", 0.6, 0.3, 0.0, 0.0},
    {"period doubled near its bifurcation", 1.0, 0.3, 0.0, 0.0},
    {"chaos", 1.4, 0.3, 0.0, 0.0},
    {"chaos from another start", 1.4, 0.3, 0.5, -0.3},
    {"rounding cycle of chaotic floats", 1.6583334, 0.085, 0.0, 0.0},
    {"rounding cycle beside the map's 3-cycle", 1.81625, 0.02005, 0.0, 0.0},
    {"winding round the fixed point at b -1 V", 0.5, -1.0, 0.0, 0.0},
    {"neutral rounding cycle at b -1 V", 1.0, -1.0, 0.0, 0.0},
    {"start outside the guard", 1.4, 0.3, 1.9, 1.9},
};

std::vector<analysis::PointStart> startsOf()
{
    std::vector<analysis::PointStart> starts;
    for (const LanePoint& point : kPoints)
        starts.push_back({host::signalFromVolts(point.a), host::signalFromVolts(point.b),
                          host::signalFromVolts(point.x0), host::signalFromVolts(point.y0)});
    return starts;
}

TEST(PointLanes, MakeTheHostedModulesStatesAtEveryKindOfPoint)
{
    host::HostedModule module;
    host::PointJudge judge(module, host::kUsualRate);
    ASSERT_TRUE(judge.ready());
    const std::vector<analysis::PointStart> starts = startsOf();
    for (size_t k = 0; k < starts.size(); ++k) EXPECT_TRUE(judge.givesMapStates(starts[k], 8192)) << kPoints[k].kind;
}

// A step count the lanes' rounds and blocks do not divide, the chart's
// default and a long one.
class LaneVerdicts : public ::testing::TestWithParam<int64_t> {};

TEST_P(LaneVerdicts, AreTheHostedJudgesBitForBit)
{
    const int64_t steps = GetParam();
    host::HostedModule module;
    host::PointJudge judge(module, host::kUsualRate);
    ASSERT_TRUE(judge.ready());
    const std::vector<analysis::PointStart> starts = startsOf();
    std::vector<analysis::OrbitClass> lanes(starts.size());
    analysis::judgePoints(starts, steps, lanes);

    std::vector<std::string> outcomes;
    for (size_t k = 0; k < starts.size(); ++k) {
        const analysis::PointStart& p = starts[k];
        const analysis::OrbitClass hosted = judge.judge(p.a, p.b, p.x0, p.y0, steps);
        const analysis::OrbitClass& laned = lanes[k];
        SCOPED_TRACE(kPoints[k].kind);
        EXPECT_EQ(laned.outcome, hosted.outcome);
        EXPECT_EQ(laned.period, hosted.period);
        EXPECT_EQ(laned.roundingCycle, hosted.roundingCycle);
        EXPECT_EQ(laned.steps, hosted.steps);
        EXPECT_EQ(laned.settle, hosted.settle);
        EXPECT_EQ(std::bit_cast<uint64_t>(laned.lyapunov), std::bit_cast<uint64_t>(hosted.lyapunov));
        EXPECT_EQ(std::bit_cast<uint64_t>(laned.secondLyapunov), std::bit_cast<uint64_t>(hosted.secondLyapunov));
        outcomes.push_back(std::string(analysis::outcomeName(hosted.outcome)) + (hosted.roundingCycle ? "~" : ""));
    }
    // The table holds what its names say.
    if (steps == host::kChartSteps) {
        const std::vector<std::string> expected{"stops", "stops",  "cycle",  "cycle", "cycle",  "chaos",
                                                "chaos", "chaos~", "chaos~", "quasi", "quasi~", "stops"};
        EXPECT_EQ(outcomes, expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Steps, LaneVerdicts,
                         ::testing::Values(int64_t{300}, int64_t{4410}, host::kChartSteps, int64_t{100000}));

}  // namespace
