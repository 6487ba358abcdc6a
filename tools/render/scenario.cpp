#include "scenario.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "generator/map_pins.h"
#include "host/session.h"
#include "host/source.h"

namespace render {

using namespace tessel;

int64_t stripSamplesFor(const Scenario& scenario)
{
    double seconds = 0.005;
    if (scenario.gated) seconds = std::max(seconds, 16.0 / scenario.gateHz);
    const auto wanted = static_cast<int64_t>(std::ceil(seconds * scenario.sampleRate));
    return std::clamp<int64_t>(wanted, 1, scenario.samples);
}

void refuseBrokenHostCalls()
{
    const std::vector<host::HostCallViolation> violations = host::hostCallViolations();
    if (violations.empty()) return;
    const size_t more = violations.size() - 1;
    throw std::runtime_error("the module broke the host interface: " + violations.front().describe() +
                             (more ? " (and " + std::to_string(more) + " more)" : ""));
}

HostLog renderScenario(const host::ModuleLibrary& library, const Scenario& scenario,
                       const BlockSink& sink)
{
    host::HostedModule module(library);
    if (!module.valid()) throw std::runtime_error("the module library made no instance");
    host::Session session(module, scenario.sampleRate, scenario.blockSize);
    if (!session.ready()) throw std::runtime_error("the module library's instance offers no map to drive");

    host::Constant a(scenario.a), b(scenario.b), x0(scenario.x0), y0(scenario.y0);
    host::GateClock gate(scenario.sampleRate, scenario.gated ? scenario.gateHz : 0.0);
    host::ResetPulses reset(scenario.resetSamples);
    session.feed(GatePin, gate);
    session.feed(ResetPin, reset);
    session.feed(X0Pin, x0);
    session.feed(Y0Pin, y0);
    session.feed(APin, a);
    session.feed(BPin, b);
    session.setList(ModePin, scenario.gated ? Gated : Continuous);
    session.setList(NormalizePin, scenario.normalize ? 1 : 0);
    session.open();
    refuseBrokenHostCalls();
    module.clearCalls();

    HostLog log;
    session.render(scenario.samples, [&](int64_t start, const float* x, const float* y, int32_t count) {
        refuseBrokenHostCalls();
        const int32_t requests = module.countCalls(sep::RequestSleep);
        module.clearCalls();
        if (requests > 0 && log.firstSleepSample < 0) log.firstSleepSample = start;
        log.sleepRequests += requests;
        sink(start, x, y, count);
    });
    log.zerosFrom = session.zerosFrom();
    log.stoppedAt = session.stoppedAt();
    return log;
}

}  // namespace render
