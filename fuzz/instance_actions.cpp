// The host making, connecting, feeding and closing instances, and asking the
// library for its properties: the actions around the calls that do the work.
#include <cstring>
#include <memory>

#include "fuzz_script.h"

using namespace sep;
using host::HostedModule;

namespace fuzz {

void checkRecord(const Slot& slot)
{
    ModuleRecord now = *slot.host->getRecord();
    REQUIRE(now.process != nullptr);
    now.process = slot.shape.process;
    REQUIRE(std::memcmp(&now, &slot.shape, sizeof now) == 0);
}

void connect(Slot& slot, FuzzedDataProvider& input)
{
    slot.bufferLength = input.ConsumeIntegralInRange<int32_t>(1, kMaxBufferLength);
    slot.host->connect(slot.bufferLength);
    slot.bufferNulled = false;
    REQUIRE(slot.host->declarations().size() == kDeclaredPins);
}

void create(Slot& slot, FuzzedDataProvider& input)
{
    static const int32_t kIndexes[] = {kModuleIndex, kModuleIndex, kModuleIndex, kModuleIndex + 1, -1};
    static const int32_t kKinds[] = {kModuleObjectKind, kModuleObjectKind, kModuleObjectKind, 0, 2};
    const int32_t index = input.ConsumeBool() ? kIndexes[input.ConsumeIntegralInRange<int>(0, 4)]
                                              : input.ConsumeIntegral<int32_t>();
    const int32_t kind = input.ConsumeBool() ? kKinds[input.ConsumeIntegralInRange<int>(0, 4)]
                                             : input.ConsumeIntegral<int32_t>();
    const bool withCallback = input.ConsumeIntegralInRange<int>(0, 7) != 0;
    const int32_t handle = input.ConsumeIntegral<int32_t>();

    auto hosted = std::make_unique<HostedModule>(
        [index, kind](HostCallback callback, int32_t hostHandle) {
            return makeModule(index, kind, callback, hostHandle);
        },
        handle, withCallback);
    REQUIRE(hosted->valid() == (index == kModuleIndex && kind == kModuleObjectKind));
    if (!hosted->valid()) return;

    const ModuleRecord& record = *hosted->getRecord();
    REQUIRE(record.tag == kRecordTag && record.version == kRecordVersion && record.hostHandle == handle);
    REQUIRE(record.module != nullptr && record.dispatcher != nullptr && record.event != nullptr);
    REQUIRE(record.reserved1 == 0);
    for (int32_t word : record.reserved2) REQUIRE(word == 0);
    REQUIRE(hosted->calls.empty());

    slot = Slot{};
    slot.host = std::move(hosted);
    slot.shape = record;
    slot.withCallback = withCallback;

    // Most hosts connect and open at once; this saves the fuzzer finding the way.
    if (input.ConsumeBool()) {
        connect(slot, input);
        slot.host->fill(tessel::APin, 0.14f);
        slot.host->fill(tessel::BPin, 0.03f);
        slot.host->hostPinCount = kDeclaredPins;
        slot.host->open();
    }
}

void writeInputs(Slot& slot, FuzzedDataProvider& input)
{
    if (!slot.bufferLength) return;
    const int32_t pin = input.ConsumeIntegralInRange<int32_t>(tessel::GatePin, tessel::BPin);
    float* buffer = slot.host->buffer(pin);
    if (!buffer) return;
    const int32_t first = input.ConsumeIntegralInRange<int32_t>(0, slot.bufferLength - 1);
    const int32_t last = input.ConsumeIntegralInRange<int32_t>(first, slot.bufferLength - 1);
    if (input.ConsumeBool()) {
        const float value = consumeSample(input);
        for (int32_t i = first; i <= last; ++i) buffer[i] = value;
    } else {
        for (int32_t i = first; i <= last && input.remaining_bytes() > 0; ++i) buffer[i] = consumeSample(input);
    }
}

void writeList(Slot& slot, FuzzedDataProvider& input)
{
    if (!slot.bufferLength) return;
    const int32_t pin = input.ConsumeBool() ? tessel::ModePin : tessel::NormalizePin;
    const int16_t item = input.ConsumeBool() ? input.ConsumeIntegralInRange<int16_t>(-1, 2)
                                             : input.ConsumeIntegral<int16_t>();
    slot.host->setList(pin, item);
}

void nullBuffer(Slot& slot, FuzzedDataProvider& input)
{
    if (!slot.bufferLength) return;
    const int32_t pin = input.ConsumeIntegralInRange<int32_t>(tessel::GatePin, tessel::YPin);
    *static_cast<float**>(slot.host->declarations()[pin].variable) = nullptr;
    slot.bufferNulled = true;
}

void askProperties(Slot&, FuzzedDataProvider& input)
{
    struct HostRecord {
        ModuleProperties properties;
        uint8_t tail[16];
    } record, untouched;
    std::memset(&record, 0xC3, sizeof record);
    untouched = record;
    const int32_t index = input.ConsumeBool() ? input.ConsumeIntegralInRange<int32_t>(-1, 2)
                                              : input.ConsumeIntegral<int32_t>();
    if (input.ConsumeIntegralInRange<int>(0, 3) == 0) {
        REQUIRE(getModuleProperties(index, nullptr) == 0);
        return;
    }
    const int32_t result = getModuleProperties(index, &record.properties);
    REQUIRE(result == (index == 0 ? 1 : 0));
    REQUIRE(record.properties.sdkVersion == kSdkVersion);
    REQUIRE(record.properties.hostWord12 == untouched.properties.hostWord12);
    REQUIRE(record.properties.hostWord16 == untouched.properties.hostWord16);
    REQUIRE(std::memcmp(record.tail, untouched.tail, sizeof record.tail) == 0);
    if (index != 0) REQUIRE(record.properties.name == untouched.properties.name);
}

void closeInstance(Slot& slot, FuzzedDataProvider&)
{
    REQUIRE(slot.host->close() == 1);
    slot = Slot{};
}

}  // namespace fuzz
