// A take patched as a musician patches one, a, b, x0 and y0 all moving,
// against the same take with the four held: what patched signals cost a
// host, one block of 1024 samples through the session per iteration.
#include <string>

#include <benchmark/benchmark.h>

#include "bench/cases.h"
#include "generator/map_pins.h"
#include "host/emulator/hosted_module.h"
#include "host/session/session.h"
#include "host/session/signals/signal.h"
#include "host/session/source.h"

namespace {

using namespace tessel;

constexpr int32_t kRate = 44100;
constexpr int32_t kBlock = 1024;
constexpr host::SignalTake kTake{kRate, int64_t{1} << 30};  // longer than any measurement

struct Patched {
    const char* a;
    const char* b;
    const char* x0;
    const char* y0;
};

// An LFO into a, an envelope into b and sequencers into x0 and y0, as a musician
// patches the map, which stays on its attractor.
constexpr Patched kModulated{"sine:1.2:0.2:0.5", "ramp:0.3:0.25", "steps:0,0.1,-0.1@8", "steps:0.1,0,0.2,0@5"};
constexpr Patched kHeld{"1.2", "0.3", "0", "0"};

host::SignalSource sourceOf(const char* text)
{
    return host::SignalSource(host::parseSignal(text, kTake).signal, kTake.samples);
}

void sessionTake(benchmark::State& state, const Patched& patched)
{
    host::HostedModule module;
    host::Session session(module, kRate, kBlock);
    host::SignalSource a = sourceOf(patched.a), b = sourceOf(patched.b), x0 = sourceOf(patched.x0),
                       y0 = sourceOf(patched.y0);
    session.feed(APin, a);
    session.feed(BPin, b);
    session.feed(X0Pin, x0);
    session.feed(Y0Pin, y0);
    session.setList(NormalizePin, 0);
    session.open();
    for (auto _ : state) {
        session.renderBlock(kBlock);
        benchmark::ClobberMemory();
    }
    if (session.stoppedAt() >= 0) state.SkipWithError("the map stopped: the take measured is not the one meant");
}

}  // namespace

void bench::registerModulationCases()
{
    benchmark::RegisterBenchmark("session/modulated", [](benchmark::State& s) {
        sessionTake(s, kModulated);
    })->Unit(benchmark::kNanosecond);
    benchmark::RegisterBenchmark("session/held", [](benchmark::State& s) {
        sessionTake(s, kHeld);
    })->Unit(benchmark::kNanosecond);
}
