#include "session.h"

#include "generator/map_pins.h"
#include "generator/map_rules.h"

namespace host {

namespace {

using namespace tessel;

// Whether the sample before sample i of a block was high.
bool highBefore(const float* samples, int32_t i, bool highBeforeBlock)
{
    return i > 0 ? isHigh(samples[i - 1]) : highBeforeBlock;
}

}  // namespace

Session::Session(Instance& instance, int32_t sampleRate, int32_t blockSize)
    : instance(instance), rate(sampleRate), block(blockSize)
{
    if (!instance.connect(blockSize)) return;
    inputs.resize(instance.declarations().size());
    xOut = instance.buffer(XPin);
    yOut = instance.buffer(YPin);
    connected = xOut && yOut && instance.buffer(GatePin) && instance.buffer(ResetPin) && instance.list(ModePin);
}

void Session::feed(int32_t pin, Source& source)
{
    float* samples = connected ? instance.buffer(pin) : nullptr;
    if (!samples || instance.declarations()[pin].direction != sep::Input) return;
    inputs[pin].source = &source;
    if (!source.moves()) source.fill(clock, samples, instance.bufferLength());
    if (opened) announce(pin);
}

void Session::setList(int32_t pin, int16_t item)
{
    int16_t* variable = connected ? instance.list(pin) : nullptr;
    if (!variable || *variable == item) return;
    *variable = item;
    if (opened) instance.sendStatus(pin, sep::Transient);
}

void Session::open()
{
    if (!connected || opened) return;
    instance.dispatch(sep::SetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
    instance.dispatch(sep::SetBlockSize, 0, block);
    instance.open();
    opened = true;
    for (size_t pin = 0; pin < inputs.size(); ++pin) announce(static_cast<int32_t>(pin));
}

void Session::announce(int32_t pin)
{
    Input& input = inputs[pin];
    const int32_t status = input.source && input.source->moves() ? sep::Streaming : sep::Static;
    if (status == input.announced) return;
    input.announced = status;
    instance.sendStatus(pin, status);
}

int32_t Session::renderBlock(int32_t count)
{
    count = std::clamp(count, 0, block);
    if (!opened || count == 0) return 0;
    for (size_t pin = 0; pin < inputs.size(); ++pin) {
        Source* source = inputs[pin].source;
        if (source && source->moves()) source->fill(clock, instance.buffer(static_cast<int32_t>(pin)), count);
    }
    instance.process(0, count);
    noteSteps(count);
    noteOutputs(count);
    clock += count;
    instance.sampleClock = static_cast<int32_t>(clock);
    return count;
}

// The last sample of the block at which a running map steps, by the
// module's own rule, with no rising Reset edge to load x0 and y0 over it.
void Session::noteSteps(int32_t count)
{
    const float* gate = instance.buffer(GatePin);
    const float* reset = instance.buffer(ResetPin);
    const int16_t mode = *instance.list(ModePin);
    for (int32_t i = count - 1; i >= 0; --i) {
        if (stepsAt(mode, gate[i], highBefore(gate, i, gateWasHigh)) &&
            !rises(reset[i], highBefore(reset, i, resetWasHigh))) {
            lastStep = clock + i;
            break;
        }
    }
    gateWasHigh = isHigh(gate[count - 1]);
    resetWasHigh = isHigh(reset[count - 1]);
}

void Session::noteOutputs(int32_t count)
{
    for (int32_t i = count - 1; i >= 0; --i) {
        if (xOut[i] != 0.0f || yOut[i] != 0.0f) {
            lastNonZero = clock + i;
            return;
        }
    }
}

int64_t Session::stoppedAt() const
{
    const int64_t from = zerosFrom();
    return from < clock && lastStep > from ? from : -1;
}

void Session::hold(int32_t pin, Constant& source, float value)
{
    source.set(value);
    feed(pin, source);
}

}  // namespace host
