// tessel-render: hosts the module library on the command line and renders its
// x and y outputs to a stereo WAV file and a picture, so the module can be
// heard and seen without a host application.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <sndfile.h>

#include "chart.h"
#include "generator/map_step.h"
#include "host/host_emulator.h"
#include "orbit.h"
#include "output_file.h"
#include "picture.h"
#include "scenario.h"

namespace {

using render::Scenario;

constexpr double kMaxSeconds = 600.0;
constexpr int64_t kMinRate = host::kLeastRate;
constexpr int64_t kMaxRate = host::kMostRate;
constexpr int64_t kMinBlock = host::kLeastBlock;
constexpr int64_t kMaxBlock = host::kMostBlock;
constexpr char kProgram[] = "tessel-render";
// A stereo float WAV's bytes per frame, and room for its header and texts.
constexpr int64_t kWavFrameBytes = 2 * sizeof(float);
constexpr int64_t kWavHeaderBytes = 4096;
static_assert(kMaxSeconds * kMaxRate * kWavFrameBytes + kWavHeaderBytes < 4294967296.0,
              "every take the limits allow fits the 32-bit sizes of a RIFF file");

// What the tool exits with, besides 0 for done.
constexpr int kFailureExit = 1;  // the work failed: a module, a file, an interrupt
constexpr int kUsageExit = 2;    // the command line asks what the tool cannot do

// A failure of the work, reported on one line.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A command line the tool cannot follow, reported on one line that names the
// option and what it expects.
struct UsageError : Failure {
    using Failure::Failure;
};

volatile std::sig_atomic_t interrupted = 0;

extern "C" void onInterrupt(int) { interrupted = 1; }

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
    std::string out, plot;
    std::string module = host::builtModulePath();
    bool quiet = false;
    // The chart, drawn instead of a take.
    std::string chart, chartData;
    std::string plane = "ab";
    std::string aRange = "-1:4", bRange = "-1:1", x0Range = "-2:2", y0Range = "-2:2";
    std::string size = "600x400";
    std::string steps = std::to_string(host::kChartSteps);
};

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

// "LOW to HIGH", as the help and the errors give a range of whole numbers.
std::string between(int64_t low, int64_t high) { return std::to_string(low) + " to " + std::to_string(high); }

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
    const float signal = render::signalFromVolts(parseNumber(option, text));
    if (!std::isfinite(signal)) throw UsageError(option + ": " + text + " V is too large for a 32-bit sample");
    return signal;
}

