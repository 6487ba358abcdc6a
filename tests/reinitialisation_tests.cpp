// When a status change or a second open restarts the map at x0 and y0, and
// when it does not.
#include <gtest/gtest.h>

#include "active_map.h"
#include "test_support.h"

using namespace testing_support;
using namespace activity_testing;
using namespace tessel;
using namespace sep;
using host::HostCall;
using host::HostedModule;

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
