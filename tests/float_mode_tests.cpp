// The host's floating-point mode changes nothing: with flush-to-zero,
// denormals-are-zero, any rounding mode or unmasked exceptions set in the
// calling thread, the process functions give the bits of the default mode,
// hand the caller's MXCSR back exactly, and call the host in the host's mode.
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>
#include <xmmintrin.h>

#include "test_support.h"

using namespace testing_support;
using namespace tessel;
using namespace sep;
using host::HostCall;

namespace {

constexpr uint32_t kDefault = 0x1F80;
// What a thread may hold: flush-to-zero with denormals-are-zero, the three
// other rounding modes, every exception unmasked, and every bit at once.
const uint32_t kCallerModes[] = {kDefault, 0x9FC0, 0x3F80, 0x5F80, 0x7F80, 0x0000, 0xFFFF};

// One scenario: an opened instance prepared by `setUp`, then the calls of
// `blocks`, each (offset, count). Returns every output bit the calls wrote,
// and checks MXCSR after each call and during each host call.
struct Scenario {
    const char* name;
    int16_t mode;
    void (*setUp)(OpenedMap&);
    std::vector<std::pair<int32_t, int32_t>> blocks;
};

std::vector<uint32_t> run(const Scenario& scenario, uint32_t callerMode)
{
    OpenedMap map(0, scenario.mode);
    scenario.setUp(map);
    std::vector<uint32_t> seenByHost;
    map.host.onCall = [&](const HostCall&) { seenByHost.push_back(_mm_getcsr()); };
    std::vector<uint32_t> bits;
    for (auto [offset, count] : scenario.blocks) {
        _mm_setcsr(callerMode);
        map.host.process(offset, count);
        const uint32_t after = _mm_getcsr();
        _mm_setcsr(kDefault);
        EXPECT_EQ(after, callerMode) << "MXCSR after the call";
        for (int32_t i = offset; i < offset + count; ++i) {
            bits.push_back(map.xBits(i));
            bits.push_back(map.yBits(i));
        }
    }
    for (uint32_t during : seenByHost) EXPECT_EQ(during, callerMode) << "MXCSR during a host call";
    return bits;
}

const Scenario kScenarios[] = {
    {"smallest subnormal Gate sample is an edge",
     Gated,
     [](OpenedMap& map) {
         map.in(GatePin)[1] = floatFromBits(0x00000001);
         map.in(GatePin)[3] = floatFromBits(0x00000001);
     },
     {{0, 4}}},
    {"subnormal y states from a tiny b", Continuous, [](OpenedMap& map) { map.host.fill(BPin, 1e-38f); }, {{0, 64}}},
    {"subnormal x0 and y0 loaded by Reset",
     Continuous,
     [](OpenedMap& map) {
         map.host.fill(X0Pin, floatFromBits(0x80000003));
         map.host.fill(Y0Pin, floatFromBits(0x007FFFFF));
         map.in(ResetPin)[5] = floatFromBits(0x00000002);
     },
     {{0, 16}}},
    {"the guard's exact upper bound",
     Continuous,
     [](OpenedMap& map) {
         map.host.fill(APin, 0.0f);
         map.host.fill(BPin, floatFromBits(0x3DCCCCCD));
     },
     {{0, 6}}},
    {"a long chaotic run in pieces",
     Continuous,
     [](OpenedMap&) {},
     {{0, 4096}, {0, 1000}, {1000, 7}, {1007, 3089}, {0, 4096}}},
    {"countdown asks to sleep in the host's mode",
     Gated,
     [](OpenedMap& map) {
         map.in(GatePin)[10] = 1.0f;
         map.host.dispatch(SetBlockSize, 0, 16);
         map.host.sendStatus(GatePin, Static);
     },
     {{0, 12}, {12, 12}, {24, 0}}},
};

}  // namespace

TEST(FloatMode, EveryCallerModeGivesTheDefaultModesBits)
{
    for (const Scenario& scenario : kScenarios) {
        SCOPED_TRACE(scenario.name);
        const std::vector<uint32_t> expected = run(scenario, kDefault);
        for (uint32_t mode : kCallerModes) {
            SCOPED_TRACE(testing::Message() << "MXCSR 0x" << std::hex << mode);
            EXPECT_EQ(run(scenario, mode), expected);
        }
    }
}
