// What the session announces to the module, read from the emulator's log of
// the events it sent: each input's status from its source at the start of a
// take, after Open as sources and list items change, and the Reset button.
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/session/drive.h"
#include "host/session/session.h"
#include "session_takes.h"
#include "test_support.h"

using namespace tessel;
using namespace session_testing;
using host::HostedModule;

namespace {

// --- what a take announces ----------------------------------------------------

// A second's take at 44100 Hz, Continuous, b at 0.3 V and y0 at 0 V.
struct Patch {
    const char* name;
    const char* a;
    const char* x0;
    double resetHz;                   // 0: no Reset clock
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
    host::ResetPulses reset(
        {}, GetParam().resetHz > 0 ? std::optional(host::ResetClock(take.rate, GetParam().resetHz)) : std::nullopt);
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
    {"OnlyTheMovingInputsAtTheStart",
     true,
     [](host::Session&, Sources&) {},
     {{GatePin, sep::Streaming}, {ResetPin, sep::Streaming}}},
    {"StaticInputsAreNotAnnounced", false, [](host::Session&, Sources&) {}, {{GatePin, sep::Streaming}}},
    {"AStatusOnceThoughTheSignalMovesInEveryBlock",
     true,
     [](host::Session& session, Sources&) {
         for (int block = 0; block < 8; ++block) session.renderBlock(256);
     },
     {{GatePin, sep::Streaming}, {ResetPin, sep::Streaming}}},
    {"AConstantChangedIsNoStatus",
     false,
     [](host::Session& session, Sources& sources) {
         sources.a.set(volts(1.2));
         session.feed(APin, sources.a);
     },
     {{GatePin, sep::Streaming}}},
    {"TheSameListItemAgainSendsNothing",
     false,
     [](host::Session& session, Sources&) {
         session.setList(ModePin, Gated);
         session.setList(NormalizePin, 1);
     },
     {{GatePin, sep::Streaming}}},
    {"ANewListItemIsASettingChange",
     false,
     [](host::Session& session, Sources&) {
         session.setList(NormalizePin, 0);
         session.setList(NormalizePin, 0);
         session.setList(ModePin, Continuous);
     },
     {{GatePin, sep::Streaming}, {NormalizePin, sep::Transient}, {ModePin, sep::Transient}}},
    {"AClockStoppedAndStartedAgain",
     false,
     [](host::Session& session, Sources& sources) {
         sources.gate.setHz(0.0);
         session.feed(GatePin, sources.gate);
         session.feed(GatePin, sources.gate);
         sources.gate.setHz(440.0);
         session.feed(GatePin, sources.gate);
     },
     {{GatePin, sep::Streaming}, {GatePin, sep::Static}, {GatePin, sep::Streaming}}},
    {"AResetButtonStreamsFromItsFirstPress",
     false,
     [](host::Session& session, Sources& sources) {
         session.feed(ResetPin, sources.button);
         sources.button.press();
         session.feed(ResetPin, sources.button);
         session.renderBlock(64);
         sources.button.press();
         session.feed(ResetPin, sources.button);
     },
     {{GatePin, sep::Streaming}, {ResetPin, sep::Streaming}}},
    {"AResetButtonStreamsWhileItsClockRuns",
     false,
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
