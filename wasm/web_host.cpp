#include "web_host.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "host/drive.h"

namespace web {

using namespace sep;
using namespace tessel;

// The library's export, linked in rather than loaded (framework/exports.cpp).
extern "C" ModuleRecord* makeModule(int32_t index, int32_t kind, HostCallback callback,
                                    int32_t hostHandle);

namespace {

bool nonZero(float x, float y) { return x != 0.0f || y != 0.0f; }

}  // namespace

HostedMap* HostedMap::create(int32_t sampleRate, int32_t blockSize)
{
    if (sampleRate < host::kLeastRate || sampleRate > host::kMostRate) return nullptr;
    if (blockSize < host::kLeastBlock || blockSize > host::kMostBlock) return nullptr;
    auto* hosted = new (std::nothrow) HostedMap(sampleRate, blockSize);
    if (!hosted) return nullptr;
    if (!hosted->record || !hosted->connect()) {
        delete hosted;
        return nullptr;
    }
    hosted->open();
    return hosted;
}

// The host handle is this object's address, so that the callback finds it from
// the record: addresses are 32 bits wide here.
HostedMap::HostedMap(int32_t sampleRate, int32_t blockSize) : rate(sampleRate), block(blockSize)
{
    record = makeModule(kModuleIndex, kModuleObjectKind, &HostedMap::callback,
                        static_cast<int32_t>(reinterpret_cast<intptr_t>(this)));
}

HostedMap::~HostedMap()
{
    if (record) record->dispatcher(record, Close, 0, 0, nullptr, 0.0f);
}

// Reads every declaration, gives each audio pin a block of its own and each
// list its default item, as a host does before Open.
bool HostedMap::connect()
{
    storage.reset(new (std::nothrow) float[size_t(MapPinCount) * block]());
    if (!storage) return false;
    for (int32_t pin = 0; pin < MapPinCount; ++pin) {
        PinProperties declaration{};
        if (!record->dispatcher(record, GetPinProperties, pin, 0, &declaration, 0.0f)) return false;
        if (!declaration.variable) return false;
        if (declaration.dataType == Audio) {
            buffers[pin] = storage.get() + size_t(pin) * block;
            *static_cast<float**>(declaration.variable) = buffers[pin];
        } else if (declaration.dataType == Enum) {
            auto* item = static_cast<int16_t*>(declaration.variable);
            *item = declaration.defaultText ? static_cast<int16_t>(std::atoi(declaration.defaultText)) : 0;
            if (pin == ModePin) modeItem = item;
            if (pin == NormalizePin) normalizeItem = item;
        }
    }
    return modeItem && normalizeItem && buffers[XPin] && buffers[YPin];
}

void HostedMap::open()
{
    record->dispatcher(record, SetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
    record->dispatcher(record, SetBlockSize, 0, block, nullptr, 0.0f);
    record->dispatcher(record, Open, 0, 0, nullptr, 0.0f);
}

void HostedMap::sendStatus(int32_t pin, int32_t status)
{
    Event event{};
    event.type = PinStatusChange;
    event.value = status;
    event.target = pin;
    sleepRequested = false;  // any event wakes a sleeping module
    record->event(record->module, &event);
}

void HostedMap::setInputs(float a, float b, float x0, float y0)
{
    std::fill_n(buffers[APin], block, a);
    std::fill_n(buffers[BPin], block, b);
    std::fill_n(buffers[X0Pin], block, x0);
    std::fill_n(buffers[Y0Pin], block, y0);
}

void HostedMap::setMode(bool gatedMode)
{
    gated = gatedMode;
    *modeItem = gated ? Gated : Continuous;
    sendStatus(ModePin, Transient);
    announceGate();
}

void HostedMap::setGateHz(double hz)
{
    gateHz = hz > 0.0 ? hz : 0.0;  // NaN too
    announceGate();
}

void HostedMap::setNormalize(bool on)
{
    *normalizeItem = on ? 1 : 0;
    sendStatus(NormalizePin, Transient);
}

// Gate streams while it carries a clock; otherwise it rests at 0 V.
void HostedMap::announceGate()
{
    const int32_t status = gated && gateHz > 0.0 ? Streaming : Static;
    if (status == gateStatus) return;
    gateStatus = status;
    sendStatus(GatePin, status);
}

void HostedMap::requestReset()
{
    resetPending = true;
    if (resetAnnounced) return;
    resetAnnounced = true;
    sendStatus(ResetPin, Streaming);
}

void HostedMap::fillGate(int32_t count)
{
    float* gate = buffers[GatePin];
    if (gateStatus != Streaming) {
        std::fill_n(gate, count, 0.0f);
        return;
    }
    for (int32_t i = 0; i < count; ++i) gate[i] = host::gateClockSample(rate, gateHz, clock + i);
}

int32_t HostedMap::render(int32_t count)
{
    count = std::clamp(count, 0, block);
    if (count == 0) return 0;
    fillGate(count);
    float* reset = buffers[ResetPin];
    const bool resetPulse = resetPending;
    reset[0] = resetPulse ? host::kResetPulse : 0.0f;
    resetPending = false;

    record->process(record->module, 0, count);

    noteSteps(count, resetPulse);
    noteOutputs(count);
    reset[0] = 0.0f;
    clock += count;
    return count;
}

const float* HostedMap::xOutput() const { return buffers[XPin]; }
const float* HostedMap::yOutput() const { return buffers[YPin]; }

// The samples at which a running map steps: every one in Continuous mode, each
// rising Gate edge in Gated mode; a Reset edge overrides a step.
void HostedMap::noteSteps(int32_t count, bool resetPulse)
{
    const float* gate = buffers[GatePin];
    const int32_t firstStep = resetPulse ? 1 : 0;
    if (!gated) {
        if (count > firstStep) lastStep = clock + count - 1;
        return;
    }
    bool wasHigh = gateWasHigh;
    for (int32_t i = 0; i < count; ++i) {
        const bool high = gate[i] > 0.0f;
        if (high && !wasHigh && i >= firstStep) lastStep = clock + i;
        wasHigh = high;
    }
    gateWasHigh = wasHigh;
}

void HostedMap::noteOutputs(int32_t count)
{
    const float* x = buffers[XPin];
    const float* y = buffers[YPin];
    for (int32_t i = count - 1; i >= 0; --i) {
        if (nonZero(x[i], y[i])) {
            lastNonZero = clock + i;
            return;
        }
    }
}

// The guard leaves exact zeros on both outputs; they are a stop once a map
// step has come after their start and kept them.
int64_t HostedMap::stoppedAt() const
{
    const int64_t zerosFrom = lastNonZero + 1;
    return zerosFrom < clock && lastStep > zerosFrom ? zerosFrom : -1;
}

int32_t SEP_CALL HostedMap::callback(ModuleRecord* record, int32_t opcode, int32_t, int32_t, void*,
                                     float)
{
    if (!record) return 0;
    auto* self = reinterpret_cast<HostedMap*>(static_cast<intptr_t>(record->hostHandle));
    switch (opcode) {
    case GetPinCount:
        return MapPinCount;
    case GetSampleClock:
        return static_cast<int32_t>(self->clock);
    case RequestSleep:
        self->sleepRequested = true;
        return 0;
    default:
        return 0;
    }
}

}  // namespace web
