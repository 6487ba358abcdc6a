// The process entry against a plain per-sample loop written here from the
// generator's rules, on random blocks: every offset, alignment and count,
// Gate and Reset samples of every kind (NaN, both zeros, subnormals,
// infinities), every mode and normalize value, and inputs that trip the
// guard. Whatever shortcut the module takes through runs of held samples or
// continuous iteration, its outputs and the state it carries from call to
// call must be those of the loop below, bit for bit.
#include <algorithm>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "edge_signals.h"
#include "reference_map.h"
#include "test_support.h"

using namespace testing_support;
using namespace fastpath_testing;
using namespace tessel;

namespace {

constexpr int32_t kBufferLength = 160;
constexpr int32_t kMaxCount = 70;

// The built module and the reference, fed the same blocks.
class ModuleAndRule {
public:
    host::HostedModule host;
    ReferenceMap reference;
    std::vector<float> referenceX = std::vector<float>(kBufferLength);
    std::vector<float> referenceY = std::vector<float>(kBufferLength);
    int16_t mode = Continuous;
    int16_t normalize = 0;
    bool outputsShareABuffer = false;  // the module's y output is its x buffer

    ModuleAndRule()
    {
        connectUsual(host, mode, kBufferLength, normalize);
        host.open();
    }

    float* in(MapPin pin) { return host.buffer(pin); }

    void setSettings(int16_t newMode, int16_t newNormalize)
    {
        mode = newMode;
        normalize = newNormalize;
        host.setList(ModePin, mode);
        host.setList(NormalizePin, normalize);
    }

    // The same output contents on both sides before a call.
    void setOutputs(SignalMaker& maker)
    {
        std::vector<float> pattern(kBufferLength);
        maker.fillPattern(pattern);
        std::copy(pattern.begin(), pattern.end(), in(XPin));
        std::copy(pattern.begin(), pattern.end(), referenceX.begin());
        maker.fillPattern(pattern);
        std::copy(pattern.begin(), pattern.end(), in(YPin));
        std::copy(pattern.begin(), pattern.end(), referenceY.begin());
    }

    ReferenceMap::Buffers referenceBuffers(float* x, float* y)
    {
        return {in(GatePin), in(ResetPin), in(X0Pin), in(Y0Pin), in(APin), in(BPin), x, y};
    }

    // One call on both sides; true when every output element matches.
    ::testing::AssertionResult processBoth(int32_t offset, int32_t count)
    {
        float* const y = outputsShareABuffer ? referenceX.data() : referenceY.data();
        reference.process(referenceBuffers(referenceX.data(), y), mode, normalize, offset, count);
        host.process(offset, count);
        for (int32_t n = 0; n < kBufferLength; ++n) {
            if (bitsOf(in(XPin)[n]) != bitsOf(referenceX[n]) || bitsOf(in(YPin)[n]) != bitsOf(referenceY[n])) {
                return ::testing::AssertionFailure()
                       << "element " << n << " of a call at offset " << offset << ", count " << count << ", mode "
                       << mode << ", normalize " << normalize << ": module x=0x" << std::hex << bitsOf(in(XPin)[n])
                       << " y=0x" << bitsOf(in(YPin)[n]) << ", rule x=0x" << bitsOf(referenceX[n]) << " y=0x"
                       << bitsOf(referenceY[n]);
            }
        }
        return ::testing::AssertionSuccess();
    }

    void fillInputs(SignalMaker& maker)
    {
        std::vector<float> signal(kBufferLength);
        const auto fill = [&](MapPin pin, auto how) {
            how(signal);
            std::copy(signal.begin(), signal.end(), in(pin));
        };
        fill(GatePin, [&](auto& s) { maker.fillEdgeSignal(s); });
        fill(ResetPin, [&](auto& s) {
            maker.fillEdgeSignal(s);
            if (maker.chance(50)) std::fill(s.begin(), s.end(), maker.chance(50) ? 0.0f : 1.0f);
        });
        fill(X0Pin, [&](auto& s) { maker.fillInitial(s); });
        fill(Y0Pin, [&](auto& s) { maker.fillInitial(s); });
        fill(APin, [&](auto& s) { maker.fillConstant(s, floatFromBits(kUsualA), 4.0f); });
        fill(BPin, [&](auto& s) { maker.fillConstant(s, floatFromBits(kUsualB), 2.0f); });
    }

