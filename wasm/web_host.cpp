#include "web_host.h"

#include <new>
#include <utility>

#include "generator/map_pins.h"
#include "generator/map_rules.h"
#include "host/session/drive.h"

namespace web {

using namespace sep;
using namespace tessel;

// The library's export, linked in rather than loaded (framework/exports.cpp).
extern "C" ModuleRecord* makeModule(int32_t index, int32_t kind, HostCallback callback, int32_t hostHandle);

// The host handle is this object's address, so that the callback finds it from
// the record: addresses are 32 bits wide here.
LinkedInstance::LinkedInstance()
{
    record = makeModule(kModuleIndex, kModuleObjectKind, &LinkedInstance::callback,
                        static_cast<int32_t>(reinterpret_cast<intptr_t>(this)));
}

LinkedInstance::~LinkedInstance()
{
    if (record) record->dispatcher(record, Close, 0, 0, nullptr, 0.0f);
}

int32_t LinkedInstance::dispatch(int32_t opcode, int32_t index, int32_t value, void* pointer, float floatValue)
{
    return record ? record->dispatcher(record, opcode, index, value, pointer, floatValue) : 0;
}

void LinkedInstance::sendEvent(const Event& event)
{
    sleepRequested = false;  // any event wakes a sleeping module
    ++events;
    record->event(record->module, &event);
}

void LinkedInstance::process(int32_t offset, int32_t count) { record->process(record->module, offset, count); }

int32_t SEP_CALL LinkedInstance::callback(ModuleRecord* record, int32_t opcode, int32_t, int32_t, void*, float)
{
    if (!record) return 0;
    // The host handle is this instance's address, set at link time.
    // NOLINTNEXTLINE(performance-no-int-to-ptr)
    auto* self = reinterpret_cast<LinkedInstance*>(static_cast<intptr_t>(record->hostHandle));
    switch (opcode) {
    case GetPinCount: return static_cast<int32_t>(self->declarations().size());
    case GetSampleClock: return self->sampleClock;
    case RequestSleep: self->sleepRequested = true; return 0;
    default: return 0;
    }
}

HostedMap* HostedMap::create(int32_t sampleRate, int32_t blockSize)
{
    if (sampleRate < host::kLeastRate || sampleRate > host::kMostRate) return nullptr;
    if (blockSize < host::kLeastBlock || blockSize > host::kMostBlock) return nullptr;
    auto* hosted = new (std::nothrow) HostedMap(sampleRate, blockSize);
    if (hosted && !hosted->session.ready()) {
        delete hosted;
        return nullptr;
    }
    return hosted;
}

HostedMap::HostedMap(int32_t sampleRate, int32_t blockSize)
    : session(instance, sampleRate, blockSize),
      rate(sampleRate),
      inputs{Input(X0Pin), Input(Y0Pin), Input(APin), Input(BPin)},
      gate(sampleRate)
{
    session.feed(GatePin, gate);
    session.feed(ResetPin, reset);
    for (Input& patched : inputs) session.feed(patched.pin, patched.constant);
    session.open();
}

HostedMap::Input& HostedMap::input(int32_t pin)
{
    for (Input& patched : inputs)
        if (patched.pin == pin) return patched;
    return inputs.front();
}

// A constant only reaches its pin while no signal replaces it.
void HostedMap::setInputs(float aValue, float bValue, float x0Value, float y0Value)
{
    const int64_t before = instance.eventsSent();
    for (const auto& [pin, value] : {std::pair{X0Pin, x0Value}, {Y0Pin, y0Value}, {APin, aValue}, {BPin, bValue}}) {
        Input& patched = input(pin);
        if (patched.signal) patched.constant.set(value);
        else session.hold(pin, patched.constant, value);
    }
    noteRestart(before);
}

std::string HostedMap::setSignal(int32_t pin, std::string_view text, int64_t takeSamples)
{
    Input& patched = input(pin);
    if (patched.pin != pin) return "no such input";
    if (text == patched.text) return "";
    const int64_t before = instance.eventsSent();
    if (text.empty()) {
        patched.signal.reset();
        patched.text.clear();
        session.feed(pin, patched.constant);
    } else {
        host::SignalParse parsed = host::parseSignal(text, {rate, takeSamples});
        if (!parsed.ok()) return parsed.error;
        patched.signal.emplace(std::move(parsed.signal), takeSamples);
        patched.text = std::string(text);
        session.feed(pin, *patched.signal);
    }
    noteRestart(before);
    return "";
}

void HostedMap::setResetHz(double hz)
{
    const int64_t before = instance.eventsSent();
    reset.setClock(host::acceptsGateHz(rate, hz) ? std::optional(host::ResetClock(rate, hz)) : std::nullopt);
    session.feed(ResetPin, reset);
    noteRestart(before);
}

void HostedMap::setMode(bool gatedMode)
{
    const int64_t before = instance.eventsSent();
    gated = gatedMode;
    session.setList(ModePin, gated ? Gated : Continuous);
    clockGate();
    noteRestart(before);
}

void HostedMap::setGateHz(double hz)
{
    const int64_t before = instance.eventsSent();
    gateHz = hz;
    clockGate();
    noteRestart(before);
}

void HostedMap::setNormalize(bool on)
{
    const int64_t before = instance.eventsSent();
    normalized = on;
    session.setList(NormalizePin, on ? 1 : 0);
    noteRestart(before);
}

void HostedMap::requestReset()
{
    reset.press();
    session.feed(ResetPin, reset);
}

void HostedMap::noteRestart(int64_t eventsBefore)
{
    if (instance.eventsSent() == eventsBefore) return;
    if (restartsOnEvent(session.announcedStatus(X0Pin), session.announcedStatus(Y0Pin), session.announcedStatus(APin),
                        session.announcedStatus(BPin)))
        ++restartCount;
}

float HostedMap::firstSample(int32_t pin)
{
    Input& patched = input(pin);
    float sample = 0.0f;
    if (patched.signal) patched.signal->fill(session.samples(), &sample, 1);
    else patched.constant.fill(session.samples(), &sample, 1);
    return sample;
}

void HostedMap::judgeWindows(int64_t samples)
{
    takeWindows.emplace(samples, firstSample(X0Pin), firstSample(Y0Pin), normalized);
}

int32_t HostedMap::render(int32_t count)
{
    const int32_t rendered = session.renderBlock(count);
    if (takeWindows && rendered > 0)
        takeWindows->add(session.input(APin), session.input(BPin), session.input(ResetPin), session.x(), session.y(),
                         rendered);
    return rendered;
}

// Gate carries the clock only in Gated mode; otherwise it rests at 0 V.
void HostedMap::clockGate()
{
    gate.setHz(gated ? gateHz : 0.0);
    session.feed(GatePin, gate);
}

}  // namespace web
