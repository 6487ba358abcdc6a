// The map generator through the process entry, as a host drives it: exact
// bits of the iteration and the guard that stops it.
#include <cmath>

#include <gtest/gtest.h>

#include "exact_inputs.h"
#include "test_support.h"

using namespace testing_support;
using namespace generator_testing;
using namespace tessel;

// --- the iteration ----------------------------------------------------------

TEST(MapIteration, UsualValuesGiveTheKnownBits)
{
    OpenedMap map;
    map.host.process(0, 3);
    EXPECT_EQ(map.xBits(0), 0x3DCCCCCDu);
    EXPECT_EQ(map.yBits(0), 0x00000000u);
    EXPECT_EQ(map.xBits(1), 0xBD23D70Bu) << "single-precision steps would give 0xBD23D70A";
    EXPECT_EQ(map.yBits(1), 0x3CF5C28Fu);
    EXPECT_EQ(map.xBits(2), 0x3DDC5D63u);
    EXPECT_EQ(map.yBits(2), 0xBC449BA7u);
}

TEST(MapIteration, NormalizedOutputsScaleButTheStateDoesNot)
{
    OpenedMap map(1);
    map.host.process(0, 3);
    EXPECT_EQ(map.xBits(0), 0x3EAA7EFAu);
    EXPECT_EQ(map.yBits(0), 0x00000000u);
    EXPECT_EQ(map.xBits(1), 0xBE086595u);
    EXPECT_EQ(map.yBits(1), 0x3DCC985Eu);
    // The third pair is the unscaled third state times the gain.
    EXPECT_EQ(map.x(2), floatFromBits(0x3DDC5D63) * 3.33f);
    EXPECT_EQ(map.y(2), floatFromBits(0xBC449BA7) * 3.33f);
}

TEST(MapIteration, ZeroAMakesTheQuadraticTermVanish)
{
    OpenedMap map;
    map.host.fill(APin, 0.0f);
    map.host.fill(BPin, floatFromBits(0x3DCCCCCD));
    map.host.process(0, 5);
    EXPECT_EQ(map.xBits(0), 0x3DCCCCCDu);
    EXPECT_EQ(map.yBits(0), 0u);
    EXPECT_EQ(map.xBits(1), 0x3DCCCCCDu);
    EXPECT_EQ(map.y(1), static_cast<float>(double{0.1f} * double{0.1f} * 10.0));
    // The third x is 0.1 + 0.1, exactly the upper bound: the guard trips.
    for (int32_t i = 2; i < 5; ++i) {
        EXPECT_EQ(map.xBits(i), 0u) << i;
        EXPECT_EQ(map.yBits(i), 0u) << i;
    }
}

TEST(DivergenceGuard, BoundsAreStrictOnTheStoredFloats)
{
    struct Case {
        uint32_t newValue;
        bool stands;
    };
    for (Case c : {Case{0x3E4CCCCC, true}, Case{0x3E4CCCCD, false}, Case{0xBE4CCCCC, true}, Case{0xBE4CCCCD, false},
                   Case{0x3F800000, false}}) {
        SCOPED_TRACE(c.newValue);
        const float target = floatFromBits(c.newValue);
        // The bound reached by the new y, and for positive bounds also by the
        // new x (y + 0.1 cannot land on every float near -0.2).
        const bool viaX = target > 0.0f;
        OpenedMap xMap;
        xMap.host.fill(APin, 0.0f);
        xMap.host.fill(Y0Pin, viaX ? initialYGiving(target) : 1.0f);
        xMap.host.process(0, 2);
        OpenedMap yMap;
        yMap.host.fill(APin, 0.0f);
        yMap.host.fill(BPin, 0.1f);
        yMap.host.fill(X0Pin, initialXGiving(target));
        yMap.host.process(0, 2);
        if (c.stands) {
            if (viaX) {
                EXPECT_EQ(xMap.xBits(0), c.newValue);
            }
            EXPECT_EQ(yMap.yBits(0), c.newValue);
            EXPECT_EQ(yMap.xBits(0), 0x3DCCCCCDu);
        } else {
            for (OpenedMap* map : {&xMap, &yMap}) {
                EXPECT_EQ(map->xBits(0), 0u);
                EXPECT_EQ(map->yBits(0), 0u);
                EXPECT_EQ(map->xBits(1), 0u) << "a stopped map stays at 0";
                EXPECT_EQ(map->yBits(1), 0u);
            }
        }
    }
}

TEST(DivergenceGuard, JudgesTheNewXAsStoredNotAsComputed)
{
    // x' = (y + 0.1) - x*x*a*100 from x0 = 2^-20: the quadratic term moves the
    // double by about 1e-10, far less than half a float step at 0.2.
    struct Row {
        float y0, a;
        uint32_t newX;  // as stored
        bool stands;
    };
    const float justBelowTenth = std::nextafter(0.1f, 0.0f);
    const float justAboveMinusThreeTenths = std::nextafter(-0.3f, 0.0f);
    for (Row row :
         {Row{0.1f, 1.0f, 0x3E4CCCCD, false},                                                 // below 0.2 in double
          Row{justBelowTenth, 1.0f, 0x3E4CCCCC, true}, Row{-0.3f, -1.0f, 0xBE4CCCCD, false},  // above -0.2 in double
          Row{justAboveMinusThreeTenths, -1.0f, 0xBE4CCCCB, true}}) {
        SCOPED_TRACE(row.newX);
        const double x0 = std::ldexp(1.0, -20);
        ASSERT_EQ(bitsOf(static_cast<float>((double{row.y0} + double{0.1f}) - ((x0 * x0) * row.a) * 100.0)), row.newX);
        OpenedMap map;
        map.host.fill(X0Pin, static_cast<float>(x0));
        map.host.fill(Y0Pin, row.y0);
        map.host.fill(APin, row.a);
        map.host.fill(BPin, 0.0f);
        map.host.process(0, 1);
        EXPECT_EQ(map.xBits(0), row.stands ? row.newX : 0u);
    }
}

TEST(DivergenceGuard, NonFiniteConstantsStopTheMapAtThatSample)
{
    for (float bad : {kNaN, kInfinity, -kInfinity, 1e30f}) {
        SCOPED_TRACE(bad);
        OpenedMap map;
        map.host.process(0, 2);
        const float xBefore = map.x(1);
        map.in(APin)[2] = bad;
        map.in(BPin)[2] = bad;
        map.host.process(2, 3);
        EXPECT_NE(xBefore, 0.0f);
        for (int32_t i = 2; i < 5; ++i) {
            EXPECT_EQ(map.xBits(i), 0u) << i;
            EXPECT_EQ(map.yBits(i), 0u) << i;
        }
    }
}

TEST(DivergenceGuard, AResetEdgeRestartsAStoppedMap)
{
    OpenedMap map;
    map.runUntilTheGuardStops();
    ASSERT_EQ(map.xBits(3), 0u);
    map.in(ResetPin)[4] = 1.0f;
    map.host.process(4, 3);
    EXPECT_EQ(map.xBits(4), 0u) << "the reset sample shows x0, which is 0";
    EXPECT_EQ(map.xBits(5), 0x3DCCCCCDu) << "and the map runs again";
}
