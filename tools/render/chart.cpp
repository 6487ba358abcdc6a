#include "chart.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <thread>

#include "host/session/point_judge.h"
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

    analysis::OrbitClass run(const ChartInputs& inputs, int64_t steps)
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

Chart::Chart(const ChartSettings& settings)
    : settings(settings), across(size_t(settings.width)), up(size_t(settings.height)),
      points(size_t(settings.width) * size_t(settings.height))
{
    for (int32_t i = 0; i < settings.width; ++i)
        across[i] = host::signalFromVolts(host::pointVolts(settings.acrossLow, settings.acrossHigh, settings.width, i));
    for (int32_t j = 0; j < settings.height; ++j)
        up[j] = host::signalFromVolts(host::pointVolts(settings.upLow, settings.upHigh, settings.height, j));
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

std::string chartShares(const Chart& chart)
{
    std::array<int64_t, 4> counts{};
    int64_t constants = 0;
    for (const analysis::OrbitClass& orbit : chart.points) {
        ++counts[static_cast<size_t>(orbit.outcome)];
        constants += orbit.constant();
    }
    const double total = static_cast<double>(chart.points.size());
    auto share = [&](const char* name, int64_t count) {
        char percent[32];
        std::snprintf(percent, sizeof percent, "%.1f", 100.0 * count / total);
        return name + std::string(percent) + "%";
    };
    using analysis::Outcome;
    return share("stops ", counts[size_t(Outcome::Stops)]) + ", " + share("constant ", constants) + ", " +
           share("tones ", counts[size_t(Outcome::Cycle)] - constants) + ", " +
           share("quasi ", counts[size_t(Outcome::Quasi)]) + ", " + share("chaos ", counts[size_t(Outcome::Chaos)]);
}

}  // namespace render
