// The session, the one way every host here drives the module: the takes it
// renders from each kind of source, whatever the block split, against the
// takes tessel-render and the WebAssembly host rendered before they shared
// it (bit for bit, by digest), and where it sees the map stop.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/session/drive.h"
#include "host/session/session.h"
#include "host/session/signals/signal.h"
#include "host/session/source.h"
#include "host/session/volts_text.h"
#include "session_takes.h"
#include "test_support.h"

using namespace tessel;
using namespace session_testing;
using host::HostedModule;

namespace {

const Take kTakes[] = {
    {"ContinuousUsual", 44100, 8820, 0, volts(1.4), volts(0.3), 0, 0, 1, {}, 0xef58fbd135c53a48, -1},
    {"ContinuousResetsNormalizeOff",
     44100,
     6000,
     0,
     volts(1.4),
     volts(0.3),
     volts(0.5),
     volts(-0.3),
     0,
     {1000, 2205, 4000},
     0xf019c4dcf9a078da,
     -1},
    {"ContinuousStopsRestartedByResets",
     44100,
     6000,
     0,
     volts(2.1),
     volts(0.3),
     0,
     0,
     1,
     {441, 3000},
     0xd8991a9b0ef06914,
     3004},
    {"ContinuousSubnormalB", 44100, 4000, 0, volts(1.4), volts(1e-37), volts(0.1), 0, 1, {}, 0xadbe72834df5b047, -1},
    {"Gated500HzResets", 44100, 8820, 500, volts(1.4), volts(0.3), 0, 0, 1, {2205, 4410, 6615}, 0x52cbb85ad585d8bc, -1},
    {"GatedOddClock", 44100, 4410, 3333.5, volts(1.4), volts(0.3), 0, 0, 1, {}, 0x4d851b979dd85fd1, -1},
    {"GatedHalfTheRate", 44100, 2000, 22050, volts(1.4), volts(0.3), 0, 0, 0, {}, 0xb6d4c7735ce3055d, -1},
    {"Gated40HzAt48k", 48000, 9600, 40, volts(1.4), volts(0.3), 0, 0, 1, {}, 0x8a194e4903493e05, -1},
    {"GatedStops", 44100, 8820, 1000, volts(2.5), volts(-0.4), 0, 0, 0, {4410}, 0x33c37215b45ce207, 4543},
};

// How the samples are asked for: in blocks of `block`, each call for `pieces`
// in turn (cycled) or, when there are none, for a whole block.
struct Split {
    const char* name;
    int32_t block;
    std::vector<int32_t> pieces;
};

const Split kSplits[] = {
    {"Blocks1024", 1024, {}},
    {"Blocks1", 1, {}},
    {"Blocks300", 300, {}},
    {"OddPiecesOfBlocks64", 64, {1, 2, 3, 5, 8, 13, 21, 34, 55, 89}},
};

class Digest {
public:
    void add(const float* x, const float* y, int32_t count)
    {
        for (int32_t i = 0; i < count; ++i) {
            addBits(testing_support::bitsOf(x[i]));
            addBits(testing_support::bitsOf(y[i]));
        }
    }
    uint64_t value() const { return hash; }

private:
    void addBits(uint32_t bits)
    {
        for (int shift = 0; shift < 32; shift += 8) hash = (hash ^ ((bits >> shift) & 0xFF)) * 0x100000001b3;
    }
    uint64_t hash = 0xcbf29ce484222325;
};

// One status event, as the emulator logged it.

struct Rendered {
    uint64_t digest;
    int64_t stoppedAt, zerosFrom;
    std::vector<Announced> events;
};

// Renders a take as `split` asks for its samples, a, b, x0 and y0 fed from the
// sources given, Gate and Reset as tessel-render feeds them.
Rendered render(const Take& take, const Split& split, host::Source& a, host::Source& b, host::Source& x0,
                host::Source& y0)
{
    HostedModule module;
    host::Session session(module, take.rate, split.block);
    EXPECT_TRUE(session.ready());
    host::GateClock gate(take.rate, take.gateHz);
    host::ResetPulses reset(take.resets);
    session.feed(GatePin, gate);
    session.feed(ResetPin, reset);
    session.feed(X0Pin, x0);
    session.feed(Y0Pin, y0);
    session.feed(APin, a);
    session.feed(BPin, b);
    session.setList(ModePin, take.gateHz > 0 ? Gated : Continuous);
    session.setList(NormalizePin, take.normalize);
    session.open();

    Digest digest;
    for (size_t piece = 0; session.samples() < take.samples; ++piece) {
        const int32_t asked = split.pieces.empty() ? split.block : split.pieces[piece % split.pieces.size()];
        const int32_t count = session.renderBlock(
            static_cast<int32_t>(std::min<int64_t>(asked, take.samples - session.samples())));
        if (count <= 0) break;
        digest.add(session.x(), session.y(), count);
    }
    return {digest.value(), session.stoppedAt(), session.zerosFrom(), announced(module)};
}

class SessionTake : public testing::TestWithParam<std::tuple<Take, Split>> {};

TEST_P(SessionTake, HasTheBitsAndTheStopOfTheTakesBefore)
{
    const auto& [take, split] = GetParam();
    host::Constant a(take.a), b(take.b), x0(take.x0), y0(take.y0);
    const Rendered rendered = render(take, split, a, b, x0, y0);
    EXPECT_EQ(rendered.digest, take.digest);
    EXPECT_EQ(rendered.stoppedAt, take.stoppedAt);
    if (take.stoppedAt < 0) {
        EXPECT_EQ(rendered.zerosFrom, take.samples);
    }
}

INSTANTIATE_TEST_SUITE_P(TakesAndSplits, SessionTake,
                         testing::Combine(testing::ValuesIn(kTakes), testing::ValuesIn(kSplits)),
                         [](const testing::TestParamInfo<std::tuple<Take, Split>>& info) {
                             return std::get<0>(info.param).name + "_" + std::get<1>(info.param).name;
                         });

using host::voltsText;

// Each constant given as a signal of depth 0, or one that stays on its first
// value through the take, is the constant: the same bits, nothing more announced.
class FlatSignalTake : public testing::TestWithParam<Take> {};

TEST_P(FlatSignalTake, IsTheConstantTake)
{
    const Take& take = GetParam();
    host::SignalSource a = patched("sine:" + voltsText(take.a) + ":0:3", take);
    host::SignalSource b = patched("triangle:" + voltsText(take.b) + ":0:7:0.5", take);
    host::SignalSource x0 = patched("steps:" + voltsText(take.x0) + ",5@0.01", take);
    host::SignalSource y0 = patched("ramp:" + voltsText(take.y0) + ":" + voltsText(take.y0), take);
    const Rendered flat = render(take, kSplits[0], a, b, x0, y0);
    host::Constant ca(take.a), cb(take.b), cx0(take.x0), cy0(take.y0);
    EXPECT_EQ(flat.digest, take.digest);
    EXPECT_EQ(flat.events, render(take, kSplits[0], ca, cb, cx0, cy0).events);
}

INSTANTIATE_TEST_SUITE_P(Takes, FlatSignalTake, testing::ValuesIn(kTakes),
                         [](const testing::TestParamInfo<Take>& info) { return info.param.name; });

}  // namespace
