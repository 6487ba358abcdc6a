// Winding down: when the inputs go quiet the module runs one more block, asks
// the host to sleep, and keeps producing until the host acts.
#include <climits>
#include <cstring>

#include <gtest/gtest.h>

#include "active_map.h"
#include "test_support.h"

using namespace testing_support;
using namespace activity_testing;
using namespace tessel;
using namespace sep;
using host::HostCall;
using host::HostedModule;

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
