// The chart as a table: one CSV row per point, its inputs in volts and what
// the map does there.
#pragma once

#include <cstdio>

#include "chart.h"

namespace render {

// Header and one row per point; returns false when the file could not be written.
bool writeChartCsv(std::FILE* file, const Chart& chart);

}  // namespace render
