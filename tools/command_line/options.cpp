#include "options.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "generator/map_step.h"
#include "host/session/signals/signal.h"
#include "numbers/write.h"
#include "settings.h"
#include "tool.h"
#include "tools/render/input_wav.h"
#include "tools/render/scenario.h"

namespace command_line {

namespace {

std::string volts(float signal) { return numbers::generalText(render::voltsFromSignal(signal)) + " V"; }

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
        throw UsageError(std::string(output.option) +
                         " -: tessel-render writes files, not standard output; to pipe, "
                         "write a file and read that: " +
                         example + " && cat " + file + " | ...");
    std::string ending = path.substr(path.size() - std::min(path.size(), std::strlen(output.extension)));
    std::transform(ending.begin(), ending.end(), ending.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ending != output.extension)
        throw UsageError(std::string(output.option) + " " + path + ": it writes " + output.format + ", so give " +
                         example);
}

// Options a take or a chart takes alone; the rest go with both. A chart
// takes --seconds too, for the length of a moving --a's or --b's path.
constexpr const char* kTakeOptions[] = {"--block",    "--mode",  "--gate-hz", "--normalize", "--reset-at",
                                        "--reset-hz", "--input", "--out",     "--plot"};
constexpr const char* kChartOptions[] = {"--plane",    "--a-range", "--b-range", "--x0-range",
                                         "--y0-range", "--size",    "--steps",   "--rows"};

}  // namespace

void addTakeOptions(CLI::App& app, Arguments& arguments)
{
    app.add_option("--seconds", arguments.seconds, "length, above 0 and at most " + numbers::generalText(kMaxSeconds))
        ->type_name("S")
        ->capture_default_str();
    app.add_option("--rate", arguments.rate, "sample rate, " + between(kMinRate, kMaxRate))
        ->type_name("HZ")
        ->capture_default_str();
    app.add_option("--block", arguments.block,
                   "host block size: samples per process call, " + between(kMinBlock, kMaxBlock))
        ->type_name("N")
        ->capture_default_str();
    app.add_option("--mode", arguments.mode, "continuous: one step per sample; gated: one step per Gate clock tick")
        ->check(CLI::IsMember({"continuous", "gated"}))
        ->type_name("MODE")
        ->capture_default_str();
    app.add_option("--gate-hz", arguments.gateHz,
                   "Gate clock in gated mode: a 0/" + volts(host::kGateHigh) +
                       " square wave rising at sample 0; above 0, at most rate/2")
        ->type_name("HZ")
        ->capture_default_str();
    app.add_option("--a", arguments.a, "a: volts, or a signal (see Signals below)")
        ->type_name("V|SIGNAL")
        ->capture_default_str();
    app.add_option("--b", arguments.b, "b: volts, or a signal")->type_name("V|SIGNAL")->capture_default_str();
    app.add_option("--x0", arguments.x0, "initial x, taken at each reset: volts, or a signal")
        ->type_name("V|SIGNAL")
        ->capture_default_str();
    app.add_option("--y0", arguments.y0, "initial y, taken at each reset: volts, or a signal")
        ->type_name("V|SIGNAL")
        ->capture_default_str();
    app.add_option("--normalize", arguments.normalize,
                   "on: outputs scaled by " + numbers::generalText(tessel::kNormalizeGain) + ", to about +-5 V")
        ->check(CLI::IsMember({"on", "off"}))
        ->type_name("on|off")
        ->capture_default_str();
    app.add_option("--reset-at", arguments.resetAt,
                   "a one-sample " + volts(host::kResetPulse) + " pulse on Reset at that time; repeatable")
        ->type_name("S")
        ->allow_extra_args(false);
    app.add_option("--reset-hz", arguments.resetHz,
                   "a Reset clock: a one-sample " + volts(host::kResetPulse) +
                       " pulse at each rising edge of a Gate clock of HZ, the first at sample 0; with --reset-at, "
                       "both pulse; above 0, at most rate/2")
        ->type_name("HZ");
    app.add_option("--input", arguments.inputs,
                   "drive an input (gate, reset, x0, y0, a or b) from a channel of a WAV file at the take's rate, "
                   "channels counted from 1; a sample is the pin's value (volts / 10); repeatable")
        ->type_name(render::kInputGrammar)
        ->allow_extra_args(false);
    app.add_option("--out", arguments.out, "the WAV file to write")->type_name("FILE.wav");
    app.add_option("--plot", arguments.plot, "the PNG picture to write, another file than --out")
        ->type_name("FILE.png");
    app.add_option("--module", arguments.module, "the module library to host; no output may replace it")
        ->type_name("PATH")
        ->capture_default_str();
    app.add_flag("--quiet", arguments.quiet, "no report on stderr, only errors");
}

