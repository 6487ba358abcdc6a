// The chart's judgement, per map step: points of the zoomed chart near the
// period doublings (a 1.0 to 1.1 V, b 0.25 to 0.35 V), where cycles and
// chaos lie side by side, judged several at once as a chart's thread judges
// them, whole and its stepping alone. Both are timed per 1024 map steps,
// against the serial chain of 1024 in the same run.
#include <cstdint>
#include <vector>

#include <benchmark/benchmark.h>

#include "analysis/point_lanes.h"
#include "bench/cases.h"
#include "bench/instance.h"
#include "bench/report.h"
#include "host/session/drive.h"

namespace bench {

namespace {

constexpr int32_t kAcross = 60, kUp = 40;

std::vector<analysis::PointStart> zoomedPoints()
{
    std::vector<analysis::PointStart> points;
    for (int32_t j = 0; j < kUp; ++j)
        for (int32_t i = 0; i < kAcross; ++i)
            points.push_back({host::signalFromVolts(host::pointVolts(1.0, 1.1, kAcross, i)),
                              host::signalFromVolts(host::pointVolts(0.25, 0.35, kUp, j)), 0.0f, 0.0f});
    return points;
}

// The map steps a chart makes for the points: each point's iterates up to
// the one that trips the guard, or all of them.
int64_t mapStepsOf(const std::vector<analysis::OrbitClass>& verdicts)
{
    int64_t steps = 0;
    for (const analysis::OrbitClass& verdict : verdicts)
        steps += verdict.outcome == analysis::Outcome::Stops ? verdict.steps + 1 : verdict.steps;
    return steps;
}

void chartJudgement(benchmark::State& state)
{
    const std::vector<analysis::PointStart> points = zoomedPoints();
    std::vector<analysis::OrbitClass> verdicts(points.size());
    for (auto _ : state) {
        analysis::judgePoints(points, host::kChartSteps, verdicts);
        benchmark::DoNotOptimize(verdicts.data());
    }
}

void chartStepping(benchmark::State& state)
{
    const std::vector<analysis::PointStart> points = zoomedPoints();
    for (auto _ : state) analysis::stepPoints(points, host::kChartSteps);
}

}  // namespace

void registerChartCases()
{
    const std::vector<analysis::PointStart> points = zoomedPoints();
    std::vector<analysis::OrbitClass> verdicts(points.size());
    analysis::judgePoints(points, host::kChartSteps, verdicts);
    const double blocks = double(mapStepsOf(verdicts)) / kBlock;
    for (const auto& [name, function] :
         {std::pair{"chart/judgement", &chartJudgement}, std::pair{"chart/stepping", &chartStepping}}) {
        benchmark::RegisterBenchmark(name, function)->Unit(benchmark::kNanosecond);
        countBlocksPerIteration(name, blocks);
    }
}

}  // namespace bench
