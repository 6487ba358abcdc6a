// The module's process entry under host conditions, each case next to its
// floor. The host reuses block-sized buffers on every call, so they stay in
// cache, and calls the process entry straight through the record. Every case
// is reported as product time ÷ floor time, both measured in the same run, so
// the figure survives a busy machine; the medians of interleaved repetitions
// go into the table printed at the end.
#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <xmmintrin.h>

#include "bench/floors.h"
#include "generator/map_pins.h"
#include "host/host_emulator.h"
#include "analysis/orbit_analysis.h"

namespace {

using namespace tessel;

constexpr int32_t kBlock = 1024;
constexpr int32_t kPiece = 8;
constexpr float kUsualA = std::bit_cast<float>(0x3E0F5C29u);  // 1.4 V
constexpr float kUsualB = std::bit_cast<float>(0x3CF5C28Fu);  // 0.3 V
// A normal float b this small makes every y = 10·b·x (|x| <= 0.1) subnormal.
constexpr float kTinyB = 1e-38f;
constexpr int32_t kEdgeAt = kBlock / 2;  // one Gate pulse per block, 8 samples long
constexpr int32_t kPulseLength = 8;
// MXCSR of a host thread with flush-to-zero and denormals-are-zero set.
constexpr uint32_t kFlushingMode = 0x9FC0;
// The countdown is re-armed this often, far before it can reach RequestSleep.
constexpr int64_t kRearmEvery = 1 << 16;

// One opened instance of the built library, connected to block-sized buffers.
struct HostedMap {
    host::HostedModule host;
    sep::ModuleRecord* record;

    explicit HostedMap(int16_t mode, float b = kUsualB)
    {
        host.connect(kBlock);
        host.fill(APin, kUsualA);
        host.fill(BPin, b);
        host.setList(NormalizePin, 0);
        host.setList(ModePin, mode);
        host.open();
        record = host.getRecord();
    }
    float* buffer(MapPin pin) { return host.buffer(pin); }
    void block() { record->process(record->module, 0, kBlock); }
    void pieces()
    {
        for (int32_t offset = 0; offset < kBlock; offset += kPiece)
            record->process(record->module, offset, kPiece);
    }
};

// The recurrence floor's own buffers, filled like the module's.
struct RecurrenceBuffers {
    std::vector<float> a = std::vector<float>(kBlock, kUsualA);
    std::vector<float> b;
    std::vector<float> x = std::vector<float>(kBlock);
    std::vector<float> y = std::vector<float>(kBlock);
    bench::RecurrenceState state;

    explicit RecurrenceBuffers(float bValue) : b(kBlock, bValue) {}
    void block() { bench::recurrenceFloor(state, a.data(), b.data(), x.data(), y.data(), kBlock); }
};

// --- products ---------------------------------------------------------------

void continuousBlock(benchmark::State& state, float b)
{
    HostedMap map(Continuous, b);
    for (auto _ : state) {
        map.block();
        benchmark::ClobberMemory();
    }
}

// The host's audio thread runs with flush-to-zero and denormals-are-zero, as
// many do; the module computes in the default mode all the same.
void continuousInFlushingThread(benchmark::State& state)
{
    HostedMap map(Continuous);
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
    HostedMap map(Continuous);
    for (auto _ : state) {
        map.pieces();
        benchmark::ClobberMemory();
    }
}

enum class GateSignal { Low, OnePulse, High };

void gatedBlock(benchmark::State& state, GateSignal signal)
{
    HostedMap map(Gated);
    if (signal == GateSignal::OnePulse)
        std::fill_n(map.buffer(GatePin) + kEdgeAt, kPulseLength, 1.0f);
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
    HostedMap map(Gated);
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
    HostedMap map(Continuous);
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
    HostedMap map(Gated);
    if (edge) std::fill_n(map.buffer(GatePin) + kEdgeAt, kPulseLength, 1.0f);
    const float* gate = map.buffer(GatePin);
    const float* reset = map.buffer(ResetPin);
    float* x = map.buffer(XPin);
    float* y = map.buffer(YPin);
    for (auto _ : state) {
        bench::copyFloor(gate, reset, x, y, kBlock);
        benchmark::ClobberMemory();
    }
}

// --- the table ----------------------------------------------------------------

struct Case {
    const char* name;
    const char* product;
    const char* floor;
    double target;  // 0: shown for information
};

const Case kCases[] = {
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
    {"a, b, x0, y0 modulated vs held", "session/modulated", "session/held", 1.5},
};

void registerAll()
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
    add("gated/idle-streaming",
        [](benchmark::State& s) { gatedIdleWithStatus(s, sep::Streaming); });
    add("chart/analysis", chartAnalysis);
}

// Keeps every repetition's time per block, by benchmark name; prints a dot
// per repetition so a long run shows it is alive.
class Collector : public benchmark::BenchmarkReporter {
public:
    std::map<std::string, std::vector<double>> times;
    std::vector<std::string> errors;

    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.error_occurred) {
                errors.push_back(run.run_name.function_name + ": " + run.error_message);
            } else if (run.run_type == Run::RT_Iteration) {
                times[run.run_name.function_name].push_back(run.GetAdjustedCPUTime());
            }
        }
        std::fputc('.', stderr);
    }
};

