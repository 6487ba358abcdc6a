// The chart as a table: one CSV row per point, its inputs in volts and what
// the map does there.
#pragma once

#include <cstdio>
#include <string>

#include "chart.h"

namespace render {

// The shortest decimal text of volts that reads back, through the tool's
// volts-to-signal conversion, to `signal`.
std::string voltsText(float signal);

// Header and one row per point; returns false when the file could not be written.
bool writeChartCsv(std::FILE* file, const Chart& chart);

}  // namespace render
