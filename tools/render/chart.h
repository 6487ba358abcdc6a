// The chart: for every point of a grid over a plane of the inputs, what the
// map does there. A few probe points first check, hosted, that the module
// library makes the map's own states and keeps the host interface; then the
// map's step judges the points, several at once on each thread. A library
// whose states differ is charted hosted, one instance per thread, each
// restarted per point by a Reset pulse.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "analysis/orbit_analysis.h"
#include "host/emulator/hosted_module.h"
#include "host/session/drive.h"

namespace render {

enum class Plane {
    AB,  // a across, b up; x0 and y0 fixed
    XY,  // x0 across, y0 up (the basin); a and b fixed
};

struct ChartSettings {
    Plane plane = Plane::AB;
    // The plane's ranges in volts, low below high.
    double acrossLow = -1.0, acrossHigh = 4.0;
    double upLow = -1.0, upHigh = 1.0;
    int32_t width = 600;                // points across
    int32_t height = 400;               // points up
    int64_t steps = host::kChartSteps;  // iterates per point, from the first after the reset
    int32_t sampleRate = host::kUsualRate;
    // The inputs the plane leaves fixed, in the signal scale.
    float a = 0.0f, b = 0.0f, x0 = 0.0f, y0 = 0.0f;
    // The band of rows charted, counted from the bottom, `rowTo` excluded;
    // -1: up to the top.
    int32_t rowFrom = 0, rowTo = -1;

    int32_t bandRows() const { return (rowTo < 0 ? height : rowTo) - rowFrom; }
};

using ChartInputs = analysis::PointStart;

class Chart {
public:
    explicit Chart(const ChartSettings& settings);

    const ChartSettings settings;
    std::vector<float> across, up;             // each column's and each row's input, signal scale
    int32_t firstRow = 0;                      // the band's lowest row
    std::vector<analysis::OrbitClass> points;  // the band's, row by row from the lowest, each row from the left
    unsigned threads = 0;                      // that computed them
    bool hosted = false;                       // judged by hosted instances

    ChartInputs inputsAt(size_t point) const;
};

// Runs on the calling thread about ten times a second with the number of
// points done; it may throw to abandon the chart.
using ChartProgress = std::function<void(int64_t done)>;

// Whether an instance of `library` makes the map's own states, bit for bit,
// at a few probe points (among them the chart's corners and middle). Throws
// std::runtime_error when it makes no instance or breaks the host interface.
bool makesMapStates(const host::ModuleLibrary& library, const ChartSettings& settings);

// Charts the plane on `threads` threads (0: one per core), by the map's step,
// or `hosted` by instances of `library`. Throws std::runtime_error when the
// library makes no instance.
Chart computeChart(const host::ModuleLibrary& library, const ChartSettings& settings, unsigned threads,
                   const ChartProgress& progress, bool hosted);

// "stops 61.2%, constant 20.1%, ..." over the whole chart.
std::string chartShares(const Chart& chart);

}  // namespace render
