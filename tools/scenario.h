// What tessel-render asks of the module, and the host side that drives it:
// one instance, hosted through the emulator exactly as a host would hold it.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "host/host_emulator.h"

namespace render {

// The signal scale: a pin's 1.0 is 10 V. The tool reads and reports volts;
// the module sees and writes this scale.
constexpr double kVoltsPerUnit = 10.0;

// Input levels the tool drives, in the signal scale.
constexpr float kGateHigh = 0.5f;   // 5 V
constexpr float kResetPulse = 0.5f;  // 5 V

struct Scenario {
    int32_t sampleRate = 44100;
    int64_t samples = 88200;
    int32_t blockSize = 1024;
    bool gated = false;
    double gateHz = 1000.0;  // Gate clock in gated mode; at most sampleRate / 2
    // Input values in the signal scale.
    float a = 0.0f;
    float b = 0.0f;
    float x0 = 0.0f;
    float y0 = 0.0f;
    bool normalize = true;
    std::vector<int64_t> resetSamples;  // sorted, each below `samples`
};

// The volts of a pin's text in the signal scale: divided in double, then rounded to float.
float signalFromVolts(double volts);

// A signal in volts, exactly: a float times 10 fits in a double.
constexpr double voltsFromSignal(float signal) { return double{signal} * kVoltsPerUnit; }

// Gate in gated mode: a square wave at gateHz, 5 V in the first half of each
// period and 0 V in the second, so its first rising edge is sample 0.
float gateSample(const Scenario& scenario, int64_t sample);

// What the module told the host while rendering.
struct HostLog {
    int64_t sleepRequests = 0;
    int64_t firstSleepSample = -1;  // start of the first block whose call asked; -1: never
};

// Receives each rendered block; `start` is its first sample's number.
using BlockSink = std::function<void(int64_t start, const float* x, const float* y, int32_t count)>;

// Throws std::runtime_error naming the first host call any hosted instance
// made that broke the host interface: a render or chart with one is worthless.
void refuseBrokenHostCalls();

// Connects a new instance to buffers of the scenario's block size, fills the
// constant inputs, opens it, and announces Gate and Reset as streaming where
// the scenario moves them.
void openFor(host::HostedModule& module, const Scenario& scenario);

// Creates an instance from `library`, configures and opens it, and calls it
// block by block over the whole scenario. Throws std::runtime_error when the
// library makes no instance or the module makes a host call that breaks the
// host interface.
HostLog renderScenario(const host::ModuleLibrary& library, const Scenario& scenario,
                       const BlockSink& sink);

}  // namespace render
