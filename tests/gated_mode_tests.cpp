// Gated mode and the Mode switch through the process entry: one step per
// rising Gate crossing, edges across calls, and modes that never step.
#include <gtest/gtest.h>

#include "exact_inputs.h"
#include "test_support.h"

using namespace testing_support;
using namespace generator_testing;
using namespace tessel;

// --- gated mode ---------------------------------------------------------------

TEST(GatedMode, OneIterationPerRisingCrossing)
{
    OpenedMap map(0, Gated);
    for (int32_t i = 4; i < 20; ++i) map.in(GatePin)[i] = 1.0f;  // held high
    map.host.process(0, 24);
    EXPECT_EQ(map.xBits(0), 0u) << "before the first edge the outputs show x0";
    EXPECT_EQ(map.xBits(3), 0u);
    for (int32_t i = 4; i < 24; ++i) EXPECT_EQ(map.xBits(i), 0x3DCCCCCDu) << i;
}

TEST(GatedMode, NanZeroAndNegativeZeroBeforeAPositiveSampleAreEdges)
{
    for (float before : {kNaN, 0.0f, -0.0f, -1.0f}) {
        SCOPED_TRACE(before);
        OpenedMap map(0, Gated);
        map.in(GatePin)[0] = 1.0f;  // first edge: from the 0 that open sets
        map.in(GatePin)[1] = before;
        map.in(GatePin)[2] = 1.0f;
        map.host.process(0, 3);
        EXPECT_EQ(map.xBits(0), 0x3DCCCCCDu);
        EXPECT_EQ(map.xBits(1), 0x3DCCCCCDu);
        EXPECT_EQ(map.xBits(2), 0xBD23D70Bu);
    }
}

TEST(GatedMode, NanGateSamplesNeverIterate)
{
    OpenedMap map(0, Gated);
    map.host.fill(GatePin, kNaN);
    map.host.process(0, 16);
    for (int32_t i = 0; i < 16; ++i) EXPECT_EQ(map.xBits(i), 0u);
}

TEST(GatedMode, EdgesAcrossCallBoundaries)
{
    OpenedMap map(0, Gated);
    map.in(GatePin)[7] = 0.0f;
    map.in(GatePin)[8] = 1.0f;
    map.host.process(0, 8);
    map.host.process(8, 1);  // 0 then 1 across the boundary: one iteration
    EXPECT_EQ(map.xBits(8), 0x3DCCCCCDu);
    map.in(GatePin)[9] = 1.0f;
    map.host.process(9, 1);  // 1 then 1: none
    EXPECT_EQ(map.xBits(9), 0x3DCCCCCDu);
}

TEST(GatedMode, ResetAndGateOnOneSampleShowTheInitialValues)
{
    OpenedMap map(0, Gated);
    map.host.fill(X0Pin, 0.05f);
    map.in(GatePin)[0] = 1.0f;
    map.in(GatePin)[1] = 1.0f;
    map.in(GatePin)[2] = 1.0f;
    map.in(ResetPin)[2] = 1.0f;
    map.in(GatePin)[4] = 1.0f;
    map.host.process(0, 5);
    EXPECT_EQ(map.x(2), 0.05f) << "the iteration on that sample is overwritten";
    EXPECT_EQ(map.x(3), 0.05f);
    const double x = 0.05f, a = floatFromBits(kUsualA);
    EXPECT_EQ(map.x(4), static_cast<float>((0.0 + double{0.1f}) - ((x * x) * a) * 100.0));
}

TEST(GatedMode, NormaliseChangesShowAtTheNextIteration)
{
    OpenedMap map(1, Gated);
    map.in(GatePin)[0] = 1.0f;
    map.host.process(0, 2);
    EXPECT_EQ(map.xBits(1), 0x3EAA7EFAu);
    map.host.setList(NormalizePin, 0);
    map.in(GatePin)[4] = 1.0f;
    map.host.process(2, 4);
    EXPECT_EQ(map.xBits(3), 0x3EAA7EFAu) << "held, still scaled";
    EXPECT_EQ(map.xBits(4), 0xBD23D70Bu) << "the next iteration is unscaled";
}

TEST(ModeSwitching, ContinuousIgnoresTheGateButRemembersIt)
{
    OpenedMap map;
    map.host.fill(GatePin, 1.0f);
    map.host.process(0, 3);
    EXPECT_EQ(map.xBits(2), 0x3DDC5D63u);
    map.host.setList(ModePin, Gated);
    map.host.process(3, 2);  // the gate was already high: no edge
    EXPECT_EQ(map.xBits(4), 0x3DDC5D63u);
}

TEST(ModeSwitching, OtherModesNeverIterateButStillReset)
{
    for (int16_t mode : {int16_t{2}, int16_t{-1}, int16_t{255}}) {
        SCOPED_TRACE(mode);
        OpenedMap map(0, mode);
        map.host.fill(GatePin, 1.0f);
        map.host.process(0, 4);
        EXPECT_EQ(map.xBits(3), 0u);
        map.host.fill(X0Pin, 0.07f);
        map.in(ResetPin)[4] = 1.0f;
        map.host.process(4, 2);
        EXPECT_EQ(map.x(4), 0.07f);
        EXPECT_EQ(map.x(5), 0.07f);
        map.host.setList(ModePin, Gated);
        map.host.process(6, 1);  // gate still high: the previous sample counted
        EXPECT_EQ(map.x(6), 0.07f);
    }
}

TEST(ModeSwitching, ModeIsReadEveryCall)
{
    OpenedMap map;
    map.host.process(0, 1);
    map.host.setList(ModePin, 2);
    map.host.process(1, 2);
    EXPECT_EQ(map.xBits(2), 0x3DCCCCCDu);
    map.host.setList(ModePin, Continuous);
    map.host.process(3, 1);
    EXPECT_EQ(map.xBits(3), 0xBD23D70Bu);
}
