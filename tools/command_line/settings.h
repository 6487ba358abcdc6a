// What a take or a chart is asked to be, read from the options as typed:
// every value checked, and a bad one refused with a UsageError that names
// the option and what it expects.
#pragma once

#include <cstdint>
#include <string>

#include <CLI/CLI.hpp>

#include "options.h"
#include "tools/render/chart.h"
#include "tools/render/scenario.h"

namespace command_line {

// "LOW to HIGH", as the help and the errors give a range of whole numbers.
std::string between(int64_t low, int64_t high);

render::Scenario scenarioFrom(const Arguments& arguments, const CLI::App& app);
render::ChartSettings chartSettingsFrom(const Arguments& arguments, const CLI::App& app);

}  // namespace command_line
