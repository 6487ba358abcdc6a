// The map generator through the process entry, as a host drives it: exact
// bits of the iteration, edges, the guard, normalisation and the long run.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "test_support.h"

using namespace testing_support;
using namespace tessel;

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInfinity = std::numeric_limits<float>::infinity();

// Steps `guess` by single ulps until `iterate(guess)` gives exactly `target`.
template <typename Iterate>
float inputGiving(float target, float guess, Iterate iterate)
{
    for (int step = 0; step < 16; ++step) {
        const float reached = iterate(guess);
        if (reached == target) return guess;
        guess = std::nextafter(guess, reached < target ? 1.0f : -1.0f);
    }
    ADD_FAILURE() << "no input reaches " << target;
    return guess;
}

// A y0 for which the first x from (0, y0) is `target`: x' = (y + 0.1) rounded once.
float initialYGiving(float target)
{
    return inputGiving(target, static_cast<float>(double{target} - double{0.1f}),
                       [](float y) { return static_cast<float>(double{y} + double{0.1f}); });
}

// An x0 for which the first y from (x0, 0) with b = 0.1 is `target`.
float initialXGiving(float target)
{
    return inputGiving(target, target, [](float x) {
        return static_cast<float>((double{x} * double{0.1f}) * 10.0);
    });
}

}  // namespace

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
    for (Case c : {Case{0x3E4CCCCC, true}, Case{0x3E4CCCCD, false}, Case{0xBE4CCCCC, true},
                   Case{0xBE4CCCCD, false}, Case{0x3F800000, false}}) {
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
    for (Row row : {Row{0.1f, 1.0f, 0x3E4CCCCD, false},  // below 0.2 in double
                    Row{justBelowTenth, 1.0f, 0x3E4CCCCC, true},
                    Row{-0.3f, -1.0f, 0xBE4CCCCD, false},  // above -0.2 in double
                    Row{justAboveMinusThreeTenths, -1.0f, 0xBE4CCCCB, true}}) {
        SCOPED_TRACE(row.newX);
        const double x0 = std::ldexp(1.0, -20);
        ASSERT_EQ(bitsOf(static_cast<float>((double{row.y0} + double{0.1f}) - ((x0 * x0) * row.a) * 100.0)),
                  row.newX);
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
    map.in(ResetPin)[4] = 1.0f;   // rising: NaN was not positive
    map.in(ResetPin)[5] = -0.0f;
    map.in(ResetPin)[6] = kNaN;   // never positive
    map.in(ResetPin)[7] = 0.5f;   // rising again
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

// --- the long run ---------------------------------------------------------------

namespace {

// FNV-1a over the output bits: one different rounding anywhere in a chaotic
// run changes it.
struct Digest {
    uint64_t value = 0xCBF29CE484222325ull;
    void add(float sample)
    {
        uint32_t bits = bitsOf(sample);
        for (int byte = 0; byte < 4; ++byte, bits >>= 8) {
            value ^= bits & 0xFF;
            value *= 0x100000001B3ull;
        }
    }
};

struct LongRun {
    uint64_t digest;
    int64_t zeroSamples;
};

// `inputs` fills the block's a, b and reset samples from the running sample index.
template <typename Inputs>
LongRun runLong(int64_t samples, Inputs inputs)
{
    constexpr int32_t kBlock = 1024;
    OpenedMap map(1);
    Digest digest;
    int64_t zeros = 0;
    for (int64_t start = 0; start < samples; start += kBlock) {
        for (int32_t i = 0; i < kBlock; ++i) {
            inputs(start + i, map.in(APin)[i], map.in(BPin)[i], map.in(ResetPin)[i]);
        }
        map.host.process(0, kBlock);
        for (int32_t i = 0; i < kBlock; ++i) {
            digest.add(map.x(i));
            digest.add(map.y(i));
            zeros += map.x(i) == 0.0f;
        }
    }
    return {digest.value, zeros};
}

}  // namespace

TEST(LongRun, UsualValuesMatchTheDigest)
{
    const LongRun run = runLong(1 << 20, [](int64_t, float& a, float& b, float& reset) {
        a = floatFromBits(kUsualA);
        b = floatFromBits(kUsualB);
        reset = 0.0f;
    });
    EXPECT_LT(run.zeroSamples, 16) << "the map must keep running";
    EXPECT_EQ(run.digest, 0x698B3210D7D537D8ull) << std::hex << run.digest;
}

TEST(LongRun, SlowlyVaryingConstantsMatchTheDigest)
{
    // a sweeps 1.0 to 1.4 V and b 0.2 to 0.3 V as triangles; a reset every
    // 8192 samples restarts a map that a sweep drove away.
    const LongRun run = runLong(1 << 20, [](int64_t n, float& a, float& b, float& reset) {
        const double aPhase = static_cast<double>(n % 200003) / 200003.0;
        const double bPhase = static_cast<double>(n % 70001) / 70001.0;
        const double aTriangle = aPhase < 0.5 ? 2.0 * aPhase : 2.0 - 2.0 * aPhase;
        const double bTriangle = bPhase < 0.5 ? 2.0 * bPhase : 2.0 - 2.0 * bPhase;
        a = static_cast<float>((1.0 + 0.4 * aTriangle) / 10.0);
        b = static_cast<float>((0.2 + 0.1 * bTriangle) / 10.0);
        reset = (n % 8192) == 0 ? 1.0f : 0.0f;
    });
    EXPECT_LT(run.zeroSamples, (1 << 20) / 4);
    EXPECT_EQ(run.digest, 0x1E41D3810D4A3C25ull) << std::hex << run.digest;
}
