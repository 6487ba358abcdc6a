// Activity control: what the module announces of its outputs when its
// inputs' statuses change.
#include <gtest/gtest.h>

#include "active_map.h"
#include "test_support.h"

using namespace testing_support;
using namespace activity_testing;
using namespace tessel;
using namespace sep;
using host::HostCall;
using host::HostedModule;

TEST(OutputStatus, EachChangeAnnouncesBothOutputsAfterTheirOwnClockReads)
{
    ActiveMap map(Gated);
    map.host.sampleClock = 9000;
    int32_t clockReads = 0;
    map.host.onCall = [&](const HostCall& call) {
        if (call.opcode == GetSampleClock) map.host.sampleClock = 9000 + ++clockReads;
    };
    map.host.sendStatus(GatePin, Streaming);
    const int32_t expected[4][4] = {{GetSampleClock, 0, 0, 0},
                                    {SetPinStatus, XPin, Streaming, 9001},
                                    {GetSampleClock, 0, 0, 0},
                                    {SetPinStatus, YPin, Streaming, 9002}};
    ASSERT_EQ(map.host.calls.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(map.host.calls[i].opcode, expected[i][0]) << i;
        EXPECT_EQ(map.host.calls[i].index, expected[i][1]) << i;
        EXPECT_EQ(map.host.calls[i].value, expected[i][2]) << i;
        EXPECT_EQ(map.host.calls[i].pointer, expected[i][3]) << i;
    }
}

TEST(OutputStatus, ContinuousModeAlwaysStreams)
{
    ActiveMap map;
    for (int32_t pin = 0; pin < 10; ++pin) {
        for (int32_t status : {0, 1, 2}) map.host.sendStatus(pin, status);
    }
    for (const auto& [pin, status] : map.announcements()) EXPECT_EQ(status, Streaming) << pin;
    EXPECT_EQ(map.announcements().size(), 60u);
    EXPECT_EQ(map.host.countCalls(ProcessChanged), 0);
    for (int32_t block = 0; block < 4; ++block) map.host.process(0, 1024);
    EXPECT_EQ(map.sleepRequests(), 0);
    EXPECT_FALSE(map.countingDown());
}

TEST(OutputStatus, GatedModeFollowsGateAndReset)
{
    struct Row {
        int32_t gate, reset, expected;
    };
    // Gate and Reset cannot both be Transient during one change: a Transient
    // level falls back to Static right after its own event.
    for (Row row : {Row{0, 0, 0}, Row{0, 1, 2}, Row{0, 2, 2}, Row{1, 0, 1}, Row{1, 2, 2}, Row{2, 0, 2}, Row{2, 1, 2},
                    Row{2, 2, 2}}) {
        SCOPED_TRACE(testing::Message() << "gate " << row.gate << " reset " << row.reset);
        ActiveMap map(Gated);
        // The Transient one of the two is sent last, so the module sees it.
        if (row.reset == Transient) {
            map.host.sendStatus(GatePin, row.gate);
            map.clearAndSend(ResetPin, row.reset);
        } else {
            map.host.sendStatus(ResetPin, row.reset);
            map.clearAndSend(GatePin, row.gate);
        }
        EXPECT_EQ(map.announcements(), (Announcements{{XPin, row.expected}, {YPin, row.expected}}));
        EXPECT_EQ(map.countingDown(), row.expected < Streaming);
    }
}

TEST(OutputStatus, AnyStatusValueIsComparedAsASignedLevel)
{
    ActiveMap map(Gated);
    map.host.sendStatus(ResetPin, -5);
    map.clearAndSend(GatePin, 7);
    EXPECT_EQ(map.announcements(), (Announcements{{XPin, 7}, {YPin, 7}}));
    EXPECT_FALSE(map.countingDown());
    map.clearAndSend(GatePin, -3);
    EXPECT_EQ(map.announcements(), (Announcements{{XPin, -3}, {YPin, -3}}));
    EXPECT_TRUE(map.countingDown());
}

TEST(OutputStatus, BothOutputsAreAnnouncedBeforeTheProcessFunctionChanges)
{
    ActiveMap map(Gated);
    // Each change switches between processMap and processCountdown.
    for (int32_t gate : {Static, Streaming, Transient, Streaming}) {
        SCOPED_TRACE(gate);
        map.clearAndSend(GatePin, gate);
        std::vector<int32_t> opcodes;
        for (const HostCall& call : map.host.calls) opcodes.push_back(call.opcode);
        EXPECT_EQ(opcodes,
                  (std::vector<int32_t>{GetSampleClock, SetPinStatus, GetSampleClock, SetPinStatus, ProcessChanged}));
    }
}

TEST(OutputStatus, ModesOtherThanGatedAlwaysStream)
{
    for (int16_t mode : {int16_t{2}, int16_t{-1}, int16_t{0x7FFF}}) {
        SCOPED_TRACE(mode);
        ActiveMap map(mode);
        map.host.sendStatus(ResetPin, Static);
        map.clearAndSend(GatePin, Static);
        EXPECT_EQ(map.announcements(), (Announcements{{XPin, Streaming}, {YPin, Streaming}}));
        EXPECT_FALSE(map.countingDown());
    }
}
