#include "web_host.h"

#include <new>

#include "generator/map_pins.h"
#include "host/drive.h"

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
    record->event(record->module, &event);
}

void LinkedInstance::process(int32_t offset, int32_t count) { record->process(record->module, offset, count); }

int32_t SEP_CALL LinkedInstance::callback(ModuleRecord* record, int32_t opcode, int32_t, int32_t, void*, float)
{
    if (!record) return 0;
    auto* self = reinterpret_cast<LinkedInstance*>(static_cast<intptr_t>(record->hostHandle));
    switch (opcode) {
    case GetPinCount:
        return static_cast<int32_t>(self->declarations().size());
    case GetSampleClock:
        return self->sampleClock;
    case RequestSleep:
        self->sleepRequested = true;
        return 0;
    default:
        return 0;
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
    : session(instance, sampleRate, blockSize), gate(sampleRate)
{
    session.feed(GatePin, gate);
    session.feed(ResetPin, reset);
    session.feed(X0Pin, x0);
    session.feed(Y0Pin, y0);
    session.feed(APin, a);
    session.feed(BPin, b);
    session.open();
}

void HostedMap::setInputs(float aValue, float bValue, float x0Value, float y0Value)
{
    session.hold(X0Pin, x0, x0Value);
    session.hold(Y0Pin, y0, y0Value);
    session.hold(APin, a, aValue);
    session.hold(BPin, b, bValue);
}

void HostedMap::setMode(bool gatedMode)
{
    gated = gatedMode;
    session.setList(ModePin, gated ? Gated : Continuous);
    clockGate();
}

void HostedMap::setGateHz(double hz)
{
    gateHz = hz;
    clockGate();
}

void HostedMap::setNormalize(bool on) { session.setList(NormalizePin, on ? 1 : 0); }

void HostedMap::requestReset()
{
    reset.press();
    session.feed(ResetPin, reset);
}

// Gate carries the clock only in Gated mode; otherwise it rests at 0 V.
void HostedMap::clockGate()
{
    gate.setHz(gated ? gateHz : 0.0);
    session.feed(GatePin, gate);
}

}  // namespace web
