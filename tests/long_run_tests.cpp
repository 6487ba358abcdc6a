// Long runs' output bits against their digests: one different rounding
// anywhere in a chaotic run shows.
#include <cstdint>
#include <ios>

#include <gtest/gtest.h>

#include "test_support.h"

using namespace testing_support;
using namespace tessel;

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
