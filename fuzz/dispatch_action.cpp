// The host's dispatcher calls: any opcode with any arguments, each answer
// checked against what the module promises for it.
#include <cstring>
#include <iterator>

#include "fuzz_script.h"

using namespace sep;
using host::HostedModule;

namespace fuzz {

namespace {

// The arguments every dispatcher call takes, read before the opcode's own.
struct Call {
    uint32_t opcode;
    int32_t index;
    int32_t value;
    float floatValue;
};

// Open announces the two outputs as streaming at the host's clock, and only
// when the host gave a callback.
void dispatchOpen(Slot& slot, FuzzedDataProvider& input, const Call& call)
{
    HostedModule& host = *slot.host;
    host.hostPinCount = input.ConsumeIntegralInRange<int32_t>(-2, 40);
    host.sampleClock = input.ConsumeIntegral<int32_t>();
    host.clearCalls();
    REQUIRE(host.dispatch(Open, call.index, call.value, nullptr, call.floatValue) == 0);
    int32_t announced = 0;
    for (const host::HostCall& made : host.calls) {
        REQUIRE(made.record == host.getRecord());
        if (made.opcode == SetPinStatus) {
            REQUIRE(made.index == tessel::XPin + announced && made.value == Streaming);
            REQUIRE(made.pointer == host.sampleClock);
            ++announced;
        }
    }
    REQUIRE(announced == (slot.withCallback ? 2 : 0));
}

// A declared pin fills the host's record with a name and a variable inside
// the module; any other index leaves the record as it was.
void dispatchPinProperties(Slot& slot, FuzzedDataProvider& input, const Call& call)
{
    HostedModule& host = *slot.host;
    PinProperties declaration;
    std::memset(&declaration, 0x5A, sizeof declaration);
    PinProperties untouched = declaration;
    const bool withRecord = input.ConsumeIntegralInRange<int>(0, 7) != 0;
    const int32_t result = host.dispatch(GetPinProperties, call.index, call.value, withRecord ? &declaration : nullptr,
                                         call.floatValue);
    const bool declared = call.index >= 0 && call.index < kDeclaredPins;
    REQUIRE(result == (withRecord && declared ? 1 : 0));
    if (!declared) REQUIRE(std::memcmp(&declaration, &untouched, sizeof declaration) == 0);
    if (result) {
        REQUIRE(declaration.name != nullptr);
        const auto* variable = static_cast<const char*>(declaration.variable);
        const auto* object = static_cast<const char*>(host.getRecord()->module);
        REQUIRE(variable > object && variable < object + 1024);
    }
}

// The process member names the record's process function, with no this
// adjustment and no virtual base.
void dispatchProcessMember(Slot& slot, const Call& call)
{
    HostedModule& host = *slot.host;
    const int32_t address = host.dispatch(GetProcessMember, call.index, call.value, nullptr, call.floatValue);
    const auto* info = reinterpret_cast<const ProcessMemberInfo*>(static_cast<intptr_t>(address));
    REQUIRE(info != nullptr && info->format == 1 && info->memberSize == sizeof(ProcessMember));
    REQUIRE(info->member->code == host.getRecord()->process && info->reserved == 0);
    REQUIRE(info->member->thisAdjust == 0 && info->member->vbaseOffset == 0 && info->member->vbaseIndex == 0);
}

// Every other opcode answers 0 and calls nothing back.
void dispatchOther(Slot& slot, FuzzedDataProvider& input, const Call& call)
{
    HostedModule& host = *slot.host;
    // Opcode 12 hands its pointer to a hook that ignores it; any word will do.
    void* pointer = call.opcode == Opcode12
                        ? reinterpret_cast<void*>(static_cast<intptr_t>(input.ConsumeIntegral<int32_t>()))
                        : nullptr;
    const size_t before = host.calls.size();
    REQUIRE(host.dispatch(static_cast<int32_t>(call.opcode), call.index, call.value, pointer, call.floatValue) == 0);
    REQUIRE(host.calls.size() == before);
}

}  // namespace

void dispatch(Slot& slot, FuzzedDataProvider& input)
{
    // The module's opcodes, then others it answers with 0. clang-format would give each a line.
    // clang-format off
    static const uint32_t kOpcodes[] = {Open, SetSampleRate, SetBlockSize, GetPinProperties, Opcode8, Opcode12,
                                        GetProcessMember, 4, 5, 7, 9, 10, 11, 14, 22, 0xFFFFFFFF};
    // clang-format on
    const uint32_t opcode = input.ConsumeIntegralInRange<int>(0, 7) != 0
                                ? kOpcodes[input.ConsumeIntegralInRange<size_t>(0, std::size(kOpcodes) - 1)]
                                : input.ConsumeIntegral<uint32_t>();
    if (opcode == Close) return;  // closing is an action of its own
    const int32_t index = consumeIndex(input);
    const int32_t value = input.ConsumeIntegral<int32_t>();
    const Call call{opcode, index, value, consumeSample(input)};

    switch (opcode) {
    case Open: dispatchOpen(slot, input, call); break;
    case GetPinProperties: dispatchPinProperties(slot, input, call); break;
    case GetProcessMember: dispatchProcessMember(slot, call); break;
    default: dispatchOther(slot, input, call); break;
    }
}

}  // namespace fuzz
