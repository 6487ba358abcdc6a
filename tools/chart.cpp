#include "chart.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <stdexcept>
#include <thread>

#include "drawing.h"
#include "host/point_judge.h"
#include "scenario.h"

namespace render {

namespace {

// Points a thread takes at a time: rows cost very different amounts, so the
// work is dealt out in small pieces.
constexpr size_t kPointsPerTask = 64;

// One hosted instance judging point after point.
class PointRunner {
public:
    PointRunner(const host::ModuleLibrary& library, int32_t sampleRate)
        : module(library), judge(made(module), sampleRate)
    {
        if (!judge.ready()) throw std::runtime_error("the module library's instance offers no map to drive");
    }

    OrbitClass run(const ChartInputs& inputs, int64_t steps)
    {
        return judge.judge(inputs.a, inputs.b, inputs.x0, inputs.y0, steps);
    }

private:
    static host::HostedModule& made(host::HostedModule& instance)
    {
        if (!instance.valid()) throw std::runtime_error("the module library made no instance");
        return instance;
    }

    host::HostedModule module;
    host::PointJudge judge;
};

}  // namespace

std::string voltsText(float signal)
{
    const double volts = voltsFromSignal(signal);
    char text[32];
    for (int digits = 1; digits <= 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, volts);
        if (signalFromVolts(std::strtod(text, nullptr)) == signal) break;
    }
    return text;
}

Chart::Chart(const ChartSettings& settings)
    : settings(settings), across(size_t(settings.width)), up(size_t(settings.height)),
      points(size_t(settings.width) * size_t(settings.height))
{
    for (int32_t i = 0; i < settings.width; ++i)
        across[i] = signalFromVolts(pointVolts(settings.acrossLow, settings.acrossHigh, settings.width, i));
    for (int32_t j = 0; j < settings.height; ++j)
        up[j] = signalFromVolts(pointVolts(settings.upLow, settings.upHigh, settings.height, j));
}

ChartInputs Chart::inputsAt(size_t point) const
{
    const float h = across[point % across.size()];
    const float v = up[point / across.size()];
    if (settings.plane == Plane::AB) return {h, v, settings.x0, settings.y0};
    return {settings.a, settings.b, h, v};
}

Chart computeChart(const host::ModuleLibrary& library, const ChartSettings& settings, unsigned threads,
                   const ChartProgress& progress)
{
    Chart chart(settings);
    const size_t total = chart.points.size();
    const size_t tasks = (total + kPointsPerTask - 1) / kPointsPerTask;
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    threads = static_cast<unsigned>(std::min<size_t>(threads, tasks));
    chart.threads = threads;

    std::atomic<size_t> nextTask{0};
    std::atomic<int64_t> done{0};
    std::atomic<unsigned> finished{0};
    std::atomic<bool> abandon{false};
    std::vector<std::exception_ptr> failures(threads);
    auto work = [&](unsigned index) {
        try {
            PointRunner runner(library, settings.sampleRate);
            for (size_t task; !abandon && (task = nextTask++) < tasks;) {
                const size_t end = std::min(total, (task + 1) * kPointsPerTask);
                for (size_t point = task * kPointsPerTask; point < end; ++point)
                    chart.points[point] = runner.run(chart.inputsAt(point), settings.steps);
                done += static_cast<int64_t>(end - task * kPointsPerTask);
            }
        } catch (...) {
            failures[index] = std::current_exception();
            abandon = true;
        }
        ++finished;
    };

    std::vector<std::thread> workers;
    for (unsigned index = 0; index < threads; ++index) workers.emplace_back(work, index);
    const auto joinAll = [&] {
        for (std::thread& worker : workers) worker.join();
    };
    try {
        auto lastReport = std::chrono::steady_clock::now();
        while (finished < threads) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            const auto now = std::chrono::steady_clock::now();
            if (now - lastReport < std::chrono::milliseconds(100)) continue;
            lastReport = now;
            progress(done);
        }
    } catch (...) {
        abandon = true;
        joinAll();
        throw;
    }
    joinAll();
    for (const std::exception_ptr& failure : failures)
        if (failure) std::rethrow_exception(failure);
    refuseBrokenHostCalls();
    return chart;
}

bool writeChartCsv(std::FILE* file, const Chart& chart)
{
    std::vector<std::string> acrossTexts, upTexts;
    for (float value : chart.across) acrossTexts.push_back(voltsText(value));
    for (float value : chart.up) upTexts.push_back(voltsText(value));
    const ChartSettings& s = chart.settings;
    const std::array<std::string, 4> fixed{voltsText(s.a), voltsText(s.b), voltsText(s.x0), voltsText(s.y0)};

    std::fputs("a,b,x0,y0,outcome,period,steps,lyapunov,settle\n", file);
    const size_t width = chart.across.size();
    for (size_t point = 0; point < chart.points.size(); ++point) {
        const std::string& h = acrossTexts[point % width];
        const std::string& v = upTexts[point / width];
        const bool ab = s.plane == Plane::AB;
        const OrbitClass& orbit = chart.points[point];
        char lyapunov[32] = "";
        if (orbit.outcome == Outcome::Quasi || orbit.outcome == Outcome::Chaos)
            std::snprintf(lyapunov, sizeof lyapunov, "%.6f", orbit.lyapunov);
        const std::string settle = orbit.settle >= 0 ? std::to_string(orbit.settle) : "";
        std::fprintf(file, "%s,%s,%s,%s,%s,%d,%lld,%s,%s\n", (ab ? h : fixed[0]).c_str(), (ab ? v : fixed[1]).c_str(),
                     (ab ? fixed[2] : h).c_str(), (ab ? fixed[3] : v).c_str(), outcomeName(orbit.outcome),
                     static_cast<int>(orbit.period), static_cast<long long>(orbit.steps), lyapunov, settle.c_str());
    }
    return std::ferror(file) == 0;
}

}  // namespace render
