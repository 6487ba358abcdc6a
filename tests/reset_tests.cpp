// The map's first load and its Reset edges through the process entry: where
// the initial values show, which samples are edges, and what is never scaled.
#include <cmath>

#include <gtest/gtest.h>

#include "exact_inputs.h"
#include "test_support.h"

using namespace testing_support;
using namespace generator_testing;
using namespace tessel;

// --- loads and resets ---------------------------------------------------------

TEST(InitialLoad, TheFirstSampleAlreadyShowsTheFirstIterate)
{
    OpenedMap map;
    map.host.fill(X0Pin, 0.05f);
    map.host.fill(Y0Pin, 0.01f);
    map.in(X0Pin)[10] = 0.02f;  // the load reads element `offset` only
    map.host.process(10, 1);
    const double x = 0.02f, y = 0.01f, a = floatFromBits(kUsualA), b = floatFromBits(kUsualB);
    EXPECT_EQ(map.x(10), static_cast<float>((y + double{0.1f}) - ((x * x) * a) * 100.0));
    EXPECT_EQ(map.y(10), static_cast<float>((x * b) * 10.0));
}

TEST(InitialLoad, AnEmptyCallLeavesTheLoadToTheNextCall)
{
    OpenedMap map;
    map.host.fill(XPin, 9.0f);
    map.host.process(0, 0);
    map.host.process(0, -5);
    EXPECT_EQ(map.x(0), 9.0f) << "nothing written";
    map.host.fill(Y0Pin, initialYGiving(0.15f));
    map.host.process(0, 1);
    EXPECT_EQ(map.x(0), 0.15f);
}

TEST(InitialLoad, OnlyTheCallsSamplesAreWritten)
{
    OpenedMap map;
    map.host.fill(XPin, 9.0f);
    map.host.fill(YPin, 9.0f);
    map.host.process(100, 10);
    for (int32_t i = 0; i < 200; ++i) {
        const bool inside = i >= 100 && i < 110;
        EXPECT_EQ(map.x(i) == 9.0f, !inside) << i;
        EXPECT_EQ(map.y(i) == 9.0f, !inside) << i;
    }
}

TEST(ResetEdges, ContinuousRestartsAtTheInitialValues)
{
    OpenedMap map;
    map.host.process(0, 8);
    map.host.fill(X0Pin, 0.0f);
    map.in(ResetPin)[8] = 1.0f;
    map.in(ResetPin)[9] = 1.0f;  // held high: one reload only
    map.host.process(8, 4);
    EXPECT_EQ(map.xBits(8), 0u);
    EXPECT_EQ(map.yBits(8), 0u);
    EXPECT_EQ(map.xBits(9), 0x3DCCCCCDu) << "first iterate after the reset";
    EXPECT_EQ(map.xBits(10), 0xBD23D70Bu);
    EXPECT_EQ(map.xBits(11), 0x3DDC5D63u);
}

TEST(ResetEdges, AnEdgeOnABlockBoundaryIsSeenOnce)
{
    OpenedMap map;
    map.in(ResetPin)[3] = 1.0f;
    map.host.process(0, 4);  // edge at the last sample of this call
    EXPECT_EQ(map.xBits(3), 0u);
    map.in(ResetPin)[4] = 1.0f;
    map.host.process(4, 2);  // still high: no second edge
    EXPECT_EQ(map.xBits(4), 0x3DCCCCCDu);
    EXPECT_EQ(map.xBits(5), 0xBD23D70Bu);
}

TEST(ResetEdges, NanAndNegativeZeroAreNotPositive)
{
    OpenedMap map;
    map.host.process(0, 3);
    map.in(ResetPin)[3] = kNaN;
    map.in(ResetPin)[4] = 1.0f;  // rising: NaN was not positive
    map.in(ResetPin)[5] = -0.0f;
    map.in(ResetPin)[6] = kNaN;  // never positive
    map.in(ResetPin)[7] = 0.5f;  // rising again
    map.host.process(3, 5);
    EXPECT_NE(map.xBits(3), 0u);
    EXPECT_EQ(map.xBits(4), 0u);
    EXPECT_EQ(map.xBits(5), 0x3DCCCCCDu);
    EXPECT_EQ(map.xBits(6), 0xBD23D70Bu);
    EXPECT_EQ(map.xBits(7), 0u);
}

TEST(ResetEdges, LoadedValuesAreNotNormalised)
{
    OpenedMap map(1);
    map.host.fill(X0Pin, 0.05f);
    map.host.fill(Y0Pin, -0.02f);
    map.host.fill(GatePin, 0.0f);
    map.host.setList(ModePin, Gated);
    map.in(ResetPin)[0] = 1.0f;
    map.in(GatePin)[3] = 1.0f;
    map.host.process(0, 4);
    EXPECT_EQ(map.x(0), 0.05f);
    EXPECT_EQ(map.y(2), -0.02f);
    const double x = 0.05f, y = -0.02f, a = floatFromBits(kUsualA);
    EXPECT_EQ(map.x(3), static_cast<float>((y + double{0.1f}) - ((x * x) * a) * 100.0) * 3.33f);
}

TEST(ResetEdges, NonFiniteInitialValuesPassThroughUntilTheNextIteration)
{
    OpenedMap map;
    map.host.setList(ModePin, Gated);
    map.host.fill(X0Pin, kNaN);
    map.host.fill(Y0Pin, kInfinity);
    map.in(ResetPin)[0] = 1.0f;
    map.in(GatePin)[2] = 1.0f;
    map.host.process(0, 4);
    EXPECT_TRUE(std::isnan(map.x(0)));
    EXPECT_EQ(map.y(1), kInfinity);
    EXPECT_EQ(map.xBits(2), 0u);
    EXPECT_EQ(map.yBits(3), 0u);
}
