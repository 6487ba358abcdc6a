// ModuleBase's events and settings through the probe: pin statuses as a
// process call sees them, forwarded and member-call events, output statuses,
// and what the dispatcher stores and declares.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "hosted_probe.h"
#include "test_support.h"

using namespace sep;
using namespace testing_support;
using namespace framework_testing;
using host::HostCall;
using host::HostedModule;

// --- events ----------------------------------------------------------------

TEST(PinEvents, TransientIsShownOnceThenFallsBack)
{
    HostedProbe hosted(10);
    hosted.host.open();
    ProbeModule& probe = *hosted.probe;
    hosted.host.sendStatus(3, Transient);
    ASSERT_EQ(probe.statusChanges.size(), 1u);
    EXPECT_EQ(probe.statusChanges[0].pin, 3);
    EXPECT_EQ(probe.statusChanges[0].status, Transient);
    EXPECT_EQ(probe.pin(3)->getStatus(), Static);
    EXPECT_TRUE(probe.forwarded.empty()) << "a status change is no forwarded event";

    for (int32_t kept : {int32_t{Streaming}, int32_t{Static}, 7, -3}) {
        hosted.host.sendStatus(4, kept);
        EXPECT_EQ(probe.statusChanges.back().status, kept);
        EXPECT_EQ(probe.pin(4)->getStatus(), kept);
    }
}

TEST(PinEvents, OtherPinsShowTheirLevelsDuringTheCall)
{
    HostedProbe hosted(10);
    hosted.host.open();
    ProbeModule& probe = *hosted.probe;
    hosted.host.sendStatus(0, Streaming);
    hosted.host.sendStatus(1, Transient);
    EXPECT_EQ(probe.pin(0)->getStatus(), Streaming);
    EXPECT_EQ(probe.pinStatus(0), Streaming);
    EXPECT_EQ(probe.pinStatus(1), Static);
    EXPECT_EQ(probe.pinStatus(10), Static) << "a pin the host did not give reads Static";
    EXPECT_EQ(probe.pinStatus(-1), Static);
}

TEST(PinEvents, ForwardedEventsReachTheHook)
{
    HostedProbe hosted(10);
    hosted.host.open();
    Event event{};
    event.timeStamp = 1234;
    event.type = Forwarded;
    event.value = -5;
    event.value16 = -2;
    // aimed at an offered member: a Forwarded event must not run it
    event.target = static_cast<int32_t>(reinterpret_cast<intptr_t>(&ProbeModule::memberCallTarget));
    hosted.host.sendEvent(event);
    ASSERT_EQ(hosted.probe->forwarded.size(), 1u);
    EXPECT_EQ(hosted.probe->forwarded[0], (std::vector<int32_t>{1234, -5, -2}));
    EXPECT_TRUE(hosted.probe->statusChanges.empty());
    EXPECT_EQ(hosted.probe->memberCalls, 0);
}

TEST(PinEvents, UnknownTypesDoNothing)
{
    HostedProbe hosted(10);
    hosted.host.open();
    hosted.host.clearCalls();
    for (int32_t type : {1, 3, 5, 20, 22, -1}) {
        Event event{};
        event.type = type;
        event.value = Streaming;
        event.target = 2;
        hosted.host.sendEvent(event);
    }
    EXPECT_TRUE(hosted.probe->statusChanges.empty());
    EXPECT_TRUE(hosted.probe->forwarded.empty());
    EXPECT_EQ(hosted.probe->pin(2)->getStatus(), Static);
    EXPECT_TRUE(hosted.host.calls.empty());
}

TEST(PinEvents, MemberCallRunsTheNamedFunctionOnTheModule)
{
    HostedProbe hosted(10);
    hosted.host.open();
    Event event{};
    event.type = MemberCall;
    event.target = static_cast<int32_t>(reinterpret_cast<intptr_t>(&ProbeModule::memberCallTarget));
    hosted.host.sendEvent(event);
    hosted.host.sendEvent(event);
    EXPECT_EQ(hosted.probe->memberCalls, 2);
    event.target = static_cast<int32_t>(reinterpret_cast<intptr_t>(&ProbeModule::notOffered));
    hosted.host.sendEvent(event);
    EXPECT_EQ(hosted.probe->memberCalls, 2) << "a member the module does not offer never runs";
}