std::string shortNumber(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

Scenario scenarioFrom(const Arguments& arguments, const CLI::App& app)
{
    Scenario scenario;
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

std::string describe(const Scenario& scenario, const Arguments& arguments)
{
    std::string text = scenario.gated ? "gated at " + shortNumber(scenario.gateHz) + " Hz" : "continuous";
    return text + ", a " + arguments.a + " V, b " + arguments.b + " V, x0 " + arguments.x0 + " V, y0 " +
           arguments.y0 + " V, normalize " + arguments.normalize;
}

std::string describeResets(const Arguments& arguments)
{
    if (arguments.resetAt.empty()) return "";
    std::string text = "reset at ";
    for (size_t i = 0; i < arguments.resetAt.size(); ++i) text += (i ? ", " : "") + arguments.resetAt[i];
    return text + " s";
}

// "40 s", "12 min", "21 h", "3 days": how long, to the precision a wait is planned with.
std::string durationText(double seconds)
{
    const auto rounded = [](double count, const char* unit) {
        return std::to_string(std::max(1LL, std::llround(count))) + unit;
    };
    if (seconds < 90) return rounded(seconds, " s");
    if (seconds < 90 * 60) return rounded(seconds / 60, " min");
    if (seconds < 48 * 3600) return rounded(seconds / 3600, " h");
    return rounded(seconds / 86400, " days");
}

// How progress shows on stderr: on a terminal, one line redrawn in place; in a
// log or a pipe, a line every ten seconds or so; with --quiet, not at all.
enum class ProgressShown { None, InPlace, Lines };

class Progress {
public:
    Progress(int64_t total, ProgressShown shown, const char* doing = "rendering")
        : total(total), shown(shown), doing(doing), started(Clock::now()), last(started)
    {
    }
    ~Progress() { finish(); }  // an error message then starts on a clean line

    void advance(int64_t count)
    {
        done += count;
        if (shown == ProgressShown::None) return;
        const auto now = Clock::now();
        const auto interval = shown == ProgressShown::InPlace ? Clock::duration(std::chrono::milliseconds(100))
                                                              : Clock::duration(std::chrono::seconds(10));
        if (now - started < std::chrono::milliseconds(300) || now - last < interval) return;
        last = now;
        const int percent = static_cast<int>(100 * done / total);
        if (shown == ProgressShown::InPlace) {
            std::fprintf(stderr, "\r%s: %s... %3d%%%s\033[K", kProgram, doing, percent, timeLeft(now).c_str());
            drawn = true;
        } else {
            std::fprintf(stderr, "%s: %s... %d%%%s\n", kProgram, doing, percent, timeLeft(now).c_str());
        }
    }

    void finish()
    {
        if (drawn) std::fputs("\r\033[K", stderr);
        drawn = false;
    }

private:
    using Clock = std::chrono::steady_clock;

    // At the pace so far; nothing until there is a pace.
    std::string timeLeft(Clock::time_point now) const
    {
        if (done == 0) return "";
        const std::chrono::duration<double> elapsed = now - started;
        return ", about " + durationText(elapsed.count() * double(total - done) / double(done)) + " left";
    }

    int64_t total;
    int64_t done = 0;
    ProgressShown shown;
    const char* doing;
    bool drawn = false;
    Clock::time_point started, last;
};

void checkInterrupt()
{
    if (interrupted) throw Failure("interrupted; nothing written");
}

class WavWriter {
public:
    WavWriter(render::OutputFile& output, const Scenario& scenario, const std::string& comment)
        : path(output.path()), interleaved(2 * size_t(scenario.blockSize))
    {
        SF_INFO info{};
        info.samplerate = scenario.sampleRate;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
        file = sf_open_fd(output.takeDescriptor(), SFM_WRITE, &info, SF_TRUE);
        if (!file) throw Failure("cannot write " + path + ": " + sf_strerror(nullptr));
        sf_set_string(file, SF_STR_SOFTWARE, kProgram);
        sf_set_string(file, SF_STR_COMMENT, comment.c_str());
    }
    ~WavWriter()
    {
        if (file) sf_close(file);
    }

    void write(const float* x, const float* y, int32_t count)
    {
        for (int32_t i = 0; i < count; ++i) {
            interleaved[2 * size_t(i)] = x[i];
            interleaved[2 * size_t(i) + 1] = y[i];
        }
        if (sf_writef_float(file, interleaved.data(), count) != count)
            throw Failure("cannot write " + path + ": " + sf_strerror(file));
    }

    void close()
    {
        const int error = sf_close(file);
        file = nullptr;
        if (error != 0) throw Failure("cannot write " + path + ": " + sf_error_number(error));
    }

private:
    std::string path;
    SNDFILE* file = nullptr;
    std::vector<float> interleaved;
};

// Writes a file through stdio, and closes it; throws Failure if any of it fails.
void writeThrough(render::OutputFile& output, const std::function<bool(std::FILE*)>& write)
{
    const int descriptor = output.takeDescriptor();
    std::FILE* file = fdopen(descriptor, "wb");
    if (!file) {
        ::close(descriptor);
        throw Failure("cannot write " + output.path());
    }
    bool written = false;
    try {
        written = write(file);
    } catch (...) {
        std::fclose(file);
        throw;
    }
    const bool failed = !written || std::ferror(file) != 0;
    if (std::fclose(file) != 0 || failed) throw Failure("cannot write " + output.path());
}

void say(const std::string& line) { std::fprintf(stderr, "%s: %s\n", kProgram, line.c_str()); }

ProgressShown progressShown(const Arguments& arguments)
{
    if (arguments.quiet) return ProgressShown::None;
    return isatty(STDERR_FILENO) ? ProgressShown::InPlace : ProgressShown::Lines;
}

void catchSignals()
{
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    // A write beyond the file size limit then fails as an error, not a crash.
    std::signal(SIGXFSZ, SIG_IGN);
}

// --- what a take and the chart share ---------------------------------------------

// The module library being hosted, and what it says of its module.
struct HostedLibrary {
    explicit HostedLibrary(const std::string& path) : path(path), library(path)
    {
        if (library.getModuleProperties(0, &properties) != 1 || !properties.name)
            throw Failure(path + " offers no module");
    }

    std::string path;
    host::ModuleLibrary library;
    sep::ModuleProperties properties{};  // its texts live in the library, as long as this
};

// An output the user named, and the option that named it; an empty path was not asked for.
struct NamedOutput {
    const char* option;
    std::string path;
};

// Refuses, before anything is rendered, two outputs in one file (the later
// would silently replace the earlier) and an output onto the hosted library.
void refuseSharedOutputs(const NamedOutput& first, const NamedOutput& second, const std::string& module)
{
    for (const NamedOutput& output : {first, second})
        if (!output.path.empty() && render::nameOneFile(output.path, module))
            throw Failure(std::string(output.option) + ": " + output.path +
                          " is the module library being hosted: give another file");
    if (!first.path.empty() && !second.path.empty() && render::nameOneFile(first.path, second.path))
        throw Failure(std::string(first.option) + " " + first.path + " and " + second.option + " " + second.path +
                      " name the same file: give two different files");
}

// The file behind an output option, opened under a temporary name; null when not asked for.
std::unique_ptr<render::OutputFile> openOutput(const std::string& path)
{
    return path.empty() ? nullptr : std::make_unique<render::OutputFile>(path);
}

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

// --- the chart -------------------------------------------------------------------

constexpr int64_t kLeastChartSide = host::kLeastChartSide;
constexpr int64_t kMostChartSide = host::kMostChartSide;
constexpr int64_t kLeastChartSteps = render::kLeastStepsToClassify;
constexpr int64_t kMostChartSteps = host::kMostChartSteps;
// Work beyond which a chart says beforehand how long it will take.
constexpr double kLongWorkSeconds = 60.0;
// Map steps judged, some tens of milliseconds, to time a chart beforehand.
constexpr int64_t kTimingSteps = int64_t{1} << 22;

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
        if (!std::isfinite(render::signalFromVolts(volts)))
            throw UsageError(option + ": " + text + " V is too large for a 32-bit sample");
    return range;
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

// Says, before a chart starts, how long it will take where that is more than
// about a minute: a sample of its own plane, timed on one core, scaled to its
// points and this machine's cores. A chart no bigger than the sample is quick.
void tellLongChart(const host::ModuleLibrary& library, const render::ChartSettings& settings)
{
    const auto side = static_cast<int32_t>(std::sqrt(double(std::max<int64_t>(1, kTimingSteps / settings.steps))));
    render::ChartSettings sample = settings;
    sample.width = std::min(settings.width, side);
    sample.height = std::min(settings.height, side);
    const int64_t samplePoints = int64_t{sample.width} * sample.height;
    const int64_t points = int64_t{settings.width} * settings.height;
    if (points <= samplePoints) return;

    const auto started = std::chrono::steady_clock::now();
    render::computeChart(library, sample, 1, [](int64_t) { checkInterrupt(); });
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const double seconds = took.count() / double(samplePoints) * double(points) / cores;
    if (seconds > kLongWorkSeconds)
        say(std::to_string(settings.width) + "x" + std::to_string(settings.height) + " points of " +
            std::to_string(settings.steps) + " steps will take about " + durationText(seconds) + " on " +
            std::to_string(cores) + (cores == 1 ? " core" : " cores") + "; Ctrl-C stops it");
}

int runChart(const Arguments& arguments, const render::ChartSettings& settings)
{
    refuseSharedOutputs({"--chart", arguments.chart}, {"--chart-data", arguments.chartData}, arguments.module);
    const std::unique_ptr<render::OutputFile> pngFile = openOutput(arguments.chart);
    const std::unique_ptr<render::OutputFile> csvFile = openOutput(arguments.chartData);
    const HostedLibrary hosted(arguments.module);
    catchSignals();
    if (!arguments.quiet) tellLongChart(hosted.library, settings);

    const bool ab = settings.plane == render::Plane::AB;
    const int64_t points = int64_t{settings.width} * settings.height;
    Progress progress(points, progressShown(arguments), "charting");
    int64_t reported = 0;
    const auto started = std::chrono::steady_clock::now();
    const render::Chart chart = render::computeChart(hosted.library, settings, 0, [&](int64_t done) {
        checkInterrupt();
        progress.advance(done - reported);
        reported = done;
    });
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    progress.finish();

    const std::string fixed = ab ? "from x0 " + arguments.x0 + " V, y0 " + arguments.y0 + " V"
                                 : "at a " + arguments.a + " V, b " + arguments.b + " V";
    const std::string details = std::to_string(settings.width) + "x" + std::to_string(settings.height) +
                                " points of " + std::to_string(settings.steps) + " steps " + fixed +
                                "; Continuous, Normalize off, " + std::to_string(settings.sampleRate) + " Hz";
    if (csvFile) writeThrough(*csvFile, [&](std::FILE* file) { return render::writeChartCsv(file, chart); });
    if (pngFile) {
        const std::string title =
            std::string(hosted.properties.name) + (ab ? ": the chart of a and b" : ": the basin of x0 and y0");
        writeThrough(*pngFile, [&](std::FILE* file) {
            render::writeChartPng(file, chart, {title, details});
            return true;
        });
    }
    if (csvFile) csvFile->commit();
    if (pngFile) pngFile->commit();

    if (!arguments.quiet) {
        say("charted " + details);
        say(render::chartShares(chart));
        say("in " + shortNumber(took.count()) + " s on " + std::to_string(chart.threads) +
            (chart.threads == 1 ? " thread" : " threads"));
        if (csvFile) say("wrote " + csvFile->path());
        if (pngFile) say("wrote " + pngFile->path());
    }
    return 0;
}

// --- a take -------------------------------------------------------------------------

// What a take's outputs showed, gathered block by block as they were rendered.
struct TakeSums {
    float peakX = 0.0f, peakY = 0.0f;  // in the signal scale
    render::HostLog log;
};

// What a take showed, in the words of the report and the picture's caption.
struct TakeStory {
    std::string stop;          // whether and where the map stopped itself
    std::string orbit;         // what a continuous take's orbit does; empty when gated
    std::string orbitCaption;  // the same in short, empty where the stop tells it
    std::string sleep;         // whether the module asked to sleep
};

struct Take {
    TakeSums sums;
    TakeStory story;
};

std::string settingsText(const Scenario& scenario, const Arguments& arguments)
{
    const std::string resets = describeResets(arguments);
    return describe(scenario, arguments) + (resets.empty() ? "" : ", " + resets);
}

// The picture scales its axes to the outputs, so a first instance surveys
// them; the module is deterministic, and the second instance repeats them exactly.
render::Bounds surveyBounds(const host::ModuleLibrary& library, const Scenario& scenario, Progress& progress)
{
    render::Bounds bounds;
    render::renderScenario(library, scenario, [&](int64_t, const float* x, const float* y, int32_t count) {
        checkInterrupt();
        bounds.include(x, y, count);
        progress.advance(count);
    });
    return bounds;
}

// Renders the take, hands each block to every sink given (a null one is left
// out), and sums up the outputs.
TakeSums renderInto(const host::ModuleLibrary& library, const Scenario& scenario, WavWriter* wav,
                    render::Picture* picture, render::TakeOrbit* orbit, Progress& progress)
{
    TakeSums sums;
    const render::BlockSink sink = [&](int64_t start, const float* x, const float* y, int32_t count) {
        checkInterrupt();
        for (int32_t i = 0; i < count; ++i) {
            sums.peakX = std::max(sums.peakX, std::abs(x[i]));
            sums.peakY = std::max(sums.peakY, std::abs(y[i]));
        }
        if (wav) wav->write(x, y, count);
        if (picture) picture->add(start, x, y, count);
        if (orbit) orbit->add(start, x, y, count);
        progress.advance(count);
    };
    sums.log = render::renderScenario(library, scenario, sink);
    return sums;
}

// Exact zeros on both outputs are what the divergence guard leaves; the
// zeros are a stop only if a map step came after their start and kept them.
std::string stopText(const Scenario& scenario, const render::HostLog& log)
{
    if (log.stoppedAt >= 0)
        return "the map stopped itself at sample " + std::to_string(log.stoppedAt) + " (" +
               shortNumber(double(log.stoppedAt) / scenario.sampleRate) + " s): x and y stay exactly 0";
    if (log.zerosFrom == scenario.samples) return "the map ran to the end without stopping itself";
    return "x and y are exactly 0 from sample " + std::to_string(log.zerosFrom) +
           " on, too close to the end to tell whether the map stopped";
}

std::string sleepText(const render::HostLog& log)
{
    if (log.sleepRequests == 0) return "the module did not ask to sleep";
    return "the module asked to sleep " + std::to_string(log.sleepRequests) +
           " times, first in the block from sample " + std::to_string(log.firstSleepSample);
}

// What a continuous take's orbit does after the last reset, judged as the
// chart judges a point; the caption tells a stop as stopText() does.
void tellOrbit(const render::TakeOrbit& orbit, const Scenario& scenario, const Arguments& arguments, TakeStory& story)
{
    const render::OrbitClass judged = orbit.result();
    const bool tooShort = judged.outcome != render::Outcome::Stops && orbit.steps() < render::kLeastStepsToClassify;
    const std::string verdict = tooShort ? "too short to classify, " + std::to_string(orbit.steps()) + " steps"
                                         : render::describeOrbit(judged, scenario.sampleRate);
    const bool afterReset = !scenario.resetSamples.empty();
    story.orbit = std::string("the orbit") + (afterReset ? " after the last reset" : "") +
                  (scenario.normalize ? ", normalisation undone" : "") + ": " + verdict;
    if (judged.outcome != render::Outcome::Stops)
        story.orbitCaption = (afterReset ? describeResets(arguments) + "; after the last: " : "the orbit: ") + verdict;
}

TakeStory tell(const Scenario& scenario, const Arguments& arguments, const TakeSums& sums,
               const render::TakeOrbit* orbit)
{
    TakeStory story{stopText(scenario, sums.log), "", "", sleepText(sums.log)};
    if (orbit) tellOrbit(*orbit, scenario, arguments, story);
    return story;
}

render::Caption pictureCaption(const char* moduleName, const Scenario& scenario, const Arguments& arguments,
                               const TakeStory& story)
{
    const std::string resets = describeResets(arguments);
    const std::string told = !story.orbitCaption.empty() ? story.orbitCaption
                             : resets.empty()            ? story.stop
                                                         : resets + "; " + story.stop;
    return {std::string(moduleName) + ":  x(n+1) = 1 + y(n) - a x(n)^2,  y(n+1) = b x(n)",
            shortNumber(double(scenario.samples) / scenario.sampleRate) + " s at " +
                std::to_string(scenario.sampleRate) + " Hz, " + describe(scenario, arguments),
            told};
}

// Renders the take into the files asked for (a null one is not) and tells
// what it showed; the files are left for the caller to commit.
Take renderTake(const HostedLibrary& hosted, const Scenario& scenario, const Arguments& arguments,
                render::OutputFile* wavFile, render::OutputFile* pngFile)
{
    Progress progress(scenario.samples * (pngFile ? 2 : 1), progressShown(arguments));
    const render::Bounds bounds = pngFile ? surveyBounds(hosted.library, scenario, progress) : render::Bounds{};

    std::unique_ptr<WavWriter> wav;
    if (wavFile)
        wav = std::make_unique<WavWriter>(*wavFile, scenario, "Tessel Map, " + settingsText(scenario, arguments));
    std::unique_ptr<render::Picture> picture;
    if (pngFile)
        picture = std::make_unique<render::Picture>(bounds, render::stripSamplesFor(scenario), scenario.sampleRate);
    std::unique_ptr<render::TakeOrbit> orbit;
    if (!scenario.gated) orbit = std::make_unique<render::TakeOrbit>(scenario);

    const TakeSums sums = renderInto(hosted.library, scenario, wav.get(), picture.get(), orbit.get(), progress);
    progress.finish();
    const TakeStory story = tell(scenario, arguments, sums, orbit.get());

    if (wav) wav->close();
    if (picture) {
        writeThrough(*pngFile, [&](std::FILE* file) {
            picture->writePng(file, pictureCaption(hosted.properties.name, scenario, arguments, story));
            return true;
        });
    }
    return {sums, story};
}

void reportTake(const HostedLibrary& hosted, const Scenario& scenario, const Arguments& arguments, const Take& take,
                const render::OutputFile* wavFile, const render::OutputFile* pngFile)
{
    const char* identifier = hosted.properties.identifier ? hosted.properties.identifier : "";
    say(std::string(hosted.properties.name) + " (" + identifier + ") from " + hosted.path);
    say("rendered " + std::to_string(scenario.samples) + " samples, " +
        shortNumber(double(scenario.samples) / scenario.sampleRate) + " s at " + std::to_string(scenario.sampleRate) +
        " Hz in blocks of " + std::to_string(scenario.blockSize) + ": " + settingsText(scenario, arguments));
    char peaks[96];
    std::snprintf(peaks, sizeof peaks, "peak |x| %.4f V, peak |y| %.4f V", render::voltsFromSignal(take.sums.peakX),
                  render::voltsFromSignal(take.sums.peakY));
    say(peaks);
    say(take.story.stop);
    if (!take.story.orbit.empty()) say(take.story.orbit);
    say(take.story.sleep);
    if (wavFile) say("wrote " + wavFile->path() + ": x left, y right, 32-bit float");
    if (pngFile) say("wrote " + pngFile->path());
}

int runTake(const Arguments& arguments, const Scenario& scenario)
{
    if (arguments.out.empty() && arguments.plot.empty())
        throw UsageError("nothing to write: give --out FILE.wav, --plot FILE.png or both");
    refuseSharedOutputs({"--out", arguments.out}, {"--plot", arguments.plot}, arguments.module);
    const std::unique_ptr<render::OutputFile> wavFile = openOutput(arguments.out);
    const std::unique_ptr<render::OutputFile> pngFile = openOutput(arguments.plot);
    if (wavFile) wavFile->checkRoomFor(scenario.samples * kWavFrameBytes + kWavHeaderBytes);
    const HostedLibrary hosted(arguments.module);
    catchSignals();

    const Take take = renderTake(hosted, scenario, arguments, wavFile.get(), pngFile.get());
    if (wavFile) wavFile->commit();
    if (pngFile) pngFile->commit();
    if (!arguments.quiet) reportTake(hosted, scenario, arguments, take, wavFile.get(), pngFile.get());
    return 0;
}

// --- the command line ---------------------------------------------------------------

std::string volts(float signal) { return shortNumber(render::voltsFromSignal(signal)) + " V"; }

std::string toolDescription()
{
    return "Renders the Tessel Map module's x and y outputs, hosted as a host would hold it, "
           "to a stereo 32-bit float WAV file (x left, y right) and a " +
           std::to_string(render::kPictureWidth) + "x" + std::to_string(render::kPictureHeight) +
           " PNG picture: the x-y attractor as a log density plot above x and y over the first milliseconds. "
           "Voltages are those of the module's pins.";
}

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
                   "Gate clock in gated mode: a 0/" + volts(render::kGateHigh) +
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
                   "a one-sample " + volts(render::kResetPulse) + " pulse on Reset at that time; repeatable")
        ->type_name("S")->allow_extra_args(false);
    app.add_option("--out", arguments.out, "the WAV file to write")->type_name("FILE.wav");
    app.add_option("--plot", arguments.plot, "the PNG picture to write, another file than --out")
        ->type_name("FILE.png");
    app.add_option("--module", arguments.module, "the module library to host; no output may replace it")
        ->type_name("PATH")->capture_default_str();
    app.add_flag("--quiet", arguments.quiet, "no report on stderr, only errors");
}

