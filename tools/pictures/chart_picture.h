// The chart as a picture, in the look of the take's picture: the plane of two
// inputs coloured by what the map does at each point, its axes in volts, one
// point marked, and a legend of what each colour means and, for cycles,
// sounds like.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "analysis/orbit_analysis.h"

namespace pictures {

// What the picture shows of a chart.
struct ChartPlot {
    int32_t width, height;                            // points across and up
    const std::vector<analysis::OrbitClass>& points;  // row by row from the lowest, each row from the left
    // The plane's ranges in volts, and the names of the inputs across and up.
    double acrossLow, acrossHigh, upLow, upHigh;
    std::string acrossName, upName;
    // A point ringed and labelled where it lies inside the plane.
    double markAcross, markUp;
    std::string markLabel;
    int64_t steps;       // iterates judged per point: the stops' scale
    int32_t sampleRate;  // the rate a cycle's tone is named at
    // A path over the plane in volts (across, up), drawn as a line from its
    // first point on; the mark is then its start.
    std::vector<std::pair<double, double>> path = {};
};

struct ChartCaption {
    std::string title;
    std::string settings;
    std::string shares;  // what share of the points does what
};

// Throws std::runtime_error when the PNG cannot be encoded.
void writeChartPng(std::FILE* file, const ChartPlot& plot, const ChartCaption& caption);

}  // namespace pictures
