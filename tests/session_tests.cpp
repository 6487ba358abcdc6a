// The session, the one way every host here drives the module: the takes it
// renders from each kind of source, whatever the block split, against the
// takes tessel-render and the WebAssembly host rendered before they shared
// it (bit for bit, by digest); where it sees the map stop; and what it
// announces, read from the emulator's log of the events it sent.
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/session/drive.h"
#include "host/session/session.h"
#include "host/session/signals/signal.h"
#include "host/session/source.h"
#include "host/session/volts_text.h"
#include "test_support.h"

using namespace tessel;
using host::HostedModule;

namespace {

struct Take {
    std::string name;
    int32_t rate;
    int64_t samples;
    double gateHz;  // 0: Continuous
    float a, b, x0, y0;
    int16_t normalize;
    std::vector<int64_t> resets;
    uint64_t digest;    // FNV-1a of every sample's x and y bits, little-endian, interleaved
    int64_t stoppedAt;  // -1: runs to the end
};

void PrintTo(const Take& take, std::ostream* os) { *os << take.name; }

// The inputs as a host converts the volts given on its command line.
float volts(double value) { return host::signalFromVolts(value); }

const Take kTakes[] = {
    {"ContinuousUsual", 44100, 8820, 0, volts(1.4), volts(0.3), 0, 0, 1, {}, 0xef58fbd135c53a48, -1},
    {"ContinuousResetsNormalizeOff", 44100, 6000, 0, volts(1.4), volts(0.3), volts(0.5), volts(-0.3), 0,
     {1000, 2205, 4000}, 0xf019c4dcf9a078da, -1},
    {"ContinuousStopsRestartedByResets", 44100, 6000, 0, volts(2.1), volts(0.3), 0, 0, 1, {441, 3000},
     0xd8991a9b0ef06914, 3004},
    {"ContinuousSubnormalB", 44100, 4000, 0, volts(1.4), volts(1e-37), volts(0.1), 0, 1, {}, 0xadbe72834df5b047, -1},
    {"Gated500HzResets", 44100, 8820, 500, volts(1.4), volts(0.3), 0, 0, 1, {2205, 4410, 6615}, 0x52cbb85ad585d8bc,
     -1},
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
struct Announced {
    int32_t pin;
    int32_t status;
    bool operator==(const Announced&) const = default;
};

std::vector<Announced> announced(const HostedModule& module)
{
    std::vector<Announced> events;
    for (const sep::Event& event : module.events) events.push_back({event.target, event.value});
    return events;
}

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
        const int32_t count =
            session.renderBlock(static_cast<int32_t>(std::min<int64_t>(asked, take.samples - session.samples())));
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

INSTANTIATE_TEST_SUITE_P(TakesAndSplits, SessionTake, testing::Combine(testing::ValuesIn(kTakes), testing::ValuesIn(kSplits)),
                         [](const testing::TestParamInfo<std::tuple<Take, Split>>& info) {
                             return std::get<0>(info.param).name + "_" + std::get<1>(info.param).name;
                         });

using host::voltsText;

host::SignalSource patched(const std::string& text, const Take& take)
{
    const host::SignalParse parse = host::parseSignal(text, {take.rate, take.samples});
    EXPECT_TRUE(parse.ok()) << text << ": " << parse.error;
    return host::SignalSource(parse.signal, take.samples);
}

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

// --- what a take announces ----------------------------------------------------

// A second's take at 44100 Hz, Continuous, b at 0.3 V and y0 at 0 V.
struct Patch {
    const char* name;
    const char* a;
    const char* x0;
    double resetHz;  // 0: no Reset clock
    std::vector<Announced> expected;  // through Open and the whole take
};

void PrintTo(const Patch& patch, std::ostream* os) { *os << patch.name; }

const Patch kPatches[] = {
    {"AnLfoStreams", "sine:1.2:0.2:0.5", "0", 0, {{APin, sep::Streaming}}},
    {"ASequencerStreams", "1.4", "steps:0,0.5@4", 0, {{X0Pin, sep::Streaming}}},
    {"AResetClockStreams", "1.4", "0", 4, {{ResetPin, sep::Streaming}}},
    {"FlatSignalsAreStatic", "square:1.3:0:5", "sine:0.5:0:3", 0, {}},
    {"AJumpAfterTheTakeIsStatic", "square:1.3:0.1:0.25", "0", 0, {}},
};

class StartOfTake : public testing::TestWithParam<Patch> {};

TEST_P(StartOfTake, AnnouncesEachInputOnceFromItsSource)
{
    const Take take{"", 44100, 44100, 0, 0, volts(0.3), 0, 0, 0, {}, 0, -1};
    host::SignalSource a = patched(GetParam().a, take), x0 = patched(GetParam().x0, take);
    host::Constant b(take.b), y0;
    HostedModule module;
    host::Session session(module, take.rate, 256);
    host::ResetPulses reset({}, GetParam().resetHz > 0 ? std::optional(host::ResetClock(take.rate, GetParam().resetHz))
                                                       : std::nullopt);
    session.feed(APin, a);
    session.feed(BPin, b);
    session.feed(X0Pin, x0);
    session.feed(Y0Pin, y0);
    session.feed(ResetPin, reset);
    session.open();
    session.render(take.samples, [](int64_t, const float*, const float*, int32_t) {});
    EXPECT_EQ(announced(module), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Patches, StartOfTake, testing::ValuesIn(kPatches),
                         [](const testing::TestParamInfo<Patch>& info) { return info.param.name; });

struct Sources {
    host::Constant a{volts(1.4)}, b{volts(0.3)}, x0, y0;
    host::GateClock gate{44100};
    host::ResetPulses noResets{{}};
    host::ResetPulses resets{{100}};
    host::ResetButton button;
};

// What a host does after Open, to an opened session fed a with a Constant,
// Gate with a 1000 Hz clock in Gated mode, and Reset with `resets`.
struct AfterOpen {
    const char* name;
    bool resets;
    void (*change)(host::Session&, Sources&);
    std::vector<Announced> expected;  // after the Open
};

void PrintTo(const AfterOpen& step, std::ostream* os) { *os << step.name; }

const AfterOpen kAfterOpen[] = {
    {"OnlyTheMovingInputsAtTheStart", true, [](host::Session&, Sources&) {},
     {{GatePin, sep::Streaming}, {ResetPin, sep::Streaming}}},
    {"StaticInputsAreNotAnnounced", false, [](host::Session&, Sources&) {}, {{GatePin, sep::Streaming}}},
    {"AStatusOnceThoughTheSignalMovesInEveryBlock", true,
     [](host::Session& session, Sources&) {
         for (int block = 0; block < 8; ++block) session.renderBlock(256);
     },
     {{GatePin, sep::Streaming}, {ResetPin, sep::Streaming}}},
    {"AConstantChangedIsNoStatus", false,
     [](host::Session& session, Sources& sources) {
         sources.a.set(volts(1.2));
         session.feed(APin, sources.a);
     },
     {{GatePin, sep::Streaming}}},
    {"TheSameListItemAgainSendsNothing", false,
     [](host::Session& session, Sources&) {
         session.setList(ModePin, Gated);
         session.setList(NormalizePin, 1);
     },
     {{GatePin, sep::Streaming}}},
    {"ANewListItemIsASettingChange", false,
     [](host::Session& session, Sources&) {
         session.setList(NormalizePin, 0);
         session.setList(NormalizePin, 0);
         session.setList(ModePin, Continuous);
     },
     {{GatePin, sep::Streaming}, {NormalizePin, sep::Transient}, {ModePin, sep::Transient}}},
    {"AClockStoppedAndStartedAgain", false,
     [](host::Session& session, Sources& sources) {
         sources.gate.setHz(0.0);
         session.feed(GatePin, sources.gate);
         session.feed(GatePin, sources.gate);
         sources.gate.setHz(440.0);
         session.feed(GatePin, sources.gate);
     },
     {{GatePin, sep::Streaming}, {GatePin, sep::Static}, {GatePin, sep::Streaming}}},
    {"AResetButtonStreamsFromItsFirstPress", false,
     [](host::Session& session, Sources& sources) {
         session.feed(ResetPin, sources.button);
         sources.button.press();
         session.feed(ResetPin, sources.button);
         session.renderBlock(64);
         sources.button.press();
         session.feed(ResetPin, sources.button);
     },
     {{GatePin, sep::Streaming}, {ResetPin, sep::Streaming}}},
    {"AResetButtonStreamsWhileItsClockRuns", false,
     [](host::Session& session, Sources& sources) {
         sources.button.setClock(host::ResetClock(44100, 2.0));
         session.feed(ResetPin, sources.button);
         sources.button.setClock({});
         session.feed(ResetPin, sources.button);
     },
     {{GatePin, sep::Streaming}, {ResetPin, sep::Streaming}, {ResetPin, sep::Static}}},
};

class Announcements : public testing::TestWithParam<AfterOpen> {};

TEST_P(Announcements, FollowTheSourcesAndTheListItems)
{
    HostedModule module;
    host::Session session(module, 44100, 256);
    Sources sources;
    sources.gate.setHz(1000.0);
    session.feed(APin, sources.a);
    session.feed(BPin, sources.b);
    session.feed(GatePin, sources.gate);
    session.feed(ResetPin, GetParam().resets ? sources.resets : sources.noResets);
    session.setList(ModePin, Gated);
    EXPECT_TRUE(module.events.empty()) << "nothing is announced before Open";
    session.open();
    GetParam().change(session, sources);
    EXPECT_EQ(announced(module), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Steps, Announcements, testing::ValuesIn(kAfterOpen),
                         [](const testing::TestParamInfo<AfterOpen>& info) { return info.param.name; });

// A pressed button pulses Reset at the first sample rendered after it, once:
// x0 and y0 show there, as the chart's judge relies on.
TEST(ResetButton, PulsesTheFirstSampleAfterEachPress)
{
    HostedModule module;
    host::Session session(module, 44100, 64);
    Sources sources;
    sources.x0.set(volts(0.5));
    session.feed(X0Pin, sources.x0);
    session.feed(ResetPin, sources.button);
    session.setList(NormalizePin, 0);
    session.open();
    session.renderBlock(64);
    sources.button.press();
    session.feed(ResetPin, sources.button);
    session.renderBlock(10);
    EXPECT_EQ(session.x()[0], volts(0.5));
    EXPECT_NE(session.x()[1], volts(0.5));
    session.renderBlock(10);
    EXPECT_NE(session.x()[0], volts(0.5)) << "one pulse per press";
}

}  // namespace
