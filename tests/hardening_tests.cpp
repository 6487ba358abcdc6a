// The built module library under a host that misbehaves in the ways a pin
// array and its events allow: bad event targets, negative counts, short or
// absent pin arrays, failed allocations.
#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "hardening_support.h"
#include "test_support.h"

using namespace testing_support;
using namespace sep;
using namespace hardening;
using host::builtModuleLibrary;
using host::HostCall;
using host::HostedModule;

// --- events aimed past the pin array --------------------------------------

TEST(HostileEvents, StatusChangesForPinsThatDoNotExistAreIgnored)
{
    HostedModule module;
    connectUsual(module, tessel::Gated);
    module.hostPinCount = 10;
    module.open();
    module.clearCalls();
    const ProcessEntry installed = module.currentProcess();
    for (int32_t target : {-1, -2, 10, 11, 1000, INT_MIN, INT_MAX}) {
        for (int32_t status : {Static, Transient, Streaming}) module.sendStatus(target, status);
    }
    EXPECT_TRUE(module.calls.empty()) << "no pin may react to an event outside 0..count-1";
    EXPECT_EQ(module.currentProcess(), installed);

    module.sendStatus(9, Static);
    EXPECT_EQ(announcedPins(module), (std::vector<int32_t>{6, 7})) << "the last pin still answers";
}

TEST(HostileEvents, StatusChangesBeforeOpenAreIgnored)
{
    HostedModule module;
    connectUsual(module);
    for (int32_t target : {0, 5, 9, -1, INT_MAX}) module.sendStatus(target, Streaming);
    EXPECT_TRUE(module.calls.empty());
    module.fill(tessel::XPin, kSentinel);
    module.process(0, 16);
    EXPECT_EQ(module.buffer(tessel::XPin)[0], kSentinel) << "still the empty process";
}

TEST(HostileEvents, ThePinCountIsTheOneGivenAtOpen)
{
    HostedModule module;
    connectUsual(module, tessel::Gated);
    module.hostPinCount = 3;
    module.open();
    module.hostPinCount = 10;  // the host's answer later on changes nothing
    module.clearCalls();
    for (int32_t target : {3, 4, 5, 9}) module.sendStatus(target, Streaming);
    EXPECT_TRUE(module.calls.empty());
    module.sendStatus(2, Streaming);
    EXPECT_EQ(announcedPins(module), (std::vector<int32_t>{6, 7}));
}

TEST(HostileEvents, MemberCallsRunNothingTheModuleDoesNotOffer)
{
    // The map module offers no member: aimed at its own entries, at text
    // inside the library or at any number, a MemberCall must run nothing.
    const host::ModuleLibrary& library = builtModuleLibrary();
    HostedModule module;
    connectUsual(module);
    module.open();
    module.process(0, 8);
    module.clearCalls();
    const ModuleRecord before = *module.getRecord();
    ModuleProperties properties{};
    library.getModuleProperties(0, &properties);

    const auto address = [](const void* code) { return static_cast<int32_t>(wordOf(code)); };
    const int32_t targets[] = {
        address(codeOf(before.process)),
        address(codeOf(before.dispatcher)),
        address(codeOf(before.event)),
        address(codeOf(library.makeModule)),
        address(codeOf(library.getModuleProperties)),
        address(properties.about),
        address(codeOf(before.process)) + 16,
        0,
        1,
        -1,
        INT_MIN,
        INT_MAX,
        0x10000,
    };
    Event event{};
    event.type = MemberCall;
    for (int32_t target : targets) {
        event.target = target;
        module.sendEvent(event);
    }
    EXPECT_TRUE(module.calls.empty());
    EXPECT_TRUE(sameBytes(before, *module.getRecord()));
    module.process(8, 8);
    const std::vector<uint32_t> reference = referenceOrbit(16);
    EXPECT_EQ(outputBits(module, 8, 8), std::vector<uint32_t>(reference.begin() + 16, reference.end()))
        << "the map goes on as if nothing had been sent";
}

// --- negative counts --------------------------------------------------------

TEST(NegativeCounts, AreNoWorkInEitherProcessFunction)
{
    // Below zero is a host error: nothing read or written, the pending load
    // kept, and the sleep countdown neither taken back nor postponed.
    for (int32_t count : {-1, -100, INT_MIN}) {
        SCOPED_TRACE(count);
        HostedModule module;
        connectUsual(module, tessel::Gated);
        module.dispatch(SetBlockSize, 0, 8);
        module.open();
        module.fill(tessel::XPin, kSentinel);
        module.fill(tessel::YPin, kSentinel);
        module.process(0, count);
        EXPECT_EQ(module.buffer(tessel::XPin)[0], kSentinel);

        module.sendStatus(tessel::GatePin, Static);  // processCountdown, 8 samples to go
        module.clearCalls();
        module.process(0, count);
        module.process(0, 7);
        EXPECT_EQ(module.countCalls(RequestSleep), 0) << "the countdown was postponed";
        module.process(7, 1);
        EXPECT_EQ(module.countCalls(RequestSleep), 1);
        module.process(0, count);
        EXPECT_EQ(module.countCalls(RequestSleep), 2) << "run out: asked again, as for a count of 0";
        EXPECT_EQ(module.buffer(tessel::XPin)[8], kSentinel);
        EXPECT_EQ(module.buffer(tessel::XPin)[0], 0.0f) << "the load waited for a real call";
    }
}

