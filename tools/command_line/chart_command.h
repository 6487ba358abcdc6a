// The chart: what the map does over a plane of two inputs, written to a
// picture, a CSV table or both, and reported on stderr; a moving a or b
// drawn as its path over the plane.
#pragma once

#include "options.h"
#include "settings.h"

namespace command_line {

int runChart(const Arguments& arguments, const ChartAsked& asked);

}  // namespace command_line
