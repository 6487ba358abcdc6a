#include "chart_command.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>

#include "command.h"
#include "numbers/write.h"
#include "tools/pictures/chart_picture.h"
#include "tools/render/chart_csv.h"

namespace command_line {

namespace {

// Work beyond which a chart says beforehand how long it will take.
constexpr double kLongWorkSeconds = 60.0;
// Map steps judged, some tens of milliseconds, to time a chart beforehand.
constexpr int64_t kTimingSteps = int64_t{1} << 22;

// Says, before a chart starts, how long it will take where that is more than
// about a minute: a sample of its own plane, timed on one core, scaled to its
// points and this machine's cores. A chart no bigger than the sample is quick.
void tellLongChart(const host::ModuleLibrary& library, const render::ChartSettings& settings, bool hosted)
{
    const auto side = static_cast<int32_t>(std::sqrt(double(std::max<int64_t>(1, kTimingSteps / settings.steps))));
    render::ChartSettings sample = settings;
    sample.width = std::min(settings.width, side);
    sample.height = std::min(settings.height, side);
    sample.rowFrom = 0;
    sample.rowTo = -1;
    const int64_t samplePoints = int64_t{sample.width} * sample.height;
    const int64_t points = int64_t{settings.width} * settings.bandRows();
    if (points <= samplePoints) return;

    const auto started = std::chrono::steady_clock::now();
    render::computeChart(
        library, sample, 1, [](int64_t) { checkInterrupt(); }, hosted);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const double seconds = took.count() / double(samplePoints) * double(points) / cores;
    if (seconds > kLongWorkSeconds)
        say(std::to_string(settings.width) + "x" + std::to_string(settings.height) + " points of " +
            std::to_string(settings.steps) + " steps will take about " + durationText(seconds) + " on " +
            std::to_string(cores) + (cores == 1 ? " core" : " cores") + "; Ctrl-C stops it");
}

// The chart as its picture shows it, with the usual values marked: a 1.4 V
// and b 0.3 V, or the start at 0 V, 0 V; or a path drawn, its start marked.
pictures::ChartPlot plotOf(const render::Chart& chart, const std::vector<std::pair<double, double>>& path)
{
    const render::ChartSettings& s = chart.settings;
    const bool ab = s.plane == render::Plane::AB;
    pictures::ChartPlot plot{.width = static_cast<int32_t>(chart.across.size()),
                             .height = static_cast<int32_t>(chart.up.size()),
                             .points = chart.points,
                             .acrossLow = s.acrossLow,
                             .acrossHigh = s.acrossHigh,
                             .upLow = s.upLow,
                             .upHigh = s.upHigh,
                             .acrossName = ab ? "a" : "x0",
                             .upName = ab ? "b" : "y0",
                             .markAcross = ab ? 1.4 : 0.0,
                             .markUp = ab ? 0.3 : 0.0,
                             .markLabel = ab ? "a 1.4 V, b 0.3 V" : "x0 0 V, y0 0 V",
                             .steps = s.steps,
                             .sampleRate = s.sampleRate};
    if (!path.empty()) {
        plot.markAcross = path.front().first;
        plot.markUp = path.front().second;
        plot.markLabel = "start";
        plot.path = path;
    }
    return plot;
}

}  // namespace

int runChart(const Arguments& arguments, const ChartAsked& asked)
{
    const render::ChartSettings& settings = asked.settings;
    refuseSharedOutputs({"--chart", arguments.chart}, {"--chart-data", arguments.chartData}, arguments.module);
    const std::unique_ptr<OutputFile> pngFile = openOutput(arguments.chart);
    const std::unique_ptr<OutputFile> csvFile = openOutput(arguments.chartData);
    const HostedLibrary hosted(arguments.module);
    catchSignals();
    const bool judgedHosted = !render::makesMapStates(hosted.library, settings);
    if (judgedHosted)
        say("the module library " + arguments.module +
            " does not make the map's own states at the probe points: charting through the host, slowly");
    if (!arguments.quiet) tellLongChart(hosted.library, settings, judgedHosted);

    const bool ab = settings.plane == render::Plane::AB;
    const int64_t points = int64_t{settings.width} * settings.bandRows();
    Progress progress(points, progressShown(arguments), "charting");
    int64_t reported = 0;
    const auto started = std::chrono::steady_clock::now();
    const render::Chart chart = render::computeChart(
        hosted.library, settings, 0,
        [&](int64_t done) {
            checkInterrupt();
            progress.advance(done - reported);
            reported = done;
        },
        judgedHosted);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    progress.finish();

    const std::string path = asked.path.empty() ? "" : "; the path of a and b over " + arguments.seconds + " s";
    const std::string fixed = ab ? "from x0 " + arguments.x0 + " V, y0 " + arguments.y0 + " V" + path
                                 : "at a " + arguments.a + " V, b " + arguments.b + " V";
    const std::string band = settings.bandRows() == settings.height
                                 ? ""
                                 : "rows " + std::to_string(settings.rowFrom) + " to " +
                                       std::to_string(settings.rowFrom + settings.bandRows() - 1) + " of ";
    const std::string details = band + std::to_string(settings.width) + "x" + std::to_string(settings.height) +
                                " points of " + std::to_string(settings.steps) + " steps " + fixed +
                                "; Continuous, Normalize off, " + std::to_string(settings.sampleRate) + " Hz";
    if (csvFile) writeThrough(*csvFile, [&](std::FILE* file) { return render::writeChartCsv(file, chart); });
    if (pngFile) {
        const std::string title = std::string(hosted.properties.name) +
                                  (ab ? ": the chart of a and b" : ": the basin of x0 and y0");
        writeThrough(*pngFile, [&](std::FILE* file) {
            pictures::writeChartPng(file, plotOf(chart, asked.path), {title, details, render::chartShares(chart)});
            return true;
        });
    }
    if (csvFile) csvFile->commit();
    if (pngFile) pngFile->commit();

    if (!arguments.quiet) {
        say("charted " + details);
        say(render::chartShares(chart));
        say("in " + numbers::generalText(took.count()) + " s on " + std::to_string(chart.threads) +
            (chart.threads == 1 ? " thread" : " threads"));
        if (csvFile) say("wrote " + csvFile->path());
        if (pngFile) say("wrote " + pngFile->path());
    }
    return 0;
}

}  // namespace command_line