    // Many calls of random offset and count, on random inputs and settings.
    void runSeed(uint32_t seed, int calls)
    {
        SignalMaker maker(seed);
        static constexpr int16_t kModes[] = {Continuous, Gated, 2, -1};
        static constexpr int16_t kNormalizeValues[] = {0, 1, 2};
        setSettings(kModes[maker.below(4)], kNormalizeValues[maker.below(3)]);
        for (int call = 0; call < calls; ++call) {
            if (maker.chance(30)) fillInputs(maker);
            if (maker.chance(15)) setSettings(kModes[maker.below(4)], kNormalizeValues[maker.below(3)]);
            if (maker.chance(20)) setOutputs(maker);
            const int32_t count = maker.chance(5) ? -maker.below(3) : maker.below(kMaxCount + 1);
            const int32_t offset = maker.below(kBufferLength - std::max(count, 0) + 1);
            ASSERT_TRUE(processBoth(offset, count)) << "seed " << seed << ", call " << call;
        }
    }
};

class FastPathTest : public ::testing::Test, protected ModuleAndRule {};

}  // namespace

TEST(FastPath, RandomBlocksMatchThePerSampleRule)
{
    for (uint32_t seed = 1; seed <= 150; ++seed) {
        ModuleAndRule pair;
        pair.runSeed(seed, 400);
        if (HasFatalFailure()) return;
    }
}

TEST_F(FastPathTest, OneEdgeAtEveryPositionOffsetAndCount)
{
    // One Gate or Reset pulse in otherwise low inputs, starting at every
    // place in a group of samples; the next call begins where the pulse may
    // still be high.
    SignalMaker maker(7);
    for (const int16_t edgeMode : {Gated, Continuous}) {
        setSettings(edgeMode, 0);
        for (const MapPin pulsed : {GatePin, ResetPin}) {
            for (int32_t offset = 0; offset < 4; ++offset) {
                for (int32_t count = 1; count <= kMaxCount; ++count) {
                    for (int32_t at = 0; at < count; at += 1 + at / 8) {
                        for (MapPin pin : {GatePin, ResetPin}) host.fill(pin, 0.0f);
                        host.fill(X0Pin, 0.01f);
                        host.fill(Y0Pin, -0.01f);
                        host.fill(APin, floatFromBits(kUsualA));
                        host.fill(BPin, floatFromBits(kUsualB));
                        std::fill_n(in(pulsed) + offset + at, 1 + maker.below(9), 1.0f);
                        ASSERT_TRUE(processBoth(offset, count)) << "pulse at " << at;
                        // the next call starts where the pulse may still be high
                        ASSERT_TRUE(processBoth(offset + count, maker.below(12)));
                    }
                }
            }
        }
    }
}

TEST_F(FastPathTest, LevelsHeldAcrossManyGroupsThenOneEdge)
{
    // Long stretches of one level in both inputs, then a single change: the
    // stretch must carry the true last level into the edge decision.
    struct Level {
        float gate, reset;
    };
    const Level levels[] = {
        {0.0f, 0.0f}, {1.0f, 0.0f}, {0.0f, 1.0f}, {1.0f, 1.0f}, {-0.0f, std::numeric_limits<float>::quiet_NaN()}};
    SignalMaker maker(11);
    setSettings(Gated, 1);
    for (const Level& before : levels) {
        for (const Level& after : levels) {
            for (int32_t change = 0; change < kMaxCount; change += 1 + maker.below(5)) {
                const int32_t offset = maker.below(8);
                for (int32_t n = 0; n < kBufferLength; ++n) {
                    const bool early = n < offset + change;
                    in(GatePin)[n] = early ? before.gate : after.gate;
                    in(ResetPin)[n] = early ? before.reset : after.reset;
                }
                ASSERT_TRUE(processBoth(offset, kMaxCount)) << "change at " << change;
            }
        }
    }
}

