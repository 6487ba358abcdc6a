// The host's events, of every type and aimed anywhere: only a status change
// may make the module call back.
#include <cstddef>

#include "fuzz_script.h"

using namespace sep;
using host::HostedModule;

namespace fuzz {

namespace {

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

}  // namespace

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
        event.target = input.ConsumeBool() ? static_cast<int32_t>(reinterpret_cast<intptr_t>(
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

}  // namespace fuzz
