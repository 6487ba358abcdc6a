#include "scenario.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "generator/map_pins.h"

namespace render {

using namespace tessel;

void refuseBrokenHostCalls()
{
    const std::vector<host::HostCallViolation> violations = host::hostCallViolations();
    if (violations.empty()) return;
    const size_t more = violations.size() - 1;
    throw std::runtime_error("the module broke the host interface: " + violations.front().describe() +
                             (more ? " (and " + std::to_string(more) + " more)" : ""));
}

void openFor(host::HostedModule& module, const Scenario& scenario)
{
    module.connect(scenario.blockSize);
    module.setList(ModePin, scenario.gated ? Gated : Continuous);
    module.setList(NormalizePin, scenario.normalize ? 1 : 0);
    module.fill(APin, scenario.a);
    module.fill(BPin, scenario.b);
    module.fill(X0Pin, scenario.x0);
    module.fill(Y0Pin, scenario.y0);
    module.dispatch(sep::SetSampleRate, 0, 0, nullptr, static_cast<float>(scenario.sampleRate));
    module.dispatch(sep::SetBlockSize, 0, scenario.blockSize);
    module.open();

    // Constant inputs stay Static, the host's initial status; only the inputs
    // that move during the render are announced.
    if (scenario.gated) module.sendStatus(GatePin, sep::Streaming);
    if (!scenario.resetSamples.empty()) module.sendStatus(ResetPin, sep::Streaming);
    module.clearCalls();
}

HostLog renderScenario(const host::ModuleLibrary& library, const Scenario& scenario,
                       const BlockSink& sink)
{
    host::HostedModule module(library);
    if (!module.valid()) throw std::runtime_error("the module library made no instance");
    openFor(module, scenario);
    refuseBrokenHostCalls();

    float* gate = module.buffer(GatePin);
    float* reset = module.buffer(ResetPin);
    const float* x = module.buffer(XPin);
    const float* y = module.buffer(YPin);
    auto nextReset = scenario.resetSamples.begin();

    HostLog log;
    for (int64_t start = 0; start < scenario.samples;) {
        const auto count = static_cast<int32_t>(std::min<int64_t>(scenario.blockSize, scenario.samples - start));
        if (scenario.gated) {
            for (int32_t i = 0; i < count; ++i) gate[i] = gateSample(scenario, start + i);
        }
        std::fill(reset, reset + count, 0.0f);
        for (; nextReset != scenario.resetSamples.end() && *nextReset < start + count; ++nextReset)
            reset[*nextReset - start] = kResetPulse;

        module.process(0, count);
        refuseBrokenHostCalls();

        const int32_t requests = module.countCalls(sep::RequestSleep);
        module.clearCalls();
        if (requests > 0 && log.firstSleepSample < 0) log.firstSleepSample = start;
        log.sleepRequests += requests;

        sink(start, x, y, count);
        start += count;
    }
    return log;
}

}  // namespace render
