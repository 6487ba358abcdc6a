#include "settings.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "host/session/source.h"
#include "numbers/read.h"
#include "numbers/write.h"
#include "output_file.h"
#include "tool.h"

namespace command_line {

namespace {

double parseNumber(const std::string& option, const std::string& text)
{
    double value = 0.0;
    const std::string why = numbers::readNumber(text, value);
    if (!why.empty()) throw UsageError(option + ": " + why);
    return value;
}

int64_t parseWhole(const std::string& option, const std::string& text, int64_t low, int64_t high, const char* unit)
{
    const double value = parseNumber(option, text);
    if (value != std::floor(value)) throw UsageError(option + ": '" + text + "' is not a whole number");
    if (value < double(low) || value > double(high))
        throw UsageError(option + ": " + text + " is out of range: give " + between(low, high) + " " + unit);
    return static_cast<int64_t>(value);
}

// Volts or a signal, for a take of `take`'s rate and length.
host::Signal parseSignal(const std::string& option, const std::string& text, const host::SignalTake& take)
{
    host::SignalParse parse = host::parseSignal(text, take);
    if (!parse.ok()) throw UsageError(option + ": " + parse.error);
    return std::move(parse.signal);
}

bool movesIn(const host::Signal& signal, const host::SignalTake& take)
{
    return host::SignalSource(signal, take.samples).moves();
}

// The take's length in samples, as --seconds and --rate give it.
int64_t takeSamples(const Arguments& arguments, int32_t sampleRate)
{
    const double seconds = parseNumber("--seconds", arguments.seconds);
    if (!(seconds > 0.0 && seconds <= kMaxSeconds))
        throw UsageError("--seconds: " + arguments.seconds + " is out of range: give more than 0 and at most " +
                         numbers::generalText(kMaxSeconds) + " seconds");
    const int64_t samples = std::llround(seconds * sampleRate);
    if (samples < 1)
        throw UsageError("--seconds: " + arguments.seconds + " s is shorter than one sample at " + arguments.rate +
                         " Hz");
    return samples;
}

// The option that gives a pin its value when no file does.
const char* optionOf(tessel::MapPin pin)
{
    switch (pin) {
    case tessel::GatePin: return "--gate-hz";
    case tessel::ResetPin: return "--reset-at or --reset-hz";
    case tessel::X0Pin: return "--x0";
    case tessel::Y0Pin: return "--y0";
    case tessel::APin: return "--a";
    default: return "--b";
    }
}

// Opens each --input file, refusing a pin given two sources and a file the
// take cannot hear, before anything is rendered.
void openInputs(const Arguments& arguments, const CLI::App& app, render::Scenario& scenario)
{
    for (const std::string& text : arguments.inputs) {
        const std::string option = "--input " + text;
        const render::InputOptionParse parse = render::parseInputOption(text);
        if (!parse.ok()) throw UsageError("--input: " + parse.error);
        const tessel::MapPin pin = parse.input.pin;
        const char* name = render::inputPinName(pin);
        if (scenario.fileFor(pin))
            throw UsageError(option + ": another --input drives " + name + " already: give one source for a pin");
        const bool optionGiven = pin == tessel::ResetPin ? app.count("--reset-at") + app.count("--reset-hz") > 0
                                                         : app.count(optionOf(pin)) > 0;
        if (optionGiven)
            throw UsageError(option + ": " + optionOf(pin) + " drives " + name + " already: give one source for a pin");
        if (pin == tessel::GatePin && !scenario.gated)
            throw UsageError(option + ": a Gate from a file is for gated mode: give --mode gated with it");
        render::InputWavOpen open = render::openInputWav(parse.input, scenario.sampleRate, scenario.samples);
        if (!open.ok()) throw UsageError(option + ": " + open.error);
        scenario.files.push_back(std::move(open.input));
    }
}

struct Range {
    double low, high;
};

Range parseRange(const std::string& option, const std::string& text)
{
    const size_t colon = text.find(':');
    if (colon == std::string::npos || text.find(':', colon + 1) != std::string::npos)
        throw UsageError(option + ": '" + text + "' is not a range: give LO:HI in volts");
    const Range range{parseNumber(option, text.substr(0, colon)), parseNumber(option, text.substr(colon + 1))};
    if (!(range.low < range.high)) throw UsageError(option + ": " + text + " is empty: give LO below HI");
    for (const double volts : {range.low, range.high})
        if (!std::isfinite(host::signalFromVolts(volts)))
            throw UsageError(option + ": " + text + " V is too large for a 32-bit sample");
    return range;
}

// A band of the chart's rows: FROM:TO, TO excluded, within its height; a
// table alone, since a picture of a band would be a picture of another chart.
void setRows(render::ChartSettings& settings, const Arguments& arguments)
{
    if (!arguments.chart.empty()) throw UsageError("--rows goes with --chart-data alone: a band has no picture");
    const size_t colon = arguments.rows.find(':');
    if (colon == std::string::npos)
        throw UsageError("--rows: '" + arguments.rows + "' is not a band: give FROM:TO in rows, TO excluded");
    settings.rowFrom = static_cast<int32_t>(
        parseWhole("--rows", arguments.rows.substr(0, colon), 0, settings.height - 1, "for FROM"));
    settings.rowTo = static_cast<int32_t>(
        parseWhole("--rows", arguments.rows.substr(colon + 1), settings.rowFrom + 1, settings.height, "for TO"));
}

// The path of a and b over the take, in volts, at points spread evenly from
// its first sample to its last.
std::vector<std::pair<double, double>> pathOf(const host::Signal& a, const host::Signal& b,
                                              const host::SignalTake& take)
{
    constexpr int64_t kPathPoints = 20000;
    const int64_t points = std::min(take.samples, kPathPoints);
    std::vector<std::pair<double, double>> path;
    for (int64_t point = 0; point < points; ++point) {
        const int64_t sample = points == 1 ? 0 : point * (take.samples - 1) / (points - 1);
        path.emplace_back(render::voltsFromSignal(a.sampleAt(sample)), render::voltsFromSignal(b.sampleAt(sample)));
    }
    return path;
}

}  // namespace

std::string between(int64_t low, int64_t high) { return std::to_string(low) + " to " + std::to_string(high); }

render::Scenario scenarioFrom(const Arguments& arguments, const CLI::App& app)
{
    render::Scenario scenario;
    scenario.sampleRate = static_cast<int32_t>(parseWhole("--rate", arguments.rate, kMinRate, kMaxRate, "Hz"));
    scenario.blockSize = static_cast<int32_t>(parseWhole("--block", arguments.block, kMinBlock, kMaxBlock, "samples"));
    scenario.samples = takeSamples(arguments, scenario.sampleRate);

    scenario.gated = arguments.mode == "gated";
    if (!scenario.gated && app.count("--gate-hz") > 0)
        throw UsageError("--gate-hz is for gated mode: give --mode gated with it");
    scenario.gateHz = parseNumber("--gate-hz", arguments.gateHz);
    const double highestGate = host::mostGateHz(scenario.sampleRate);
    if (scenario.gated && !host::acceptsGateHz(scenario.sampleRate, scenario.gateHz))
        throw UsageError("--gate-hz: " + arguments.gateHz +
                         " is out of range: give more than 0 and at most half the rate, " +
                         numbers::generalText(highestGate) + " Hz");

    const host::SignalTake take{scenario.sampleRate, scenario.samples};
    scenario.a = parseSignal("--a", arguments.a, take);
    scenario.b = parseSignal("--b", arguments.b, take);
    scenario.x0 = parseSignal("--x0", arguments.x0, take);
    scenario.y0 = parseSignal("--y0", arguments.y0, take);
    scenario.normalize = arguments.normalize == "on";

    for (const std::string& text : arguments.resetAt) {
        const double at = parseNumber("--reset-at", text);
        const int64_t sample = std::llround(at * scenario.sampleRate);
        if (at < 0.0 || sample >= scenario.samples)
            throw UsageError("--reset-at: " + text + " is outside the render: give 0 or more and less than " +
                             arguments.seconds + " seconds");
        scenario.resetSamples.push_back(sample);
    }
    std::sort(scenario.resetSamples.begin(), scenario.resetSamples.end());
    if (app.count("--reset-hz") > 0) {
        const host::ResetClockParse clock = host::parseResetClock(arguments.resetHz, scenario.sampleRate);
        if (!clock.ok()) throw UsageError("--reset-hz: " + clock.error);
        scenario.resetClock = clock.clock;
    }
    openInputs(arguments, app, scenario);
    return scenario;
}

void refuseOutputsOntoInputs(const Arguments& arguments, const render::Scenario& scenario)
{
    for (const auto& file : scenario.files)
        for (const auto& [option, path] : {std::pair{"--out", &arguments.out}, std::pair{"--plot", &arguments.plot}})
            if (!path->empty() && nameOneFile(*path, file->option().path))
                throw UsageError(std::string(option) + " " + *path + " is the file of --input " +
                                 render::inputPinName(file->option().pin) + "=" + file->option().path +
                                 ": give another file");
}

ChartAsked chartFrom(const Arguments& arguments, const CLI::App& app)
{
    const bool ab = arguments.plane == "ab";
    const int32_t sampleRate = static_cast<int32_t>(parseWhole("--rate", arguments.rate, kMinRate, kMaxRate, "Hz"));
    const host::SignalTake take{sampleRate, takeSamples(arguments, sampleRate)};
    const host::Signal a = parseSignal("--a", arguments.a, take), b = parseSignal("--b", arguments.b, take);
    const host::Signal x0 = parseSignal("--x0", arguments.x0, take), y0 = parseSignal("--y0", arguments.y0, take);
    const bool path = movesIn(a, take) || movesIn(b, take);
    if (path && !ab)
        throw UsageError("--plane xy does not go with a moving --a or --b: their path is drawn over --plane ab");
    if (movesIn(x0, take) || movesIn(y0, take))
        throw UsageError(std::string(movesIn(x0, take) ? "--x0 " + arguments.x0 : "--y0 " + arguments.y0) +
                         " moves, and a chart starts every point from the same x0 and y0: give volts");
    if (!path && app.count("--seconds") > 0)
        throw UsageError("--seconds is for a take, or for the path of a moving --a or --b on a chart");
    // On the ab plane, --a and --b give the path when either moves.
    const std::vector<std::string> otherPlane = ab ? std::vector<std::string>{"--x0-range", "--y0-range", "--a", "--b"}
                                                   : std::vector<std::string>{"--a-range", "--b-range", "--x0", "--y0"};
    for (const std::string& option : otherPlane)
        if (app.count(option) > 0 && !(path && (option == "--a" || option == "--b")))
            throw UsageError(option + " does not apply to --plane " + arguments.plane);

    ChartAsked asked;
    render::ChartSettings& settings = asked.settings;
    settings.plane = ab ? render::Plane::AB : render::Plane::XY;
    const Range across = ab ? parseRange("--a-range", arguments.aRange) : parseRange("--x0-range", arguments.x0Range);
    const Range up = ab ? parseRange("--b-range", arguments.bRange) : parseRange("--y0-range", arguments.y0Range);
    settings.acrossLow = across.low;
    settings.acrossHigh = across.high;
    settings.upLow = up.low;
    settings.upHigh = up.high;
    const size_t times = arguments.size.find('x');
    if (times == std::string::npos)
        throw UsageError("--size: '" + arguments.size + "' is not a size: give WxH in points, e.g. 600x400");
    settings.width = static_cast<int32_t>(
        parseWhole("--size", arguments.size.substr(0, times), kLeastChartSide, kMostChartSide, "points a side"));
    settings.height = static_cast<int32_t>(
        parseWhole("--size", arguments.size.substr(times + 1), kLeastChartSide, kMostChartSide, "points a side"));
    settings.steps = parseWhole("--steps", arguments.steps, kLeastChartSteps, kMostChartSteps, "steps");
    if (app.count("--rows") > 0) setRows(settings, arguments);
    settings.sampleRate = sampleRate;
    settings.a = a.sampleAt(0);
    settings.b = b.sampleAt(0);
    settings.x0 = x0.sampleAt(0);
    settings.y0 = y0.sampleAt(0);
    if (path) asked.path = pathOf(a, b, take);
    return asked;
}

}  // namespace command_line
