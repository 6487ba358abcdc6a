#include "options.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "generator/map_step.h"
#include "settings.h"
#include "tool.h"
#include "tools/render/scenario.h"

namespace command_line {

namespace {

std::string volts(float signal) { return shortNumber(render::voltsFromSignal(signal)) + " V"; }

// Each output option writes one format, and its file is named for it.
struct OutputFormat {
    const char* option;
    const char* extension;  // in lower case; any case is accepted
    const char* format;
};
constexpr OutputFormat kOutputFormats[] = {
    {"--out", ".wav", "a WAV file"},
    {"--plot", ".png", "a PNG picture"},
    {"--chart", ".png", "a PNG picture"},
    {"--chart-data", ".csv", "a CSV table"},
};

// Refuses an output named for another format, and standard output.
void refuseMisnamedOutput(const CLI::App& app, const OutputFormat& output)
{
    if (app.count(output.option) == 0) return;
    const std::string path = app.get_option(output.option)->as<std::string>();
    const std::string file = std::string("FILE") + output.extension;
    const std::string example = std::string(output.option) + " " + file;
    if (path == "-")
        throw UsageError(std::string(output.option) + " -: tessel-render writes files, not standard output; to pipe, "
                         "write a file and read that: " + example + " && cat " + file + " | ...");
    std::string ending = path.substr(path.size() - std::min(path.size(), std::strlen(output.extension)));
    std::transform(ending.begin(), ending.end(), ending.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ending != output.extension)
        throw UsageError(std::string(output.option) + " " + path + ": it writes " + output.format + ", so give " +
                         example);
}

// Options a take or a chart takes alone; the rest go with both.
constexpr const char* kTakeOptions[] = {"--seconds", "--block",    "--mode", "--gate-hz",
                                        "--normalize", "--reset-at", "--out",  "--plot"};
constexpr const char* kChartOptions[] = {"--plane", "--a-range", "--b-range", "--x0-range",
                                         "--y0-range", "--size", "--steps"};

}  // namespace

void addTakeOptions(CLI::App& app, Arguments& arguments)
{
    app.add_option("--seconds", arguments.seconds, "length, above 0 and at most " + shortNumber(kMaxSeconds))
        ->type_name("S")->capture_default_str();
    app.add_option("--rate", arguments.rate, "sample rate, " + between(kMinRate, kMaxRate))
        ->type_name("HZ")->capture_default_str();
    app.add_option("--block", arguments.block,
                   "host block size: samples per process call, " + between(kMinBlock, kMaxBlock))
        ->type_name("N")->capture_default_str();
    app.add_option("--mode", arguments.mode, "continuous: one step per sample; gated: one step per Gate clock tick")
        ->check(CLI::IsMember({"continuous", "gated"}))->type_name("MODE")->capture_default_str();
    app.add_option("--gate-hz", arguments.gateHz,
                   "Gate clock in gated mode: a 0/" + volts(host::kGateHigh) +
                       " square wave rising at sample 0; above 0, at most rate/2")
        ->type_name("HZ")->capture_default_str();
    app.add_option("--a", arguments.a, "constant a")->type_name("V")->capture_default_str();
    app.add_option("--b", arguments.b, "constant b")->type_name("V")->capture_default_str();
    app.add_option("--x0", arguments.x0, "initial x")->type_name("V")->capture_default_str();
    app.add_option("--y0", arguments.y0, "initial y")->type_name("V")->capture_default_str();
    app.add_option("--normalize", arguments.normalize,
                   "on: outputs scaled by " + shortNumber(tessel::kNormalizeGain) + ", to about +-5 V")
        ->check(CLI::IsMember({"on", "off"}))->type_name("on|off")->capture_default_str();
    app.add_option("--reset-at", arguments.resetAt,
                   "a one-sample " + volts(host::kResetPulse) + " pulse on Reset at that time; repeatable")
        ->type_name("S")->allow_extra_args(false);
    app.add_option("--out", arguments.out, "the WAV file to write")->type_name("FILE.wav");
    app.add_option("--plot", arguments.plot, "the PNG picture to write, another file than --out")
        ->type_name("FILE.png");
    app.add_option("--module", arguments.module, "the module library to host; no output may replace it")
        ->type_name("PATH")->capture_default_str();
    app.add_flag("--quiet", arguments.quiet, "no report on stderr, only errors");
}

void addChartOptions(CLI::App& app, Arguments& arguments)
{
    app.add_option("--chart", arguments.chart,
                   "draw the chart of the plane instead of a take: the PNG picture to write")
        ->type_name("FILE.png");
    app.add_option("--chart-data", arguments.chartData,
                   "the chart's table: one CSV row per point, another file than --chart")
        ->type_name("FILE.csv");
    app.add_option("--plane", arguments.plane, "chart over ab: a across, b up (x0, y0 fixed); xy: x0 across, y0 up "
                                               "(a, b fixed): which starting points run and which stop")
        ->check(CLI::IsMember({"ab", "xy"}))->type_name("ab|xy")->capture_default_str();
    app.add_option("--a-range", arguments.aRange, "chart: the a axis, LO below HI")->type_name("LO:HI")
        ->capture_default_str();
    app.add_option("--b-range", arguments.bRange, "chart: the b axis")->type_name("LO:HI")->capture_default_str();
    app.add_option("--x0-range", arguments.x0Range, "chart: the x0 axis")->type_name("LO:HI")->capture_default_str();
    app.add_option("--y0-range", arguments.y0Range, "chart: the y0 axis")->type_name("LO:HI")->capture_default_str();
    app.add_option("--size", arguments.size,
                   "chart: points across and up, each " + between(kLeastChartSide, kMostChartSide))
        ->type_name("WxH")->capture_default_str();
    app.add_option("--steps", arguments.steps,
                   "chart: map steps per point, " + between(kLeastChartSteps, kMostChartSteps))
        ->type_name("N")->capture_default_str();
}

void refuseOptionsOfTheOtherKind(const CLI::App& app, bool chart)
{
    if (chart) {
        for (const char* option : kTakeOptions)
            if (app.count(option) > 0)
                throw UsageError(std::string(option) + " is for a take: it does not go with --chart or --chart-data");
        return;
    }
    for (const char* option : kChartOptions)
        if (app.count(option) > 0)
            throw UsageError(std::string(option) + " is for a chart: give --chart FILE.png or --chart-data FILE.csv");
}

void refuseMisnamedOutputs(const CLI::App& app)
{
    for (const OutputFormat& output : kOutputFormats) refuseMisnamedOutput(app, output);
}

}  // namespace command_line
