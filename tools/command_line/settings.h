// What a take or a chart is asked to be, read from the options as typed:
// every value checked, and a bad one refused with a UsageError that names
// the option and what it expects.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <CLI/CLI.hpp>

#include "options.h"
#include "tools/render/chart.h"
#include "tools/render/scenario.h"

namespace command_line {

// "LOW to HIGH", as the help and the errors give a range of whole numbers.
std::string between(int64_t low, int64_t high);

// The take asked for, its WAV inputs opened and checked.
render::Scenario scenarioFrom(const Arguments& arguments, const CLI::App& app);
// Refuses an output that would write over an input's file.
void refuseOutputsOntoInputs(const Arguments& arguments, const render::Scenario& scenario);

// A chart, and for a moving a or b the path they take over its plane.
struct ChartAsked {
    render::ChartSettings settings;
    std::vector<std::pair<double, double>> path;  // (a, b) in volts, from the take's start; empty: none
};

ChartAsked chartFrom(const Arguments& arguments, const CLI::App& app);

}  // namespace command_line