TEST(PinEvents, OutputStatusReachesTheHostAndLeavesThePin)
{
    HostedProbe hosted(10);
    hosted.host.open();
    hosted.host.clearCalls();
    hosted.host.checkCalls = false;  // a clock of the test's choosing, not the host's
    hosted.probe->pin(6)->setOutputStatus(480, Streaming);
    ASSERT_EQ(hosted.host.calls.size(), 1u);
    const HostCall& call = hosted.host.calls[0];
    EXPECT_EQ(call.record, hosted.host.getRecord());
    EXPECT_EQ(call.opcode, SetPinStatus);
    EXPECT_EQ(call.index, 6);
    EXPECT_EQ(call.value, Streaming);
    EXPECT_EQ(call.pointer, 480);
    EXPECT_EQ(bitsOf(call.floatValue), 0u);
    EXPECT_EQ(hosted.probe->pin(6)->getStatus(), Static);
}

// --- settings, declarations through the dispatcher ---------------------------

TEST(ModuleSettings, StartAtDefaultsAndStoreWhatTheHostSendsBitForBit)
{
    HostedProbe hosted(10);
    ProbeModule& probe = *hosted.probe;
    EXPECT_EQ(bitsOf(probe.getSampleRate()), bitsOf(44100.0f));
    EXPECT_EQ(probe.getBlockSize(), 1024);
    for (uint32_t bits : {0x473B8000u, 0x80000000u, 0x00000001u, 0x7FC01234u, 0xFF800000u}) {
        EXPECT_EQ(hosted.host.dispatch(SetSampleRate, 7, 9, nullptr, floatFromBits(bits)), 0);
        EXPECT_EQ(bitsOf(probe.getSampleRate()), bits);
        EXPECT_EQ(probe.getBlockSize(), 1024) << "the value argument is not a block size";
    }
    for (int32_t size : {256, 0, -64, INT32_MAX}) {
        EXPECT_EQ(hosted.host.dispatch(SetBlockSize, 3, size, nullptr, 96000.0f), 0);
        EXPECT_EQ(probe.getBlockSize(), size);
        EXPECT_EQ(bitsOf(probe.getSampleRate()), 0xFF800000u) << "the float argument is not a rate";
    }
}

TEST(ModuleSettings, DispatchedDeclarationsUseTheHostsRecordUncleared)
{
    HostedProbe hosted(10);
    auto record = patterned<PinProperties>();
    EXPECT_EQ(hosted.host.dispatch(GetPinProperties, 2, 0, &record), 1);
    EXPECT_EQ(record.variable, &hosted.probe->variables[2]);
    EXPECT_EQ(record.defaultText, patterned<PinProperties>().defaultText);
    record = patterned<PinProperties>();
    EXPECT_EQ(hosted.host.dispatch(GetPinProperties, 10, 0, &record), 0);
    EXPECT_TRUE(sameBytes(record, patterned<PinProperties>()));
}

TEST(ModuleSettings, Opcodes8And12ReachTheirHooksWithTheArgumentsInOrder)
{
    struct Row {
        uint32_t opcode;
        int32_t index, value;
        intptr_t pointer;
        std::vector<intptr_t> hook;
    };
    const Row rows[] = {
        {Opcode8, 5, 6, 7, {Opcode8}},
        {Opcode12, 1, 2, 0x1234, {Opcode12, 2, 1, 0x1234}},
        {Opcode12, -7, INT32_MAX, 0, {Opcode12, INT32_MAX, -7, 0}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.opcode);
        HostedProbe hosted(10);
        EXPECT_EQ(hosted.host.dispatch(row.opcode, row.index, row.value, reinterpret_cast<void*>(row.pointer), 1.5f),
                  0);
        EXPECT_EQ(hosted.probe->dispatchedHooks, std::vector<std::vector<intptr_t>>{row.hook});
        EXPECT_TRUE(hosted.host.calls.empty());
    }
}

TEST(ModuleSettings, QueryClearsTheRecordFirst)
{
    HostedProbe hosted(10);
    auto record = patterned<PinProperties>();
    EXPECT_TRUE(hosted.probe->queryPinProperties(4, &record));
    EXPECT_EQ(record.defaultText, nullptr);
    EXPECT_EQ(record.flags, 0);
    EXPECT_EQ(record.reserved, 0);
    record = patterned<PinProperties>();
    EXPECT_FALSE(hosted.probe->queryPinProperties(-1, &record));
    EXPECT_TRUE(sameBytes(record, PinProperties{}));
}
