// Activity control: what the module announces when its inputs' statuses
// change, when it restarts the map, and when it asks the host to sleep.
#include <climits>
#include <cstring>

#include <gtest/gtest.h>

#include "test_support.h"

using namespace testing_support;
using namespace tessel;
using namespace sep;
using host::HostCall;
using host::HostedModule;

namespace {

// An opened map whose process functions are known by address.
struct ActiveMap : OpenedMap {
    ProcessEntry mapProcess;

    explicit ActiveMap(int16_t mode = Continuous) : OpenedMap(0, mode)
    {
        mapProcess = host.currentProcess();
    }
    bool countingDown() const { return host.currentProcess() != mapProcess; }

    // The outputs' announcements since the last clearCalls, as (pin, status).
    std::vector<std::pair<int32_t, int32_t>> announcements() const
    {
        std::vector<std::pair<int32_t, int32_t>> seen;
        for (const HostCall& call : host.calls)
            if (call.opcode == SetPinStatus) seen.emplace_back(call.index, call.value);
        return seen;
    }
    int32_t sleepRequests() const { return host.countCalls(RequestSleep); }
    void clearAndSend(int32_t pin, int32_t status)
    {
        host.clearCalls();
        host.sendStatus(pin, status);
    }
};

using Announcements = std::vector<std::pair<int32_t, int32_t>>;

}  // namespace

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
    for (Row row : {Row{0, 0, 0}, Row{0, 1, 2}, Row{0, 2, 2}, Row{1, 0, 1}, Row{1, 2, 2},
                    Row{2, 0, 2}, Row{2, 1, 2}, Row{2, 2, 2}}) {
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
        EXPECT_EQ(opcodes, (std::vector<int32_t>{GetSampleClock, SetPinStatus, GetSampleClock,
                                                 SetPinStatus, ProcessChanged}));
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

// --- winding down -------------------------------------------------------------

TEST(SleepCountdown, OneBlockAfterTheInputsGoQuiet)
{
    for (int32_t piece : {1024, 256}) {
        SCOPED_TRACE(piece);
        ActiveMap map(Gated);
        map.clearAndSend(GatePin, Static);
        EXPECT_EQ(map.host.countCalls(ProcessChanged), 1);
        EXPECT_TRUE(map.countingDown());
        const int32_t callsToSleep = 1024 / piece;
        for (int32_t call = 1; call <= callsToSleep; ++call) {
            map.host.process(0, piece);
            EXPECT_EQ(map.sleepRequests(), call == callsToSleep ? 1 : 0) << call;
        }
    }
}

TEST(SleepCountdown, EveryCallWritesItsBlockBeforeAskingToSleep)
{
    struct Row {
        int32_t piece;
        int32_t requests;  // in 2048 samples, from the call that ends the first 1024
    };
    for (auto [piece, requests] : {Row{1024, 2}, Row{256, 5}, Row{1000, 1}}) {
        SCOPED_TRACE(piece);
        // Gate edges at every even sample, so each block of the map differs.
        ActiveMap reference(Gated), map(Gated);
        for (ActiveMap* each : {&reference, &map})
            for (int32_t i = 0; i < HostedModule::kBufferLength; i += 2) each->in(GatePin)[i] = 1.0f;
        map.clearAndSend(GatePin, Static);
        int32_t offset = 0;
        const auto sameBlock = [&] {
            const size_t bytes = sizeof(float) * piece;
            return std::memcmp(map.in(XPin) + offset, reference.in(XPin) + offset, bytes) == 0 &&
                   std::memcmp(map.in(YPin) + offset, reference.in(YPin) + offset, bytes) == 0;
        };
        int32_t requestsAfterTheBlock = 0;
        map.host.onCall = [&](const HostCall& call) {
            if (call.opcode == RequestSleep && sameBlock()) ++requestsAfterTheBlock;
        };
        for (; offset + piece <= 2048; offset += piece) {
            reference.host.process(offset, piece);
            map.host.process(offset, piece);
            EXPECT_TRUE(sameBlock()) << offset;
        }
        EXPECT_EQ(map.sleepRequests(), requests);
        EXPECT_EQ(requestsAfterTheBlock, requests);
    }
}

TEST(SleepCountdown, KeepsProducingAndAskingAfterTheRequest)
{
    ActiveMap map(Gated);
    map.host.fill(GatePin, 0.0f);
    map.in(GatePin)[0] = 1.0f;
    map.clearAndSend(GatePin, Static);
    map.host.process(0, 1024);
    ASSERT_EQ(map.sleepRequests(), 1);
    map.host.fill(XPin, 9.0f);
    map.in(GatePin)[0] = 0.0f;
    map.in(GatePin)[1] = 1.0f;  // the countdown still runs the map
    map.host.process(0, 2);
    EXPECT_EQ(map.sleepRequests(), 2);
    EXPECT_EQ(map.xBits(0), 0x3DCCCCCDu);
    EXPECT_EQ(map.xBits(1), 0xBD23D70Bu);
    for (const HostCall& call : map.host.calls) {
        if (call.opcode != RequestSleep) continue;
        EXPECT_EQ(call.index, 0);
        EXPECT_EQ(call.value, 0);
        EXPECT_EQ(call.pointer, 0);
    }
}

TEST(SleepCountdown, EmptyCallsCountNothing)
{
    ActiveMap map(Gated);
    map.clearAndSend(GatePin, Static);
    map.host.process(0, 1000);
    map.host.process(0, 0);
    EXPECT_EQ(map.sleepRequests(), 0);
    map.host.process(0, 24);
    EXPECT_EQ(map.sleepRequests(), 1);
    map.host.process(0, 0);
    EXPECT_EQ(map.sleepRequests(), 2) << "already run out: even an empty call asks";
}

TEST(SleepCountdown, EachQuietChangeRestartsTheCountWithoutTellingTheHostAgain)
{
    ActiveMap map(Gated);
    map.clearAndSend(GatePin, Static);
    EXPECT_EQ(map.host.countCalls(ProcessChanged), 1);
    map.host.process(0, 1000);
    map.clearAndSend(ResetPin, Static);
    EXPECT_EQ(map.host.countCalls(ProcessChanged), 0);
    map.host.process(0, 1000);
    EXPECT_EQ(map.sleepRequests(), 0) << "the count started again at the block size";
    map.host.process(0, 24);
    EXPECT_EQ(map.sleepRequests(), 1);
}

TEST(SleepCountdown, FollowsTheHostsBlockSize)
{
    ActiveMap map(Gated);
    map.host.dispatch(SetBlockSize, 0, 100);
    map.clearAndSend(GatePin, Static);
    map.host.process(0, 99);
    EXPECT_EQ(map.sleepRequests(), 0);
    map.host.process(0, 1);
    EXPECT_EQ(map.sleepRequests(), 1);

    map.host.dispatch(SetBlockSize, 0, 0);
    map.clearAndSend(GatePin, Static);
    map.host.process(0, 0);
    EXPECT_EQ(map.sleepRequests(), 1) << "block size 0: the first call asks, even an empty one";
}

TEST(SleepCountdown, NeverWrapsBackToWaiting)
{
    ActiveMap map(Gated);
    map.host.dispatch(SetBlockSize, 0, INT_MIN + 10);
    map.clearAndSend(GatePin, Static);
    // Without output buffers nothing is produced, but the count still runs.
    float* const xOut = map.host.buffer(XPin);
    *static_cast<float**>(map.host.declarations()[XPin].variable) = nullptr;
    for (int32_t call = 1; call <= 4; ++call) {
        map.host.process(0, INT_MAX);
        EXPECT_EQ(map.sleepRequests(), call);
    }
    *static_cast<float**>(map.host.declarations()[XPin].variable) = xOut;
}

TEST(SleepCountdown, StreamingInputsGoBackToTheMap)
{
    ActiveMap map(Gated);
    map.clearAndSend(GatePin, Static);
    ASSERT_TRUE(map.countingDown());
    map.clearAndSend(GatePin, Streaming);
    EXPECT_FALSE(map.countingDown());
    EXPECT_EQ(map.host.countCalls(ProcessChanged), 1);
    map.host.process(0, 4096);
    EXPECT_EQ(map.sleepRequests(), 0);
}

// --- re-initialisation ----------------------------------------------------------

TEST(Reinitialisation, StreamingInitialValuesOrConstantsReloadTheMap)
{
    for (int32_t pin : {X0Pin, Y0Pin, APin, BPin}) {
        SCOPED_TRACE(pin);
        ActiveMap map;
        map.host.process(0, 5);
        ASSERT_NE(map.xBits(4), 0x3DCCCCCDu);
        map.host.sendStatus(pin, Streaming);
        map.host.process(5, 2);
        EXPECT_EQ(map.xBits(5), 0x3DCCCCCDu) << "restarted at x0 = y0 = 0";
        EXPECT_EQ(map.xBits(6), 0xBD23D70Bu);
    }
}

TEST(Reinitialisation, TransientChangesDoNotReload)
{
    for (int32_t pin : {X0Pin, Y0Pin, APin, BPin}) {
        SCOPED_TRACE(pin);
        ActiveMap map;
        map.host.process(0, 3);
        map.host.sendStatus(pin, Transient);
        map.host.process(3, 1);
        EXPECT_NE(map.xBits(3), 0x3DCCCCCDu);
    }
}

TEST(Reinitialisation, WhileOneStreamsAnyChangeReloads)
{
    ActiveMap map(Gated);
    map.host.sendStatus(APin, Streaming);
    map.host.fill(GatePin, 0.0f);
    map.in(GatePin)[0] = 1.0f;
    map.in(GatePin)[2] = 1.0f;
    map.host.process(0, 3);
    ASSERT_EQ(map.xBits(2), 0xBD23D70Bu);
    map.host.sendStatus(GatePin, Streaming);
    map.host.process(3, 1);
    map.in(GatePin)[5] = 1.0f;
    map.host.process(4, 2);
    EXPECT_EQ(map.xBits(3), 0u) << "reloaded x0";
    EXPECT_EQ(map.xBits(5), 0x3DCCCCCDu) << "and iterates from it";
}

TEST(Reinitialisation, ASecondOpenForgetsTheLastGateAndResetLevels)
{
    struct Row {
        int16_t mode;
        MapPin held;
        uint32_t firstX;  // after the second open
    };
    // Gated: Gate high at the first sample is an edge again and iterates.
    // Continuous: Reset high there is an edge again and shows x0, not an iterate.
    for (Row row : {Row{Gated, GatePin, 0x3DCCCCCDu}, Row{Continuous, ResetPin, 0u}}) {
        SCOPED_TRACE(row.held);
        ActiveMap map(row.mode);
        map.host.fill(row.held, 1.0f);
        map.host.process(0, 8);
        map.host.open();
        map.host.process(8, 1);
        EXPECT_EQ(map.xBits(8), row.firstX);
    }
}

TEST(Reinitialisation, RestartsAMapTheGuardStopped)
{
    ActiveMap map;
    map.runUntilTheGuardStops();
    ASSERT_EQ(map.xBits(3), 0u);
    map.host.sendStatus(BPin, Streaming);
    map.host.process(4, 1);
    EXPECT_EQ(map.xBits(4), 0x3DCCCCCDu);
}
