// What tessel-render asks of the module, and the host side that drives it:
// one instance, hosted through the emulator exactly as a host would hold it,
// driven by a session fed from the scenario's sources.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "generator/map_pins.h"
#include "host/emulator/hosted_module.h"
#include "host/session/drive.h"
#include "host/session/signals/signal.h"
#include "input_wav.h"

namespace render {

struct Scenario {
    int32_t sampleRate = host::kUsualRate;
    int64_t samples = 2 * int64_t{host::kUsualRate};
    int32_t blockSize = host::kUsualBlock;
    bool gated = false;
    double gateHz = host::kUsualGateHz;  // Gate clock in gated mode; see host::acceptsGateHz
    // a, b, x0 and y0 as patched: each a signal, a constant being one.
    host::Signal a, b, x0, y0;
    bool normalize = true;
    std::vector<int64_t> resetSamples;           // sorted, each below `samples`
    std::optional<host::ResetClock> resetClock;  // pulses joining resetSamples'
    // WAV channels, each feeding its pin instead of all the above.
    std::vector<std::unique_ptr<InputWav>> files;

    // The file that feeds `pin`, or null.
    InputWav* fileFor(tessel::MapPin pin) const;
    // Whether an input pin's signal differs anywhere in the take.
    bool moves(tessel::MapPin pin) const;
    // The first sample the pin is fed, in the signal scale.
    float firstSample(tessel::MapPin pin) const;
};

// A signal in volts, exactly: a float times 10 fits in a double.
constexpr double voltsFromSignal(float signal) { return double{signal} * host::kVoltsPerUnit; }

// Whether the take is patched with more than a knob's values, the Gate clock
// and --reset-at pulses: a file, a Reset clock, or a moving a, b, x0 or y0.
bool patched(const Scenario& scenario);

// Samples shown in a take picture's time strip: the whole take when it is
// patched, so the strip follows the patch; else 5 ms, in gated mode at least
// 16 gate periods, never more than the render.
int64_t stripSamplesFor(const Scenario& scenario);

// Where the Reset input last rises in the take, or -1: the orbit a take's
// report judges starts after it.
int64_t lastReset(const Scenario& scenario);

// What the module told the host while rendering, and where it stopped.
struct HostLog {
    int64_t sleepRequests = 0;
    int64_t firstSleepSample = -1;  // start of the first block whose call asked; -1: never
    int64_t zerosFrom = 0;          // the final run of exact zeros on both outputs starts here; `samples` when none
    int64_t stoppedAt = -1;         // where the guard stopped the map, kept by a later step; -1: not seen
    // Continuous takes: stops that a reset ended before the take did, and where the first began (-1: none).
    int64_t restartedStops = 0;
    int64_t firstRestartedStop = -1;
};

// One rendered block: the outputs, and every pin's input as it was fed.
struct Block {
    int64_t start;  // the first sample's number
    int32_t count;
    const float* x;
    const float* y;
    const float* inputs[tessel::XPin];  // by pin, Gate to b

    const float* input(tessel::MapPin pin) const { return inputs[pin]; }
};

using BlockSink = std::function<void(const Block& block)>;

// Throws std::runtime_error naming the first host call any hosted instance
// made that broke the host interface: a render or chart with one is worthless.
void refuseBrokenHostCalls();

// Creates an instance from `library` and renders the whole scenario through a
// session: a, b, x0 and y0 fed their signals, Gate by its clock in gated mode
// and Reset by the scenario's pulses, unless a file feeds the pin. Throws
// std::runtime_error when the library makes no instance, a file can no longer
// be read or the module makes a host call that breaks the host interface.
HostLog renderScenario(const host::ModuleLibrary& library, const Scenario& scenario, const BlockSink& sink);

}  // namespace render
