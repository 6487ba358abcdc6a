// What tessel-render asks of the module, and the host side that drives it:
// one instance, hosted through the emulator exactly as a host would hold it,
// driven by a session fed from the scenario's sources.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "host/drive.h"
#include "host/host_emulator.h"

namespace render {

struct Scenario {
    int32_t sampleRate = host::kUsualRate;
    int64_t samples = 2 * int64_t{host::kUsualRate};
    int32_t blockSize = host::kUsualBlock;
    bool gated = false;
    double gateHz = host::kUsualGateHz;  // Gate clock in gated mode; see host::acceptsGateHz
    // Input values in the signal scale.
    float a = 0.0f;
    float b = 0.0f;
    float x0 = 0.0f;
    float y0 = 0.0f;
    bool normalize = true;
    std::vector<int64_t> resetSamples;  // sorted, each below `samples`
};

// A signal in volts, exactly: a float times 10 fits in a double.
constexpr double voltsFromSignal(float signal) { return double{signal} * host::kVoltsPerUnit; }

// Samples shown in a take picture's time strip: 5 ms, in gated mode at least
// 16 gate periods, never more than the render.
int64_t stripSamplesFor(const Scenario& scenario);

// What the module told the host while rendering, and where it stopped.
struct HostLog {
    int64_t sleepRequests = 0;
    int64_t firstSleepSample = -1;  // start of the first block whose call asked; -1: never
    int64_t zerosFrom = 0;   // the final run of exact zeros on both outputs starts here; `samples` when none
    int64_t stoppedAt = -1;  // where the guard stopped the map, kept by a later step; -1: not seen
};

// Receives each rendered block; `start` is its first sample's number.
using BlockSink = std::function<void(int64_t start, const float* x, const float* y, int32_t count)>;

// Throws std::runtime_error naming the first host call any hosted instance
// made that broke the host interface: a render or chart with one is worthless.
void refuseBrokenHostCalls();

// Creates an instance from `library` and renders the whole scenario through a
// session: the inputs fed constant, Gate by its clock in gated mode and Reset
// by the scenario's pulses. Throws std::runtime_error when the
// library makes no instance or the module makes a host call that breaks the
// host interface.
HostLog renderScenario(const host::ModuleLibrary& library, const Scenario& scenario,
                       const BlockSink& sink);

}  // namespace render
