// The shipped Module.sep, timed as it ships: this Windows executable hosts the
// win32 build's library under Wine and times its process entry against floors
// compiled into it with the module's flags. Debian has no Google Benchmark for
// MinGW, so the timer is its own: every repetition times each case in turn,
// in a rotating order, and each figure is the median of the repetitions.
//
// Usage: tessel_dll_timer.exe [REPETITIONS]   (31 unless told)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "bench/checks.h"
#include "bench/instance.h"
#include "bench/table.h"

namespace {

using namespace bench;
using namespace tessel;

// Each repetition of a case runs its block this long, at least.
constexpr std::chrono::microseconds kRepetitionTime{20000};
constexpr int32_t kEdgeAt = kBlock / 2;  // one Gate pulse per block, 8 samples long
constexpr int32_t kPulseLength = 8;

struct Case {
    const char* name;
    std::function<void()> block;
    std::vector<double> nanoseconds;  // per block, one per repetition
};

struct Row {
    const char* name;
    const char* product;
    const char* floor;
    double target;
};

const Row kRows[] = {
    {"Module.sep under Wine: continuous, block 1024", "continuous", "recurrence", 1.02},
    {"Module.sep under Wine: gated, no edge", "gated", "copy", 1.5},
    {"Module.sep under Wine: gated, one edge per block", "gated-edge", "copy-edge", 1.25},
};

double nanosecondsPerBlock(const std::function<void()>& block)
{
    using Clock = std::chrono::steady_clock;
    int64_t blocks = 0;
    const Clock::time_point start = Clock::now();
    Clock::time_point now = start;
    do {
        for (int k = 0; k < 64; ++k) block();
        blocks += 64;
        now = Clock::now();
    } while (now - start < kRepetitionTime);
    return std::chrono::duration<double, std::nano>(now - start).count() / double(blocks);
}

void pulseGateOnce(Instance& map) { std::fill_n(map.buffer(GatePin) + kEdgeAt, kPulseLength, 1.0f); }

}  // namespace

int main(int argc, char** argv)
{
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 31;
    if (!checkSetup()) return 1;

    Instance continuous(Continuous);
    RecurrenceBuffers recurrence(kUsualB);
    Instance gated(Gated), gatedEdge(Gated), copied(Gated), copiedEdge(Gated);
    pulseGateOnce(gatedEdge);
    pulseGateOnce(copiedEdge);
    const auto copyOf = [](Instance& map) {
        return [&map] {
            copyFloor(map.buffer(GatePin), map.buffer(ResetPin), map.buffer(XPin), map.buffer(YPin), kBlock);
        };
    };
    std::vector<Case> cases{{"continuous", [&] { continuous.block(); }, {}},
                            {"recurrence", [&] { recurrence.block(); }, {}},
                            {"gated", [&] { gated.block(); }, {}},
                            {"gated-edge", [&] { gatedEdge.block(); }, {}},
                            {"copy", copyOf(copied), {}},
                            {"copy-edge", copyOf(copiedEdge), {}}};
    for (int repetition = 0; repetition < repetitions; ++repetition) {
        std::rotate(cases.begin(), cases.begin() + 1, cases.end());
        for (Case& timed : cases) timed.nanoseconds.push_back(nanosecondsPerBlock(timed.block));
        std::fputc('.', stderr);
    }
    std::fputc('\n', stderr);

    const auto medianOf = [&](const char* name) {
        return median(
            std::find_if(cases.begin(), cases.end(), [&](const Case& c) { return c.name == name; })->nanoseconds);
    };
    bool allMet = true;
    printTableHead();
    for (const Row& row : kRows)
        allMet = printTableRow(row.name, medianOf(row.product), medianOf(row.floor), row.target) && allMet;
    return allMet && hostCallsKept() ? 0 : 1;
}
