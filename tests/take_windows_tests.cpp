// A take's sound judged window by window as the chart judges a point, on
// takes rendered through the session: a sweep of a through the doublings of
// the map's cycles, and a map stopped while a goes beyond where it sounds and
// comes back.
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/session/drive.h"
#include "host/session/point_judge.h"
#include "host/session/session.h"
#include "host/session/signals/signal.h"
#include "host/session/source.h"
#include "test_support.h"
#include "verdict/words.h"

using namespace tessel;
using host::TakeWindows;

namespace {

constexpr int32_t kRate = 44100;

struct Judged {
    TakeWindows windows;
    int64_t stoppedAt;
};

// A Continuous take of `windows` windows with a and b patched, x0 = y0 = 0,
// restarted by a Reset clock of `resetHz` (0: none).
Judged judgeTake(const std::string& a, const std::string& b, int64_t windows, int16_t normalize, double resetHz = 0.0)
{
    const int64_t samples = windows * TakeWindows::kWindow;
    const auto patched = [&](const std::string& text) {
        const host::SignalParse parse = host::parseSignal(text, {kRate, samples});
        EXPECT_TRUE(parse.ok()) << parse.error;
        return host::SignalSource(parse.signal, samples);
    };
    host::SignalSource aSource = patched(a), bSource = patched(b);
    host::Constant zero;
    host::ResetPulses reset({}, resetHz > 0.0 ? std::optional(host::ResetClock(kRate, resetHz)) : std::nullopt);
    host::HostedModule module;
    host::Session session(module, kRate, 1000);
    session.feed(APin, aSource);
    session.feed(BPin, bSource);
    session.feed(X0Pin, zero);
    session.feed(Y0Pin, zero);
    session.feed(ResetPin, reset);
    session.setList(NormalizePin, normalize);
    session.open();
    TakeWindows judged(samples, 0.0f, 0.0f, normalize == 1);
    session.render(samples, [&](int64_t, const float* x, const float* y, int32_t count) {
        judged.add(session.input(APin), session.input(BPin), session.input(ResetPin), x, y, count);
    });
    return {judged, session.stoppedAt()};
}

// The map at b = 0 is x' = 1 - a·x², whose attracting cycle doubles its period
// at known values of a, and which is chaotic from a = 1.40116 V on. A ramp of
// a over 41 windows, Normalize on, puts a window's middle a 0.0244 V past the
// one before it: the judge must see each doubling in the first window past it.
struct Doubling {
    analysis::Outcome outcome;
    int32_t period;  // a rounding cycle's for chaos, 0 for none
    double fromVolts;
    std::string words;  // as the report gives them, from the window's time
};

const Doubling kSweep[] = {
    {analysis::Outcome::Cycle, 1, 0.0, "from 0.000 s: a cycle of period 1, a constant"},
    {analysis::Outcome::Cycle, 2, 0.75, "s: a cycle of period 2, a tone of 22050 Hz"},
    {analysis::Outcome::Cycle, 4, 1.25, "s: a cycle of period 4, a tone of 11025 Hz"},
    {analysis::Outcome::Cycle, 8, 1.3680989, "s: a cycle of period 8, a tone of 5512 Hz"},
    {analysis::Outcome::Chaos, 0, 1.4011552, "s: chaos, largest Lyapunov exponent 0."},
};

TEST(TakeWindows, SeeEachDoublingOfASweepInTheFirstWindowPastIt)
{
    constexpr int64_t kWindows = 41;
    const Judged judged = judgeTake("ramp:0.5:1.5", "0", kWindows, 1);
    const auto middleVolts = [](int64_t window) {
        const double t = double(window * TakeWindows::kWindow + TakeWindows::kWindow / 2) /
                         double(kWindows * TakeWindows::kWindow - 1);
        return 0.5 * (1.0 - t) + 1.5 * t;
    };
    const std::vector<host::SoundChange>& changes = judged.windows.changes();
    ASSERT_GE(changes.size(), std::size(kSweep));
    for (size_t i = 0; i < std::size(kSweep); ++i) {
        int64_t first = 0;
        while (middleVolts(first) < kSweep[i].fromVolts) ++first;
        EXPECT_EQ(changes[i].start, first * TakeWindows::kWindow) << "change " << i;
        EXPECT_EQ(changes[i].orbit.outcome, kSweep[i].outcome) << "change " << i;
        EXPECT_EQ(changes[i].orbit.period, kSweep[i].period) << "change " << i;
        const std::string words = verdict::describeChange(changes[i].start, changes[i].orbit, kRate).c_str();
        EXPECT_NE(words.find(kSweep[i].words), std::string::npos) << words;
    }
    EXPECT_EQ(judged.stoppedAt, -1);
}

// a at 1 V for two windows, 2.5 V for two, beyond where the map sounds,
// then 1 V again: the take stops in the third window and stays silent, heard
// so, while the fifth is where the map would run again after a reset.
TEST(TakeWindows, TellWhereAStoppedMapWouldRunAgain)
{
    const Judged judged = judgeTake("steps:1,2.5,1@2.691650390625", "0.3", 6, 0);  // 44100 / 16384 Hz
    const std::vector<host::SoundChange>& changes = judged.windows.changes();
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_NE(changes[0].orbit.outcome, analysis::Outcome::Stops);
    EXPECT_EQ(changes[1].start, 2 * TakeWindows::kWindow);
    EXPECT_EQ(changes[1].orbit.outcome, analysis::Outcome::Stops);
    EXPECT_GE(judged.stoppedAt, 2 * TakeWindows::kWindow);
    EXPECT_LT(judged.stoppedAt, 3 * TakeWindows::kWindow);
    EXPECT_EQ(judged.windows.runsFrom(judged.stoppedAt), 4 * TakeWindows::kWindow);
    EXPECT_EQ(judged.windows.runsFrom(0), 0);
}

// The same path with a Reset clock whose second pulse comes 4.5 windows in:
// the map, stopped since the third window, sounds again from that pulse, and
// the change is placed there, where it is heard, not at the window's start.
TEST(TakeWindows, PlaceASoundThatAResetRestartsWhereItIsHeard)
{
    const Judged judged = judgeTake("steps:1,2.5,1@2.691650390625", "0.3", 6, 0, 44100.0 / (4.5 * 8192));
    const std::vector<host::SoundChange>& changes = judged.windows.changes();
    ASSERT_EQ(changes.size(), 3u);
    EXPECT_EQ(changes[1].orbit.outcome, analysis::Outcome::Stops);
    EXPECT_EQ(changes[2].start, 4 * TakeWindows::kWindow + TakeWindows::kWindow / 2);
    EXPECT_EQ(changes[2].orbit.period, changes[0].orbit.period);
    EXPECT_EQ(judged.stoppedAt, -1);
}

}  // namespace