// The chart instead of a take: no take-only option goes with it.
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

// The parser's complaint in one line that names the option and what it expects.
std::string usageLine(const CLI::App& app, const CLI::ParseError& error)
{
    const std::vector<std::string> extra = app.remaining();
    if (dynamic_cast<const CLI::ExtrasError*>(&error) && !extra.empty()) {
        if (extra.front().starts_with("-")) return extra.front() + " is no option of tessel-render: --help lists them";
        return "'" + extra.front() + "' follows no option: give each value after its option, e.g. --seconds 2";
    }
    const std::string text = error.what();
    const CLI::Option* option = app.get_option_no_throw(text.substr(0, text.find(':')));
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) && option) {
        if (option->count() > 1)
            return option->get_name() + " is given " + std::to_string(option->count()) + " times: give it once";
        return option->get_name() + " expects " + option->get_type_name() + " after it";
    }
    return text;
}

// The exit code when parsing ends the run (help, version, a parse error);
// nothing when there is work to do.
std::optional<int> parseCommandLine(CLI::App& app, int argc, char** argv)
{
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "%s: %s\n", kProgram, usageLine(app, e).c_str());
        return kUsageExit;
    }
    return std::nullopt;
}

int run(int argc, char** argv)
{
    Arguments arguments;
    CLI::App app{toolDescription(), kProgram};
    app.set_version_flag("--version", std::string(kProgram) + " " + TESSEL_RENDER_VERSION);
    app.footer("Outputs are files named for their format, written under a temporary name and renamed at the end. "
               "A symbolic link is written where it points and stays a link. A folder, device, FIFO, socket or "
               "read-only file is refused, and so is - : a WAV's header is completed last, so to pipe, write a "
               "file and read that (tessel-render --out t.wav && cat t.wav | ...).\n"
               "Exit codes: 0 done; 1 the work failed (the module, a file, Ctrl-C); 2 the command line is wrong.");
    addTakeOptions(app, arguments);
    addChartOptions(app, arguments);
    if (const std::optional<int> exitCode = parseCommandLine(app, argc, argv)) return *exitCode;

    const bool chart = app.count("--chart") > 0 || app.count("--chart-data") > 0;
    refuseOptionsOfTheOtherKind(app, chart);
    for (const OutputFormat& output : kOutputFormats) refuseMisnamedOutput(app, output);
    if (chart) return runChart(arguments, chartSettingsFrom(arguments, app));
    return runTake(arguments, scenarioFrom(arguments, app));
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        return run(argc, argv);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "%s: %s\n", kProgram, e.what());
        return kUsageExit;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", kProgram, e.what());
        return kFailureExit;
    }
}
