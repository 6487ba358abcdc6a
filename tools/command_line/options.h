// The options tessel-render takes, as the user typed them, and the limits
// their values must keep.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "analysis/orbit_analysis.h"
#include "host/emulator/hosted_module.h"
#include "host/session/drive.h"

namespace command_line {

constexpr double kMaxSeconds = host::kMostTakeSeconds;
constexpr int64_t kMinRate = host::kLeastRate;
constexpr int64_t kMaxRate = host::kMostRate;
constexpr int64_t kMinBlock = host::kLeastBlock;
constexpr int64_t kMaxBlock = host::kMostBlock;
constexpr int64_t kLeastChartSide = host::kLeastChartSide;
constexpr int64_t kMostChartSide = host::kMostChartSide;
constexpr int64_t kLeastChartSteps = analysis::kLeastStepsToClassify;
constexpr int64_t kMostChartSteps = host::kMostChartSteps;

// What the user typed; numbers stay text until checked, so every bad value
// gets the same kind of message.
struct Arguments {
    std::string seconds = "2";
    std::string rate = std::to_string(host::kUsualRate);
    std::string block = std::to_string(host::kUsualBlock);
    std::string mode = "continuous";
    std::string gateHz = std::to_string(host::kUsualGateHz);
    std::string a = "1.4", b = "0.3", x0 = "0", y0 = "0";
    std::string normalize = "on";
    std::vector<std::string> resetAt;
    std::string resetHz;
    std::vector<std::string> inputs;  // PIN=FILE.wav[:CHANNEL]
    std::string out, plot;
    std::string module = host::builtModulePath();
    bool quiet = false;
    // The chart, drawn instead of a take.
    std::string chart, chartData;
    std::string plane = "ab";
    std::string aRange = "-1:4", bRange = "-1:1", x0Range = "-2:2", y0Range = "-2:2";
    std::string size = "600x400";
    std::string steps = std::to_string(host::kChartSteps);
    std::string rows;  // FROM:TO, a band of the chart's rows
};

void addTakeOptions(CLI::App& app, Arguments& arguments);
// What --help says of signals and WAV inputs, and which options go together.
std::string patchingHelp();
// The chart instead of a take: no take-only option goes with it.
void addChartOptions(CLI::App& app, Arguments& arguments);

// Refuses an option of a take with a chart's, or the other way round.
void refuseOptionsOfTheOtherKind(const CLI::App& app, bool chart);

// Refuses an output named for another format than its option writes, and
// standard output.
void refuseMisnamedOutputs(const CLI::App& app);

}  // namespace command_line