TEST_F(FastPathTest, ContinuousRunsStopAtTheGuardAndRestartAtResets)
{
    // a wandering into tripping values while Reset fires now and then.
    SignalMaker maker(23);
    setSettings(Continuous, 1);
    for (int call = 0; call < 2000; ++call) {
        for (int32_t n = 0; n < kBufferLength; ++n) {
            in(APin)[n] = maker.chance(2) ? maker.uniform(0.3f, 3.0f) : floatFromBits(kUsualA);
            in(ResetPin)[n] = maker.chance(4) ? 1.0f : 0.0f;
            in(X0Pin)[n] = maker.uniform(-0.1f, 0.1f);
        }
        const int32_t count = maker.below(kMaxCount + 1);
        ASSERT_TRUE(processBoth(maker.below(kBufferLength - count + 1), count)) << "call " << call;
    }
}

TEST_F(FastPathTest, CallsThatDoNothingLeaveTheInitialLoadPending)
{
    // Count 0 or less, and any buffer missing: no output, no load, no state.
    SignalMaker maker(5);
    fillInputs(maker);
    setSettings(Continuous, 0);
    in(X0Pin)[0] = 0.05f;
    in(X0Pin)[9] = -0.05f;
    for (const int32_t count : {0, -1, -1000}) ASSERT_TRUE(processBoth(0, count));
    for (int32_t pin = GatePin; pin <= YPin; ++pin) {
        auto* variable = static_cast<float**>(host.declarations()[pin].variable);
        float* const buffer = *variable;
        *variable = nullptr;
        host.process(0, 5);
        *variable = buffer;
        for (int32_t n = 0; n < kBufferLength; ++n) {
            ASSERT_EQ(bitsOf(in(XPin)[n]), bitsOf(referenceX[n])) << "pin " << pin << " missing";
            ASSERT_EQ(bitsOf(in(YPin)[n]), bitsOf(referenceY[n])) << "pin " << pin << " missing";
        }
    }
    // the first call that does something loads x0 at its own offset
    ASSERT_TRUE(processBoth(9, 5));
}

TEST_F(FastPathTest, OutputsSharingOneBufferEndAsY)
{
    // y is written after x at every sample, so a buffer the host hands to
    // both outputs holds y wherever the call wrote.
    *static_cast<float**>(host.declarations()[YPin].variable) = in(XPin);
    outputsShareABuffer = true;
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        runSeed(seed, 400);
        if (HasFatalFailure()) return;
    }
}

TEST_F(FastPathTest, OutputsSharingTheEdgeInputsBuffers)
{
    // A host may hand one buffer to an input and an output: every sample is
    // still decided on what the input held before that sample was written.
    SignalMaker maker(31);
    auto* xVariable = static_cast<float**>(host.declarations()[XPin].variable);
    auto* yVariable = static_cast<float**>(host.declarations()[YPin].variable);
    float* const ownX = *xVariable;
    float* const ownY = *yVariable;
    *xVariable = in(GatePin);
    *yVariable = in(ResetPin);
    std::vector<float> gate(kBufferLength), reset(kBufferLength);
    for (int call = 0; call < 3000; ++call) {
        if (call % 50 == 0) setSettings(static_cast<int16_t>(maker.below(2)), 0);
        maker.fillEdgeSignal(gate);
        maker.fillEdgeSignal(reset);
        std::copy(gate.begin(), gate.end(), in(GatePin));
        std::copy(reset.begin(), reset.end(), in(ResetPin));
        const int32_t count = maker.below(kMaxCount + 1);
        const int32_t offset = maker.below(kBufferLength - count + 1);
        // the reference runs on copies shared the same way
        std::vector<float> referenceGate = gate, referenceReset = reset;
        ReferenceMap::Buffers buffers = referenceBuffers(referenceGate.data(), referenceReset.data());
        buffers.gate = referenceGate.data();
        buffers.reset = referenceReset.data();
        reference.process(buffers, mode, normalize, offset, count);
        host.process(offset, count);
        for (int32_t n = 0; n < kBufferLength; ++n) {
            ASSERT_EQ(bitsOf(in(GatePin)[n]), bitsOf(referenceGate[n])) << "call " << call << ", element " << n;
            ASSERT_EQ(bitsOf(in(ResetPin)[n]), bitsOf(referenceReset[n])) << "call " << call << ", element " << n;
        }
    }
    *xVariable = ownX;
    *yVariable = ownY;
}
