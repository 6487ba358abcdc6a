// The chart: what the map does over a plane of two inputs, written to a
// picture, a CSV table or both, and reported on stderr.
#pragma once

#include "options.h"
#include "tools/render/chart.h"

namespace command_line {

int runChart(const Arguments& arguments, const render::ChartSettings& settings);

}  // namespace command_line
