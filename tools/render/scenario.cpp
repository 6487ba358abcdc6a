#include "scenario.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "generator/map_pins.h"
#include "host/session/session.h"
#include "host/session/source.h"
#include "verdict/figures.h"

namespace render {

using namespace tessel;

namespace {

// The sources of one render, made afresh from the scenario: a file feeds its
// pin instead of what the options give it.
class Patch {
public:
    explicit Patch(const Scenario& scenario)
        : a(scenario.a, scenario.samples),
          b(scenario.b, scenario.samples),
          x0(scenario.x0, scenario.samples),
          y0(scenario.y0, scenario.samples),
          gate(scenario.sampleRate, scenario.gated ? scenario.gateHz : 0.0),
          reset(scenario.resetSamples, scenario.resetClock),
          sources{&gate, &reset, &x0, &y0, &a, &b}
    {
        for (const auto& file : scenario.files) sources[file->option().pin] = file.get();
    }

    host::Source& operator[](MapPin pin) { return *sources[pin]; }

private:
    host::SignalSource a, b, x0, y0;
    host::GateClock gate;
    host::ResetPulses reset;
    std::array<host::Source*, XPin> sources;  // by pin
};

// In Continuous mode the map steps every sample, and no orbit gives exact
// zeros on both outputs twice in a row (from (0, 0) the map goes to (1, 0)):
// two such samples are the guard's stop. A run of them that ends
// before the take does is a stop a reset restarted.
void noteRestartedStops(const Scenario& scenario, const Block& block, int64_t& zerosStart, HostLog& log)
{
    if (scenario.gated) return;
    for (int32_t i = 0; i < block.count; ++i) {
        const int64_t sample = block.start + i;
        if (block.x[i] == 0.0f && block.y[i] == 0.0f) {
            if (zerosStart < 0) zerosStart = sample;
            continue;
        }
        if (zerosStart >= 0 && sample - zerosStart >= 2) {
            if (log.firstRestartedStop < 0) log.firstRestartedStop = zerosStart;
            ++log.restartedStops;
        }
        zerosStart = -1;
    }
}

}  // namespace

InputWav* Scenario::fileFor(MapPin pin) const
{
    for (const auto& file : files)
        if (file->option().pin == pin) return file.get();
    return nullptr;
}

bool Scenario::moves(MapPin pin) const { return Patch(*this)[pin].moves(); }

float Scenario::firstSample(MapPin pin) const
{
    float sample = 0.0f;
    Patch(*this)[pin].fill(0, &sample, 1);
    return sample;
}

bool patched(const Scenario& scenario)
{
    if (!scenario.files.empty() || scenario.resetClock) return true;
    for (const MapPin pin : {X0Pin, Y0Pin, APin, BPin})
        if (scenario.moves(pin)) return true;
    return false;
}

int64_t stripSamplesFor(const Scenario& scenario)
{
    if (patched(scenario)) return scenario.samples;
    return verdict::traceSamples(scenario.gated ? scenario.gateHz : 0.0, scenario.sampleRate, scenario.samples);
}

int64_t lastReset(const Scenario& scenario)
{
    if (!scenario.resetClock && !scenario.fileFor(ResetPin))
        return scenario.resetSamples.empty() ? -1 : scenario.resetSamples.back();
    Patch patch(scenario);
    std::vector<float> reset(static_cast<size_t>(scenario.blockSize));
    bool wasHigh = false;  // as the module holds Reset before the first sample
    int64_t last = -1;
    for (int64_t start = 0; start < scenario.samples; start += scenario.blockSize) {
        const auto count = static_cast<int32_t>(std::min<int64_t>(scenario.blockSize, scenario.samples - start));
        patch[ResetPin].fill(start, reset.data(), count);
        for (int32_t i = 0; i < count; ++i) {
            const bool high = reset[size_t(i)] > 0.0f;
            if (high && !wasHigh) last = start + i;
            wasHigh = high;
        }
    }
    return last;
}

void refuseBrokenHostCalls()
{
    const std::vector<host::HostCallViolation> violations = host::hostCallViolations();
    if (violations.empty()) return;
    const size_t more = violations.size() - 1;
    throw std::runtime_error("the module broke the host interface: " + violations.front().describe() +
                             (more ? " (and " + std::to_string(more) + " more)" : ""));
}

HostLog renderScenario(const host::ModuleLibrary& library, const Scenario& scenario, const BlockSink& sink)
{
    host::HostedModule module(library);
    if (!module.valid()) throw std::runtime_error("the module library made no instance");
    host::Session session(module, scenario.sampleRate, scenario.blockSize);
    if (!session.ready()) throw std::runtime_error("the module library's instance offers no map to drive");

    Patch patch(scenario);
    for (const NamedPin& input : kInputPins) session.feed(input.pin, patch[input.pin]);
    session.setList(ModePin, scenario.gated ? Gated : Continuous);
    session.setList(NormalizePin, scenario.normalize ? 1 : 0);
    session.open();
    refuseBrokenHostCalls();
    module.clearCalls();

    HostLog log;
    int64_t zerosStart = -1;
    session.render(scenario.samples, [&](int64_t start, const float* x, const float* y, int32_t count) {
        refuseBrokenHostCalls();
        const int32_t requests = module.countCalls(sep::RequestSleep);
        module.clearCalls();
        if (requests > 0 && log.firstSleepSample < 0) log.firstSleepSample = start;
        log.sleepRequests += requests;
        Block block{start, count, x, y, {}};
        for (const NamedPin& input : kInputPins) block.inputs[input.pin] = session.input(input.pin);
        noteRestartedStops(scenario, block, zerosStart, log);
        sink(block);
    });
    log.zerosFrom = session.zerosFrom();
    log.stoppedAt = session.stoppedAt();
    return log;
}

}  // namespace render
