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
#include "generator/map_pins.h"
#include "scenario.h"

namespace render {

namespace {

using namespace tessel;

// Host block size while charting. A point that stops early costs one block of
// the stopped module's held output, which is cheap.
constexpr int32_t kChartBlock = 1024;
// Points a thread takes at a time: rows cost very different amounts, so the
// work is dealt out in small pieces.
constexpr size_t kPointsPerTask = 64;

// One hosted instance, Continuous and Normalize off, restarted for each point
// by a Reset pulse on the first sample of its first block.
class PointRunner {
public:
    PointRunner(const host::ModuleLibrary& library, int32_t sampleRate) : module(library)
    {
        if (!module.valid()) throw std::runtime_error("the module library made no instance");
        Scenario scenario;
        scenario.sampleRate = sampleRate;
        scenario.blockSize = kChartBlock;
        scenario.normalize = false;
        scenario.resetSamples = {0};
        openFor(module, scenario);
        reset = module.buffer(ResetPin);
        x = module.buffer(XPin);
        y = module.buffer(YPin);
    }

    OrbitClass run(const ChartInputs& inputs, int64_t steps)
    {
        module.fill(APin, inputs.a);
        module.fill(BPin, inputs.b);
        module.fill(X0Pin, inputs.x0);
        module.fill(Y0Pin, inputs.y0);
        OrbitAnalysis analysis(inputs.a, inputs.b, steps);
        // The reset sample shows x0 and y0; the iterates follow it.
        reset[0] = kResetPulse;
        int64_t left = steps + 1;
        int32_t skip = 1;
        for (bool more = true; more && left > 0; skip = 0) {
            const auto count = static_cast<int32_t>(std::min<int64_t>(kChartBlock, left));
            module.process(0, count);
            reset[0] = 0.0f;
            more = analysis.add(x + skip, y + skip, count - skip);
            left -= count;
        }
        return analysis.result();
    }

private:
    host::HostedModule module;
    float* reset;
    const float* x;
    const float* y;
};

}  // namespace

double pointVolts(double low, double high, int32_t count, int32_t i)
{
    return low + (i + 0.5) * (high - low) / count;
}

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
