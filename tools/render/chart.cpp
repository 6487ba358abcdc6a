#include "chart.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <thread>

#include "analysis/point_lanes.h"
#include "host/session/point_judge.h"
#include "scenario.h"

namespace render {

namespace {

// Points a thread takes at a time: rows cost very different amounts, so the
// work is dealt out in small pieces.
constexpr size_t kPointsPerTask = 64;

// Where the probes look besides the chart's own corners and middle, in volts:
// a chaotic orbit, a constant, a tone, an orbit the guard stops, a rounding
// cycle and an orbit winding round the fixed point near b = -1 V.
constexpr std::array<std::array<double, 2>, 6> kProbeVolts{
    {{1.4, 0.3}, {0.3632, 0.3}, {1.0, 0.3}, {2.5, 0.3}, {1.6583334, 0.085}, {0.5, -1.0}}};

host::HostedModule& made(host::HostedModule& instance)
{
    if (!instance.valid()) throw std::runtime_error("the module library made no instance");
    return instance;
}

// One hosted instance judging point after point.
struct PointRunner {
    PointRunner(const host::ModuleLibrary& library, int32_t sampleRate)
        : module(library), judge(made(module), sampleRate)
    {
        if (!judge.ready()) throw std::runtime_error("the module library's instance offers no map to drive");
    }

    host::HostedModule module;
    host::PointJudge judge;
};

}  // namespace

bool makesMapStates(const host::ModuleLibrary& library, const ChartSettings& settings)
{
    const Chart chart(settings);
    std::vector<ChartInputs> probes;
    probes.reserve(std::size(kProbeVolts) + 3);
    for (const auto& [a, b] : kProbeVolts) probes.push_back({host::signalFromVolts(a), host::signalFromVolts(b), 0, 0});
    for (const size_t point : {size_t{0}, chart.points.size() / 2, chart.points.size() - 1})
        probes.push_back(chart.inputsAt(point));
    PointRunner runner(library, chart.settings.sampleRate);
    const bool same = std::all_of(probes.begin(), probes.end(), [&](const ChartInputs& probe) {
        return runner.judge.givesMapStates(probe, chart.settings.steps);
    });
    refuseBrokenHostCalls();
    return same;
}

namespace {

// The chart's points dealt out to the threads kPointsPerTask at a time.
class Tasks {
public:
    explicit Tasks(size_t total) : total(total) {}
    size_t count() const { return (total + kPointsPerTask - 1) / kPointsPerTask; }

    // The next task's points [from, to); false when none is left or the chart is abandoned.
    bool take(size_t& from, size_t& to)
    {
        const size_t task = abandon ? count() : next++;
        if (task >= count()) return false;
        from = task * kPointsPerTask;
        to = std::min(total, from + kPointsPerTask);
        return true;
    }

    const size_t total;
    std::atomic<bool> abandon{false};
    std::atomic<int64_t> done{0};

private:
    std::atomic<size_t> next{0};
};

void judgeWithLanes(Chart& chart, Tasks& tasks)
{
    size_t point = 0, end = 0;
    analysis::judgePoints(
        chart.settings.steps,
        [&](analysis::PointStart& start, size_t& id) {
            if (point == end && !tasks.take(point, end)) return false;
            start = chart.inputsAt(point);
            id = point++;
            return true;
        },
        [&](size_t id, const analysis::OrbitClass& verdict) {
            chart.points[id] = verdict;
            ++tasks.done;
        });
}

void judgeHosted(const host::ModuleLibrary& library, Chart& chart, Tasks& tasks)
{
    PointRunner runner(library, chart.settings.sampleRate);
    for (size_t point = 0, end = 0; tasks.take(point, end);) {
        for (; point < end; ++point) {
            const ChartInputs inputs = chart.inputsAt(point);
            chart.points[point] = runner.judge.judge(inputs.a, inputs.b, inputs.x0, inputs.y0, chart.settings.steps);
            ++tasks.done;
        }
    }
}

}  // namespace

Chart::Chart(const ChartSettings& settings)
    : settings(settings),
      across(size_t(settings.width)),
      up(size_t(settings.height)),
      firstRow(settings.rowFrom),
      points(size_t(settings.width) * size_t(settings.bandRows()))
{
    for (int32_t i = 0; i < settings.width; ++i)
        across[i] = host::signalFromVolts(host::pointVolts(settings.acrossLow, settings.acrossHigh, settings.width, i));
    for (int32_t j = 0; j < settings.height; ++j)
        up[j] = host::signalFromVolts(host::pointVolts(settings.upLow, settings.upHigh, settings.height, j));
}

ChartInputs Chart::inputsAt(size_t point) const
{
    const float h = across[point % across.size()];
    const float v = up[size_t(firstRow) + point / across.size()];
    if (settings.plane == Plane::AB) return {h, v, settings.x0, settings.y0};
    return {settings.a, settings.b, h, v};
}

Chart computeChart(const host::ModuleLibrary& library, const ChartSettings& settings, unsigned threads,
                   const ChartProgress& progress, bool hosted)
{
    Chart chart(settings);
    chart.hosted = hosted;
    Tasks tasks(chart.points.size());
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    threads = static_cast<unsigned>(std::min<size_t>(threads, tasks.count()));
    chart.threads = threads;

    std::atomic<unsigned> finished{0};
    std::vector<std::exception_ptr> failures(threads);
    auto work = [&](unsigned index) {
        try {
            if (chart.hosted) judgeHosted(library, chart, tasks);
            else judgeWithLanes(chart, tasks);
        } catch (...) {
            failures[index] = std::current_exception();
            tasks.abandon = true;
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
            progress(tasks.done);
        }
    } catch (...) {
        tasks.abandon = true;
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