std::string patchingHelp()
{
    return "Signals (--a, --b, --x0, --y0), in volts, Hz and cycles:\n"
           "  VOLTS                          a constant, as a knob gives it\n"
           "  SHAPE:CENTRE:DEPTH:HZ[:PHASE]  SHAPE sine, triangle, square or saw, swinging DEPTH volts either side\n"
           "                                 of CENTRE (a negative DEPTH inverts it), HZ from " +
           std::to_string(host::kLeastSignalHz) +
           " to half the rate,\n"
           "                                 PHASE in cycles from 0 to 1 (default 0)\n"
           "  ramp:FROM:TO                   FROM at the take's first sample, TO at its last, in a straight line\n"
           "  steps:V1,V2,...@HZ             a sequencer: each value for 1/HZ s in turn from sample 0, looping; up "
           "to " +
           std::to_string(host::kMostSteps) +
           " values\n"
           "Over a cycle from phase 0: sine rises from CENTRE to CENTRE+DEPTH at 1/4; triangle joins the same "
           "corners by straight lines; square is CENTRE+DEPTH for the first half and CENTRE-DEPTH for the second, "
           "so at its jump, half a cycle in, it takes CENTRE-DEPTH; saw rises straight from CENTRE-DEPTH and at "
           "its jump, a whole cycle in, takes CENTRE-DEPTH again. Values are not held to a knob's range. x0 and y0 "
           "act only at a reset (--reset-at, --reset-hz, --input reset=...).\n"
           "WAV inputs: --input PIN=FILE.wav[:CHANNEL] gives a pin one channel of a file at the take's rate; a "
           "file shorter than the take holds its last sample. A pin takes one source: --input a=... goes without "
           "--a, --input reset=... without --reset-at and --reset-hz, --input gate=... with --mode gated and "
           "without --gate-hz; no output may be an input's file.\n"
           "A chart (--chart) takes a moving --a and/or --b, the other as volts, and draws their path over the "
           "ab plane, as long as --seconds at --rate; the other take options, moving x0 or y0 and --plane xy "
           "with a moving input go with a take only.\n";
}

void addChartOptions(CLI::App& app, Arguments& arguments)
{
    app.add_option("--chart", arguments.chart,
                   "draw the chart of the plane instead of a take: the PNG picture to write")
        ->type_name("FILE.png");
    app.add_option("--chart-data", arguments.chartData,
                   "the chart's table: one CSV row per point, another file than --chart")
        ->type_name("FILE.csv");
    app.add_option("--plane", arguments.plane,
                   "chart over ab: a across, b up (x0, y0 fixed); xy: x0 across, y0 up "
                   "(a, b fixed): which starting points run and which stop")
        ->check(CLI::IsMember({"ab", "xy"}))
        ->type_name("ab|xy")
        ->capture_default_str();
    app.add_option("--a-range", arguments.aRange, "chart: the a axis, LO below HI")
        ->type_name("LO:HI")
        ->capture_default_str();
    app.add_option("--b-range", arguments.bRange, "chart: the b axis")->type_name("LO:HI")->capture_default_str();
    app.add_option("--x0-range", arguments.x0Range, "chart: the x0 axis")->type_name("LO:HI")->capture_default_str();
    app.add_option("--y0-range", arguments.y0Range, "chart: the y0 axis")->type_name("LO:HI")->capture_default_str();
    app.add_option("--size", arguments.size,
                   "chart: points across and up, each " + between(kLeastChartSide, kMostChartSide))
        ->type_name("WxH")
        ->capture_default_str();
    app.add_option("--steps", arguments.steps,
                   "chart: map steps per point, " + between(kLeastChartSteps, kMostChartSteps))
        ->type_name("N")
        ->capture_default_str();
    app.add_option("--rows", arguments.rows,
                   "chart: only the rows FROM to TO (TO excluded), counted from the bottom as the CSV writes them; "
                   "with --chart-data alone, its header only from row 0: the bands' tables, joined in order, are "
                   "the whole chart's")
        ->type_name("FROM:TO");
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
