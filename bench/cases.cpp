#include "cases.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <vector>

#include <benchmark/benchmark.h>
#include <xmmintrin.h>

#include "analysis/orbit_analysis.h"
#include "bench/instance.h"

namespace bench {

namespace {

using namespace tessel;

constexpr int32_t kEdgeAt = kBlock / 2;  // one Gate pulse per block, 8 samples long
constexpr int32_t kPulseLength = 8;
// MXCSR of a host thread with flush-to-zero and denormals-are-zero set.
constexpr uint32_t kFlushingMode = 0x9FC0;
// The countdown is re-armed this often, far before it can reach RequestSleep.
constexpr int64_t kRearmEvery = 1 << 16;

// --- products ---------------------------------------------------------------

void continuousBlock(benchmark::State& state, float b)
{
    Instance map(Continuous, b);
    for (auto _ : state) {
        map.block();
        benchmark::ClobberMemory();
    }
}

// The host's audio thread runs with flush-to-zero and denormals-are-zero, as
// many do; the module computes in the default mode all the same.
void continuousInFlushingThread(benchmark::State& state)
{
    Instance map(Continuous);
    const uint32_t hostMode = _mm_getcsr();
    _mm_setcsr(kFlushingMode);
    for (auto _ : state) {
        map.block();
        benchmark::ClobberMemory();
    }
    _mm_setcsr(hostMode);
}

void continuousPieces(benchmark::State& state)
{
    Instance map(Continuous);
    for (auto _ : state) {
        map.pieces();
        benchmark::ClobberMemory();
    }
}

enum class GateSignal { Low, OnePulse, High };

void gatedBlock(benchmark::State& state, GateSignal signal)
{
    Instance map(Gated);
    if (signal == GateSignal::OnePulse) std::fill_n(map.buffer(GatePin) + kEdgeAt, kPulseLength, 1.0f);
    if (signal == GateSignal::High) map.host.fill(GatePin, 1.0f);
    for (auto _ : state) {
        map.block();
        benchmark::ClobberMemory();
    }
}

// Gated, idle, with the process function that a Static Gate and Reset make
// the module install (processCountdown) or the one it runs otherwise
// (processMap). The block size is set huge and the countdown re-armed now
// and then, so every measured call is one of a module winding down.
void gatedIdleWithStatus(benchmark::State& state, int32_t gateStatus)
{
    Instance map(Gated);
    map.host.dispatch(sep::SetBlockSize, 0, INT_MAX);
    const sep::ProcessEntry afterOpen = map.host.currentProcess();
    map.host.sendStatus(GatePin, gateStatus);
    if ((map.host.currentProcess() != afterOpen) != (gateStatus == sep::Static)) {
        state.SkipWithError("the module did not install the expected process function");
        return;
    }
    int64_t sinceRearm = 0;
    for (auto _ : state) {
        map.block();
        benchmark::ClobberMemory();
        if (++sinceRearm == kRearmEvery) {
            map.host.sendStatus(GatePin, gateStatus);
            sinceRearm = 0;
        }
    }
    if (map.host.countCalls(sep::RequestSleep) != 0)
        state.SkipWithError("RequestSleep was reached during the measurement");
}

// The chart's judgement of one point's orbit, fed block by block as the module
// made them, its final verdict included: the usual values are chaotic, so
// every part of it runs.
void chartAnalysis(benchmark::State& state)
{
    constexpr int32_t kChartSteps = 8192;
    constexpr int32_t kBlocks = kChartSteps / kBlock;
    Instance map(Continuous);
    std::vector<float> x, y;
    for (int32_t block = 0; block < kBlocks; ++block) {
        map.block();
        x.insert(x.end(), map.buffer(XPin), map.buffer(XPin) + kBlock);
        y.insert(y.end(), map.buffer(YPin), map.buffer(YPin) + kBlock);
    }
    std::optional<analysis::OrbitAnalysis> judged;
    int32_t block = 0;
    for (auto _ : state) {
        if (block == 0) judged.emplace(kUsualA, kUsualB, kChartSteps);
        judged->add(x.data() + block * kBlock, y.data() + block * kBlock, kBlock);
        if (++block == kBlocks) {
            benchmark::DoNotOptimize(judged->result());
            block = 0;
        }
    }
}

// --- floors -----------------------------------------------------------------

void recurrenceBlock(benchmark::State& state, float b)
{
    RecurrenceBuffers buffers(b);
    for (auto _ : state) {
        buffers.block();
        benchmark::ClobberMemory();
    }
}

void copyBlock(benchmark::State& state, bool edge)
{
    Instance map(Gated);
    if (edge) std::fill_n(map.buffer(GatePin) + kEdgeAt, kPulseLength, 1.0f);
    const float* gate = map.buffer(GatePin);
    const float* reset = map.buffer(ResetPin);
    float* x = map.buffer(XPin);
    float* y = map.buffer(YPin);
    for (auto _ : state) {
        copyFloor(gate, reset, x, y, kBlock);
        benchmark::ClobberMemory();
    }
}

const Comparison kComparisons[] = {
    {"continuous, block 1024", "continuous/block", "floor/recurrence", 1.05},
    {"continuous, pieces of 8", "continuous/pieces8", "floor/recurrence", 1.25},
    {"continuous, host thread in FTZ+DAZ", "continuous/flushing-host", "floor/recurrence", 1.05},
    {"gated, no edge", "gated/idle", "floor/copy", 1.5},
    {"gated, one edge per block", "gated/edge", "floor/copy-edge", 1.5},
    {"(gated, Gate held high)", "gated/high", "floor/copy", 0},
    {"processCountdown vs processMap", "countdown/idle", "gated/idle-streaming", 1.05},
    {"subnormal run vs normal run", "continuous/subnormal", "continuous/block", 1.5},
    {"(the floor itself: subnormal vs normal)", "floor/subnormal", "floor/recurrence", 0},
    {"chart analysis vs continuous", "chart/analysis", "continuous/block", 2.0},
    {"chart, whole judgement per map step vs the serial chain", "chart/judgement", "floor/recurrence", 0.8},
    {"chart, its stepping alone per map step vs the serial chain", "chart/stepping", "floor/recurrence", 0.55},
    {"a, b, x0, y0 modulated vs held, through the session", "session/modulated", "session/held", 1.5},
};

}  // namespace

void registerCases()
{
    const auto add = [](const char* name, auto function) {
        benchmark::RegisterBenchmark(name, function)->Unit(benchmark::kNanosecond);
    };
    add("continuous/block", [](benchmark::State& s) { continuousBlock(s, kUsualB); });
    add("continuous/pieces8", continuousPieces);
    add("continuous/flushing-host", continuousInFlushingThread);
    add("continuous/subnormal", [](benchmark::State& s) { continuousBlock(s, kTinyB); });
    add("floor/recurrence", [](benchmark::State& s) { recurrenceBlock(s, kUsualB); });
    add("floor/subnormal", [](benchmark::State& s) { recurrenceBlock(s, kTinyB); });
    add("gated/idle", [](benchmark::State& s) { gatedBlock(s, GateSignal::Low); });
    add("gated/edge", [](benchmark::State& s) { gatedBlock(s, GateSignal::OnePulse); });
    add("gated/high", [](benchmark::State& s) { gatedBlock(s, GateSignal::High); });
    add("floor/copy", [](benchmark::State& s) { copyBlock(s, false); });
    add("floor/copy-edge", [](benchmark::State& s) { copyBlock(s, true); });
    add("countdown/idle", [](benchmark::State& s) { gatedIdleWithStatus(s, sep::Static); });
    add("gated/idle-streaming", [](benchmark::State& s) { gatedIdleWithStatus(s, sep::Streaming); });
    add("chart/analysis", chartAnalysis);
    registerModulationCases();
    registerChartCases();
}

std::span<const Comparison> comparisons() { return kComparisons; }

}  // namespace bench