double median(std::vector<double> values)
{
    if (values.empty()) return NAN;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Prints the table; returns whether every case measured with a target met it
// and no benchmark failed.
bool printTable(const Collector& collector)
{
    const auto medianOf = [&](const char* name) {
        const auto found = collector.times.find(name);
        return found == collector.times.end() ? NAN : median(found->second);
    };
    bool allMet = true;
    std::printf("| case | product ns/block | floor ns/block | ratio | target | result |\n");
    std::printf("|---|---:|---:|---:|---:|---|\n");
    for (const Case& c : kCases) {
        const double product = medianOf(c.product);
        const double floor = medianOf(c.floor);
        const double ratio = product / floor;
        if (std::isnan(ratio)) continue;  // filtered out, or failed: the errors are listed below
        const bool met = ratio <= c.target;
        if (c.target > 0) {
            allMet = allMet && met;
            std::printf("| %s | %.0f | %.0f | %.3f | ≤ %.2f | %s |\n", c.name, product, floor,
                        ratio, c.target, met ? "pass" : "FAIL");
        } else {
            std::printf("| %s | %.0f | %.0f | %.3f | — | — |\n", c.name, product, floor, ratio);
        }
    }
    for (const std::string& error : collector.errors) std::printf("error: %s\n", error.c_str());
    return allMet && collector.errors.empty();
}

// --- honesty of the setup -------------------------------------------------------

bool sameBits(const float* a, const float* b, int32_t count)
{
    return std::memcmp(a, b, sizeof(float) * count) == 0;
}

// The recurrence floor must compute exactly what the module writes, whole
// blocks or pieces, or it is no floor of that computation.
bool floorMatchesModule(float b, bool inPieces)
{
    HostedMap map(Continuous, b);
    RecurrenceBuffers floor(b);
    for (int block = 0; block < 64; ++block) {
        inPieces ? map.pieces() : map.block();
        floor.block();
        if (!sameBits(map.buffer(XPin), floor.x.data(), kBlock) ||
            !sameBits(map.buffer(YPin), floor.y.data(), kBlock))
            return false;
    }
    return true;
}

// Share of the y outputs, over many blocks, that are subnormal floats.
double subnormalShare(float b)
{
    HostedMap map(Continuous, b);
    int64_t subnormal = 0, total = 0;
    for (int block = 0; block < 64; ++block) {
        map.block();
        for (int32_t i = 0; i < kBlock; ++i) {
            subnormal += std::fpclassify(map.buffer(YPin)[i]) == FP_SUBNORMAL;
            ++total;
        }
    }
    return static_cast<double>(subnormal) / total;
}

bool checkSetup()
{
    bool ok = true;
    for (const float b : {kUsualB, kTinyB})
        for (const bool inPieces : {false, true})
            if (!floorMatchesModule(b, inPieces)) {
                std::fprintf(stderr, "the recurrence floor differs from the module (b = %g%s)\n", b,
                             inPieces ? ", pieces" : "");
                ok = false;
            }
    const double share = subnormalShare(kTinyB);
    std::fprintf(stderr, "subnormal run: %.1f%% of the y states are subnormal floats\n",
                 100 * share);
    if (share < 0.9) {
        std::fprintf(stderr, "the subnormal run does not pass through subnormal values\n");
        ok = false;
    }
    if (subnormalShare(kUsualB) != 0.0) {
        std::fprintf(stderr, "the normal run passes through subnormal values\n");
        ok = false;
    }
    return ok;
}

// A module that breaks the host interface is not the module the table is about.
bool hostCallsKept()
{
    const std::vector<host::HostCallViolation> violations = host::takeHostCallViolations();
    if (violations.empty()) return true;
    std::printf("error: %s (%zu host calls broke the host interface)\n", violations.front().describe().c_str(),
                violations.size());
    return false;
}

bool hasFlag(int argc, char** argv, const char* prefix)
{
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], prefix, std::strlen(prefix)) == 0) return true;
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    // Interleaved short repetitions, unless the command line says otherwise.
    std::vector<char*> args(argv, argv + argc);
    std::string repetitions = "--benchmark_repetitions=15";
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    std::string minTime = "--benchmark_min_time=0.05";
    if (!hasFlag(argc, argv, "--benchmark_repetitions")) args.push_back(repetitions.data());
    if (!hasFlag(argc, argv, "--benchmark_enable_random_interleaving"))
        args.push_back(interleave.data());
    if (!hasFlag(argc, argv, "--benchmark_min_time")) args.push_back(minTime.data());
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 2;

    if (!checkSetup()) return 1;
    registerAll();
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    std::fputc('\n', stderr);
    const bool allMet = printTable(collector);
    const bool kept = hostCallsKept();
    benchmark::Shutdown();
    return allMet && kept ? 0 : 1;
}
