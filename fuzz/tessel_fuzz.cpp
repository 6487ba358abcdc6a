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
#include <cstddef>
#include <cstdint>

#include "fuzz_script.h"

using namespace sep;
using namespace fuzz;

namespace {

// What the host does next, and how often against the others. An action on an
// instance, aimed at a slot without one, creates one instead.
const struct {
    void (*run)(Slot& slot, FuzzedDataProvider& input);
    int weight;
    bool onInstance;
} kActions[] = {
    {askProperties, 1, false}, {create, 1, false},       {connect, 1, true},  {writeInputs, 1, true},
    {writeList, 1, true},      {nullBuffer, 1, true},    {dispatch, 1, true}, {sendEvent, 2, true},
    {process, 2, true},        {closeInstance, 1, true},
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
