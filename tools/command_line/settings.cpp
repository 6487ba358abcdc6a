#include "settings.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "tool.h"

namespace command_line {

namespace {

double parseNumber(const std::string& option, const std::string& text)
{
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(begin, &end);
    if (text.empty() || end == begin || *end != '\0')
        throw UsageError(option + ": '" + text + "' is not a number");
    if (!std::isfinite(value) || errno == ERANGE) throw UsageError(option + ": '" + text + "' is not a finite number");
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

float parseVolts(const std::string& option, const std::string& text)
{
    const float signal = host::signalFromVolts(parseNumber(option, text));
    if (!std::isfinite(signal)) throw UsageError(option + ": " + text + " V is too large for a 32-bit sample");
    return signal;
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

}  // namespace

std::string between(int64_t low, int64_t high) { return std::to_string(low) + " to " + std::to_string(high); }

render::Scenario scenarioFrom(const Arguments& arguments, const CLI::App& app)
{
    render::Scenario scenario;
    const double seconds = parseNumber("--seconds", arguments.seconds);
    if (!(seconds > 0.0 && seconds <= kMaxSeconds))
        throw UsageError("--seconds: " + arguments.seconds + " is out of range: give more than 0 and at most " +
                         shortNumber(kMaxSeconds) + " seconds");
    scenario.sampleRate = static_cast<int32_t>(parseWhole("--rate", arguments.rate, kMinRate, kMaxRate, "Hz"));
    scenario.blockSize = static_cast<int32_t>(parseWhole("--block", arguments.block, kMinBlock, kMaxBlock, "samples"));
    scenario.samples = std::llround(seconds * scenario.sampleRate);
    if (scenario.samples < 1)
        throw UsageError("--seconds: " + arguments.seconds + " s is shorter than one sample at " + arguments.rate +
                         " Hz");

    scenario.gated = arguments.mode == "gated";
    if (!scenario.gated && app.count("--gate-hz") > 0)
        throw UsageError("--gate-hz is for gated mode: give --mode gated with it");
    scenario.gateHz = parseNumber("--gate-hz", arguments.gateHz);
    const double highestGate = host::mostGateHz(scenario.sampleRate);
    if (scenario.gated && !host::acceptsGateHz(scenario.sampleRate, scenario.gateHz))
        throw UsageError("--gate-hz: " + arguments.gateHz +
                         " is out of range: give more than 0 and at most half the rate, " + shortNumber(highestGate) +
                         " Hz");

    scenario.a = parseVolts("--a", arguments.a);
    scenario.b = parseVolts("--b", arguments.b);
    scenario.x0 = parseVolts("--x0", arguments.x0);
    scenario.y0 = parseVolts("--y0", arguments.y0);
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
    return scenario;
}

render::ChartSettings chartSettingsFrom(const Arguments& arguments, const CLI::App& app)
{
    const bool ab = arguments.plane == "ab";
    for (const char* option : ab ? std::vector<const char*>{"--x0-range", "--y0-range", "--a", "--b"}
                                 : std::vector<const char*>{"--a-range", "--b-range", "--x0", "--y0"})
        if (app.count(option) > 0)
            throw UsageError(std::string(option) + " does not apply to --plane " + arguments.plane);

    render::ChartSettings settings;
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
    settings.sampleRate = static_cast<int32_t>(parseWhole("--rate", arguments.rate, kMinRate, kMaxRate, "Hz"));
    settings.a = parseVolts("--a", arguments.a);
    settings.b = parseVolts("--b", arguments.b);
    settings.x0 = parseVolts("--x0", arguments.x0);
    settings.y0 = parseVolts("--y0", arguments.y0);
    return settings;
}

}  // namespace command_line