// --- fewer pins than the module declares ------------------------------------

TEST(ShortPinArrays, OpenStillAnnouncesBothOutputsByIndex)
{
    for (int32_t count : {0, -1, 3, 7}) {
        SCOPED_TRACE(count);
        HostedModule module;
        connectUsual(module);
        module.hostPinCount = count;
        module.sampleClock = 96;
        module.open();
        EXPECT_EQ(announcedPins(module), (std::vector<int32_t>{6, 7}));
        EXPECT_EQ(announcedStatuses(module), (std::vector<int32_t>{Streaming, Streaming}));
        for (const HostCall& call : module.calls) {
            if (call.opcode == SetPinStatus) {
                EXPECT_EQ(call.pointer, 96);
            }
        }
        module.process(0, 4);
        EXPECT_EQ(bitsOf(module.buffer(tessel::XPin)[0]), kFirstX) << "the map runs without pins";
    }
}

TEST(ShortPinArrays, MissingPinsReadAsStatic)
{
    // Gated with only Gate and Reset present: their statuses decide, and
    // x0, y0, a and b, absent, never count as streaming.
    HostedModule module;
    connectUsual(module, tessel::Gated);
    module.hostPinCount = 2;
    module.open();
    module.clearCalls();

    module.sendStatus(tessel::GatePin, Static);
    EXPECT_EQ(announcedStatuses(module), (std::vector<int32_t>{Static, Static}));
    module.clearCalls();
    module.sendStatus(tessel::ResetPin, Transient);
    EXPECT_EQ(announcedStatuses(module), (std::vector<int32_t>{Streaming, Streaming}));
    module.clearCalls();
    module.sendStatus(tessel::GatePin, Transient);
    EXPECT_EQ(announcedStatuses(module), (std::vector<int32_t>{Transient, Transient}))
        << "Reset, back to Static after its Transient, must not lift the status";

    HostedModule onlyGate;
    connectUsual(onlyGate, tessel::Gated);
    onlyGate.hostPinCount = 1;
    onlyGate.open();
    onlyGate.clearCalls();
    onlyGate.sendStatus(tessel::GatePin, Transient);
    EXPECT_EQ(announcedStatuses(onlyGate), (std::vector<int32_t>{Transient, Transient}))
        << "a missing Reset pin is Static";
}

TEST(ShortPinArrays, MissingInputPinsNeverReinitialise)
{
    // With three pins, a status change on Reset must not restart the map:
    // the absent x0, y0, a and b pins read Static.
    HostedModule module;
    connectUsual(module);
    module.hostPinCount = 3;
    module.open();
    module.process(0, 8);
    module.sendStatus(tessel::ResetPin, Streaming);
    module.sendStatus(tessel::X0Pin, Static);
    module.process(8, 8);
    const std::vector<uint32_t> reference = referenceOrbit(16);
    EXPECT_EQ(outputBits(module, 0, 16), reference);
}

TEST(ShortPinArrays, WithoutACallbackTheModuleRunsAlone)
{
    HostedModule module(host::factoryOf(builtModuleLibrary()), HostedModule::kDefaultHandle, false);
    ASSERT_TRUE(module.valid());
    connectUsual(module, tessel::Gated);
    module.open();
    for (int32_t target = -1; target <= 10; ++target) module.sendStatus(target, Streaming);
    module.setList(tessel::ModePin, tessel::Continuous);
    module.process(0, 16);
    EXPECT_EQ(outputBits(module, 0, 16), referenceOrbit(16));
    EXPECT_TRUE(module.calls.empty());
}

// --- allocation failure -----------------------------------------------------

TEST(PinAllocationFailure, OpenGoesOnWithoutPins)
{
    // INT32_MAX pins overflow a 32-bit size; 0x08000000 pins of 28 bytes or
    // more do not, but no 32-bit process can hold them.
    for (int32_t count : {INT_MAX, 0x08000000}) {
        SCOPED_TRACE(count);
        HostedModule module;
        connectUsual(module, tessel::Gated);
        module.hostPinCount = count;
        module.open();
        EXPECT_EQ(announcedPins(module), (std::vector<int32_t>{6, 7}));
        EXPECT_EQ(module.countCalls(GetPinBuffer), 0);
        module.clearCalls();
        for (int32_t target : {0, 1, 9, 10, count - 1}) module.sendStatus(target, Static);
        EXPECT_TRUE(module.calls.empty()) << "no pin was built, so none can change";
        module.setList(tessel::ModePin, tessel::Continuous);
        module.process(0, 16);
        EXPECT_EQ(outputBits(module, 0, 16), referenceOrbit(16));
    }
}
