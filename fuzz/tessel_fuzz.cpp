// libFuzzer target: every input is a script of host actions against the
// statically linked module, driven through the host emulator exactly as a
// host drives the library: the two exports, then each record's dispatcher,
// event and process entries. The host misbehaves within what it can get away
// with: odd makeModule arguments, any opcode with any arguments, pin counts
// from -2 to 40, events of every type aimed anywhere (MemberCall at the
// module's own entries too), pin buffers left null, and blocks anywhere inside its buffers,
// full of NaNs, infinities, subnormals and huge values, in any floating-point
// mode. Sanitizers catch memory faults and undefined behaviour; the checks
// below and the emulator's check of every host call catch a module that
// breaks its promises to the host. Every instance is closed at the end of
// each input, so anything left allocated is a leak.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>
#include <xmmintrin.h>

#include "framework/boundary.h"
#include "framework/float_mode.h"
#include "generator/map_pins.h"
#include "host/emulator/hosted_module.h"

using namespace sep;
using host::HostedModule;

extern "C" ModuleRecord* SEP_CALL makeModule(int32_t index, int32_t kind, HostCallback callback,
                                             int32_t hostHandle);
extern "C" int32_t SEP_CALL getModuleProperties(int32_t index, ModuleProperties* properties);

namespace {

// A broken promise to the host: stop here so libFuzzer keeps the input.
#define REQUIRE(condition)      \
    do {                        \
        if (!(condition)) {     \
            __builtin_trap();   \
        }                       \
    } while (false)

// A row of a table of {..., weight} rows, each picked as often as its
// weight says against the others.
template <typename Row, size_t N>
const Row& consumeWeighted(FuzzedDataProvider& input, const Row (&rows)[N])
{
    int total = 0;
    for (const Row& row : rows) total += row.weight;
    int pick = input.ConsumeIntegralInRange<int>(0, total - 1);
    for (const Row& row : rows) {
        if (pick < row.weight) return row;
        pick -= row.weight;
    }
    return rows[N - 1];
}

constexpr int kSlots = 4;
constexpr int32_t kMaxBufferLength = 512;
constexpr int32_t kDeclaredPins = tessel::MapPinCount;

struct Slot {
    std::unique_ptr<HostedModule> host;
    ModuleRecord shape{};      // the record as made; only `process` may change
    bool withCallback = false;
    int32_t bufferLength = 0;  // 0: not connected, so the pin variables are null
    bool bufferNulled = false; // the host has cleared one of the eight buffer variables
};

const uint32_t kEdgeCaseBits[] = {
    0x00000000, 0x80000000,              // +0, -0
    0x7FC00000, 0xFFC00000, 0x7F800001,  // quiet NaNs, signalling NaN
    0x7F800000, 0xFF800000,              // infinities
    0x00000001, 0x807FFFFF, 0x00800000,  // subnormals, smallest normal
    0x7F7FFFFF, 0xFF7FFFFF,              // largest finite
    0x3E4CCCCD, 0x3E4CCCCC, 0xBE4CCCCD,  // the guard bounds and just inside
    0x3E0F5C29, 0x3CF5C28F,              // usual a and b
    0x3F800000, 0xBF800000, 0x5F000000,  // +-1 (10 V), 2^63
};

float consumeSample(FuzzedDataProvider& input)
{
    uint32_t bits;
    if (input.ConsumeBool())
        bits = kEdgeCaseBits[input.ConsumeIntegralInRange<size_t>(0, std::size(kEdgeCaseBits) - 1)];
    else
        bits = input.ConsumeIntegral<uint32_t>();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

int32_t consumeIndex(FuzzedDataProvider& input)
{
    switch (input.ConsumeIntegralInRange<int>(0, 4)) {
    case 0:
        return input.ConsumeIntegralInRange<int32_t>(0, kDeclaredPins + 1);
    case 1:
        return input.ConsumeIntegralInRange<int32_t>(-3, 45);
    case 2:
        return input.ConsumeBool() ? INT32_MIN : INT32_MAX;
    default:
        return input.ConsumeIntegral<int32_t>();
    }
}

int32_t consumeStatus(FuzzedDataProvider& input)
{
    return input.ConsumeBool() ? input.ConsumeIntegralInRange<int32_t>(0, 2) : input.ConsumeIntegral<int32_t>();
}

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

void dispatch(Slot& slot, FuzzedDataProvider& input)
{
    static const uint32_t kOpcodes[] = {Open, SetSampleRate, SetBlockSize, GetPinProperties, Opcode8,
                                        Opcode12, GetProcessMember, 4, 5, 7, 9, 10, 11, 14, 22, 0xFFFFFFFF};
    const uint32_t opcode = input.ConsumeIntegralInRange<int>(0, 7) != 0
                                ? kOpcodes[input.ConsumeIntegralInRange<size_t>(0, std::size(kOpcodes) - 1)]
                                : input.ConsumeIntegral<uint32_t>();
    if (opcode == Close) return;  // closing is an action of its own
    const int32_t index = consumeIndex(input);
    const int32_t value = input.ConsumeIntegral<int32_t>();
    const float floatValue = consumeSample(input);
    HostedModule& host = *slot.host;

    switch (opcode) {
    case Open: {
        host.hostPinCount = input.ConsumeIntegralInRange<int32_t>(-2, 40);
        host.sampleClock = input.ConsumeIntegral<int32_t>();
        host.clearCalls();
        REQUIRE(host.dispatch(Open, index, value, nullptr, floatValue) == 0);
        int32_t announced = 0;
        for (const host::HostCall& call : host.calls) {
            REQUIRE(call.record == host.getRecord());
            if (call.opcode == SetPinStatus) {
                REQUIRE(call.index == tessel::XPin + announced && call.value == Streaming);
                REQUIRE(call.pointer == host.sampleClock);
                ++announced;
            }
        }
        REQUIRE(announced == (slot.withCallback ? 2 : 0));
        break;
    }
    case GetPinProperties: {
        PinProperties declaration;
        std::memset(&declaration, 0x5A, sizeof declaration);
        PinProperties untouched = declaration;
        const bool withRecord = input.ConsumeIntegralInRange<int>(0, 7) != 0;
        const int32_t result =
            host.dispatch(GetPinProperties, index, value, withRecord ? &declaration : nullptr, floatValue);
        const bool declared = index >= 0 && index < kDeclaredPins;
        REQUIRE(result == (withRecord && declared ? 1 : 0));
        if (!declared) REQUIRE(std::memcmp(&declaration, &untouched, sizeof declaration) == 0);
        if (result) {
            REQUIRE(declaration.name != nullptr);
            const auto* variable = static_cast<const char*>(declaration.variable);
            const auto* object = static_cast<const char*>(host.getRecord()->module);
            REQUIRE(variable > object && variable < object + 1024);
        }
        break;
    }
    case GetProcessMember: {
        const int32_t address = host.dispatch(GetProcessMember, index, value, nullptr, floatValue);
        const auto* info = reinterpret_cast<const ProcessMemberInfo*>(static_cast<intptr_t>(address));
        REQUIRE(info != nullptr && info->format == 1 && info->memberSize == sizeof(ProcessMember));
        REQUIRE(info->member->code == host.getRecord()->process && info->reserved == 0);
        REQUIRE(info->member->thisAdjust == 0 && info->member->vbaseOffset == 0 && info->member->vbaseIndex == 0);
        break;
    }
    default: {
        // Opcode 12 hands its pointer to a hook that ignores it; any word will do.
        void* pointer = opcode == Opcode12 ? reinterpret_cast<void*>(static_cast<intptr_t>(input.ConsumeIntegral<int32_t>()))
                                           : nullptr;
        const size_t before = host.calls.size();
        REQUIRE(host.dispatch(static_cast<int32_t>(opcode), index, value, pointer, floatValue) == 0);
        REQUIRE(host.calls.size() == before);
        break;
    }
    }
}

// The events a host sends, and how often: mostly status changes, the one kind
// the module acts on.
enum class EventKind { PinStatus, Forwarded, MemberCall, AnyType };

const struct {
    EventKind kind;
    int weight;
} kEventKinds[] = {
    {EventKind::PinStatus, 3},
    {EventKind::Forwarded, 1},
    {EventKind::MemberCall, 1},
    {EventKind::AnyType, 1},
};

void sendEvent(Slot& slot, FuzzedDataProvider& input)
{
    Event event{};
    event.timeStamp = input.ConsumeIntegral<int32_t>();
    event.value = consumeStatus(input);
    event.value16 = input.ConsumeIntegral<int16_t>();
    event.reserved = input.ConsumeIntegral<int32_t>();
    switch (consumeWeighted(input, kEventKinds).kind) {
    case EventKind::PinStatus:
        event.type = PinStatusChange;
        event.target = consumeIndex(input);
        break;
    case EventKind::Forwarded:
        event.type = Forwarded;
        event.target = input.ConsumeIntegral<int32_t>();
        break;
    case EventKind::MemberCall: {
        // The module offers no member, so no target may run anything: aim at
        // its own entries as well as anywhere at all.
        event.type = MemberCall;
        const ModuleRecord& record = *slot.host->getRecord();
        const void* entries[] = {reinterpret_cast<const void*>(record.process),
                                 reinterpret_cast<const void*>(record.dispatcher),
                                 reinterpret_cast<const void*>(record.event)};
        event.target = input.ConsumeBool()
                           ? static_cast<int32_t>(reinterpret_cast<intptr_t>(
                                 entries[input.ConsumeIntegralInRange<size_t>(0, 2)]))
                           : input.ConsumeIntegral<int32_t>();
        break;
    }
    case EventKind::AnyType:
        event.type = input.ConsumeIntegral<int32_t>();
        event.target = input.ConsumeIntegral<int32_t>();
        break;
    }
    const size_t before = slot.host->calls.size();
    slot.host->sendEvent(event);
    if (event.type != PinStatusChange) REQUIRE(slot.host->calls.size() == before);
    for (size_t i = before; i < slot.host->calls.size(); ++i) {
        const int32_t opcode = slot.host->calls[i].opcode;
        REQUIRE(opcode == SetPinStatus || opcode == GetSampleClock || opcode == ProcessChanged);
    }
}

// The host's thread may hold any floating-point mode; the module must hand it
// back exactly, flags included.
void processInMode(HostedModule& host, int32_t offset, int32_t count, uint32_t mode)
{
    _mm_setcsr(mode);
    host.process(offset, count);
    const uint32_t after = _mm_getcsr();
    _mm_setcsr(kDefaultMxcsr);
    REQUIRE(after == mode);
}

void process(Slot& slot, FuzzedDataProvider& input)
{
    HostedModule& host = *slot.host;
    const size_t before = host.calls.size();
    const uint32_t mode = input.ConsumeBool() ? kDefaultMxcsr : input.ConsumeIntegral<uint16_t>();
    if (!slot.bufferLength || slot.bufferNulled || input.ConsumeIntegralInRange<int>(0, 15) == 0) {
        // Without all eight buffers, or with no samples asked for, nothing may be
        // touched, wherever the block would lie.
        const int32_t offset = input.ConsumeIntegral<int32_t>();
        const int32_t count = !slot.bufferLength || slot.bufferNulled ? input.ConsumeIntegral<int32_t>()
                                                                      : -input.ConsumeIntegralInRange<int32_t>(0, INT32_MAX);
        std::vector<float> x, y;
        if (slot.bufferLength) {
            if (float* out = host.buffer(tessel::XPin)) x.assign(out, out + slot.bufferLength);
            if (float* out = host.buffer(tessel::YPin)) y.assign(out, out + slot.bufferLength);
        }
        processInMode(host, offset, count, mode);
        if (slot.bufferLength) {
            if (float* out = host.buffer(tessel::XPin)) REQUIRE(std::memcmp(out, x.data(), x.size() * sizeof(float)) == 0);
            if (float* out = host.buffer(tessel::YPin)) REQUIRE(std::memcmp(out, y.data(), y.size() * sizeof(float)) == 0);
        }
    } else {
        const int32_t offset = input.ConsumeIntegralInRange<int32_t>(0, slot.bufferLength);
        const int32_t count = input.ConsumeIntegralInRange<int32_t>(0, slot.bufferLength - offset);
        float* x = host.buffer(tessel::XPin);
        float* y = host.buffer(tessel::YPin);
        const uint32_t marker = 0x7FC0DEAD;
        auto mark = [&](int32_t i) {
            if (i >= 0 && i < slot.bufferLength) {
                std::memcpy(&x[i], &marker, 4);
                std::memcpy(&y[i], &marker, 4);
            }
        };
        auto marked = [&](int32_t i) {
            return i < 0 || i >= slot.bufferLength ||
                   (std::memcmp(&x[i], &marker, 4) == 0 && std::memcmp(&y[i], &marker, 4) == 0);
        };
        mark(offset - 1);
        mark(offset + count);
        processInMode(host, offset, count, mode);
        REQUIRE(marked(offset - 1) && marked(offset + count));
    }
    for (size_t i = before; i < host.calls.size(); ++i) REQUIRE(host.calls[i].opcode == RequestSleep);
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

// What the host does next, and how often against the others. An action on an
// instance, aimed at a slot without one, creates one instead.
const struct {
    void (*run)(Slot& slot, FuzzedDataProvider& input);
    int weight;
    bool onInstance;
} kActions[] = {
    {askProperties, 1, false},
    {create, 1, false},
    {connect, 1, true},
    {writeInputs, 1, true},
    {writeList, 1, true},
    {nullBuffer, 1, true},
    {dispatch, 1, true},
    {sendEvent, 2, true},
    {process, 2, true},
    {closeInstance, 1, true},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    Slot slots[kSlots];

    while (input.remaining_bytes() > 0) {
        const auto& action = consumeWeighted(input, kActions);
        Slot& slot = slots[input.ConsumeIntegralInRange<int>(0, kSlots - 1)];
        if (action.onInstance && !slot.host) {
            create(slot, input);
            continue;
        }
        action.run(slot, input);
        if (action.onInstance && slot.host) checkRecord(slot);
    }
    for (Slot& slot : slots) slot.host.reset();
    // The module announces its outputs, pins 6 and 7, whatever pin count the
    // host gave: with fewer pins, those are the only calls out of range.
    for (const host::HostCallViolation& violation : host::takeHostCallViolations()) {
        REQUIRE(violation.call.opcode == SetPinStatus && violation.rule == host::HostCallRule::KnownPin);
        REQUIRE(violation.call.index == tessel::XPin || violation.call.index == tessel::YPin);
    }
    return 0;
}
