// The signals a host patches into the inputs: their grammar, their samples
// worked out by hand, and that blocks do not change them.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "host/drive.h"
#include "host/signal.h"

using host::parseResetClock;
using host::parseSignal;
using host::Signal;
using host::SignalShape;
using host::SignalTake;

namespace {

constexpr SignalTake kTake{48000, 96000};

uint32_t bitsOf(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

Signal parsed(const std::string& text, const SignalTake& take = kTake)
{
    const host::SignalParse parse = parseSignal(text, take);
    EXPECT_TRUE(parse.ok()) << text << ": " << parse.error;
    return parse.signal;
}

std::vector<float> samples(const Signal& signal, int64_t count, int32_t block)
{
    std::vector<float> out(static_cast<size_t>(count));
    for (int64_t start = 0; start < count; start += block)
        signal.fill(out.data() + start, static_cast<int32_t>(std::min<int64_t>(block, count - start)), start);
    return out;
}

// --- the grammar --------------------------------------------------------------

struct Accepted {
    std::string text;
    SignalShape shape;
    SignalTake take = kTake;
};

void PrintTo(const Accepted& value, std::ostream* out) { *out << value.text; }

class GoodSignal : public testing::TestWithParam<Accepted> {};

TEST_P(GoodSignal, ParsesToItsShape)
{
    const Signal signal = parsed(GetParam().text, GetParam().take);
    EXPECT_EQ(signal.shape(), GetParam().shape);
    EXPECT_EQ(signal.moves(), GetParam().shape != SignalShape::Constant);
}

INSTANTIATE_TEST_SUITE_P(
    Signals, GoodSignal,
    testing::Values(Accepted{"1.4", SignalShape::Constant}, Accepted{"-0.25e1", SignalShape::Constant},
                    Accepted{"sine:1.2:0.2:0.5", SignalShape::Sine},
                    Accepted{"triangle:0:1:2:0.25", SignalShape::Triangle},
                    Accepted{"square:0:-1:24000", SignalShape::Square}, Accepted{"saw:3:1:0.000001:1", SignalShape::Saw},
                    Accepted{"ramp:0:2", SignalShape::Ramp}, Accepted{"steps:0,1,2@4", SignalShape::Steps},
                    // What never moves is a constant: no depth, one value,
                    // a swing too small for a float, a take of one sample.
                    Accepted{"sine:1:0:5", SignalShape::Constant}, Accepted{"ramp:1:1", SignalShape::Constant},
                    Accepted{"steps:2,2.0@3", SignalShape::Constant},
                    Accepted{"square:1:1e-12:5", SignalShape::Constant},
                    Accepted{"ramp:0:1", SignalShape::Constant, SignalTake{48000, 1}}));

struct Refused {
    std::string text;
    std::string message;
};

void PrintTo(const Refused& value, std::ostream* out) { *out << value.text.substr(0, 40); }

class BadSignal : public testing::TestWithParam<Refused> {};

TEST_P(BadSignal, SaysWhatIsExpected)
{
    const host::SignalParse parse = parseSignal(GetParam().text, SignalTake{44100, 88200});
    ASSERT_FALSE(parse.ok()) << GetParam().text;
    EXPECT_NE(parse.error.find(GetParam().message), std::string::npos) << parse.error;
}

std::string manySteps(int count)
{
    std::string text = "steps:0";
    for (int i = 1; i < count; ++i) text += ",1";
    return text + "@2";
}

INSTANTIATE_TEST_SUITE_P(
    Signals, BadSignal,
    testing::Values(
        Refused{"abc", "'abc' is not a number: give VOLTS, SHAPE:CENTRE:DEPTH:HZ[:PHASE]"},
        Refused{"", "'' is not a number"}, Refused{"nan", "'nan' is not a finite number"},
        Refused{"1e40", "1e40 V is too large for a 32-bit sample"},
        Refused{"wobble:1:2:3", "unknown shape 'wobble': give VOLTS"}, Refused{"Sine:1:2:3", "unknown shape 'Sine'"},
        Refused{"sine:1:2", "'sine:1:2' is malformed: give sine:CENTRE:DEPTH:HZ[:PHASE]"},
        Refused{"saw:1:2:3:0:9", "malformed: give saw:CENTRE:DEPTH:HZ[:PHASE]"},
        Refused{"sine:1:x:3", "'sine:1:x:3': DEPTH 'x' is not a number"},
        Refused{"sine:-inf:1:3", "CENTRE '-inf' is not a finite number"},
        Refused{"sine:1:2:3:", "PHASE '' is not a number"},
        Refused{"square:0:1:22050.5", "HZ 22050.5 is out of range: give 0.000001 to half the rate, 22050 Hz"},
        Refused{"sine:0:1:0", "HZ 0 is out of range"}, Refused{"sine:0:1:-5", "HZ -5 is out of range"},
        Refused{"triangle:0:1:5:1.5", "PHASE 1.5 is out of range: give 0 to 1 cycles"},
        Refused{"triangle:0:1:5:-0.1", "PHASE -0.1 is out of range"},
        Refused{"sine:2e39:2e39:5", "reaches 4e+39 V, too large for a 32-bit sample"},
        Refused{"saw:0:-4e39:5", "reaches -4e+39 V"}, Refused{"ramp:0", "malformed: give ramp:FROM:TO"},
        Refused{"ramp:0:1e40", "TO 1e40 V is too large for a 32-bit sample"},
        Refused{"steps:1,2", "malformed: give steps:V1,V2,...@HZ"}, Refused{"steps:1,2@3@4", "malformed"},
        Refused{"steps:1:2@3", "malformed"}, Refused{"steps:1,,2@3", "V2 '' is not a number"},
        Refused{"steps:1,2e40@3", "V2 2e40 V is too large"}, Refused{"steps:1,2@30000", "HZ 30000 is out of range"},
        Refused{manySteps(host::kMostSteps + 1), "has 1025 steps: give at most 1024"}));

TEST(Signals, MostStepsAccepted) { EXPECT_TRUE(parseSignal(manySteps(host::kMostSteps), kTake).ok()); }

// --- samples worked out by hand -------------------------------------------------

struct Expected {
    std::string text;
    SignalTake take;
    std::vector<std::pair<int64_t, double>> voltsAt;  // sample, volts
};

void PrintTo(const Expected& value, std::ostream* out) { *out << value.text; }

class SignalSamples : public testing::TestWithParam<Expected> {};

TEST_P(SignalSamples, MatchHandWorkedVolts)
{
    const Signal signal = parsed(GetParam().text, GetParam().take);
    for (const auto& [sample, volts] : GetParam().voltsAt)
        EXPECT_EQ(bitsOf(signal.sampleAt(sample)), bitsOf(host::signalFromVolts(volts)))
            << GetParam().text << " at sample " << sample << ": " << signal.sampleAt(sample) * 10.0 << " V, not "
            << volts;
}

constexpr SignalTake kCdTake{44100, 88200};
constexpr int64_t kHourAt48k = 48000LL * 3600;

INSTANTIATE_TEST_SUITE_P(
    Signals, SignalSamples,
    testing::Values(
        // 1000 Hz at 48 kHz: 48 samples a cycle, exactly, an hour on as at the start.
        Expected{"sine:1:0.5:1000", kTake,
                 {{0, 1.0}, {4, 1.25}, {8, 1.4330127018922193}, {12, 1.5}, {24, 1.0}, {36, 0.5}, {48, 1.0},
                  {kHourAt48k + 12, 1.5}, {kHourAt48k + 36, 0.5}}},
        Expected{"sine:0:2:1000:0.25", kTake, {{0, 2.0}, {12, 0.0}, {24, -2.0}, {40, 1.0}}},
        Expected{"sine:0:1:0.5:0.5", SignalTake{1000, 4000}, {{0, 0.0}, {500, -1.0}, {1500, 1.0}}},
        Expected{"triangle:0:1:1000", kTake,
                 {{0, 0.0}, {6, 0.5}, {12, 1.0}, {18, 0.5}, {24, 0.0}, {36, -1.0}, {42, -0.5}, {48, 0.0}}},
        // The square's jump at half a cycle goes down; the saw's at a whole one.
        Expected{"square:1:0.5:1000", kTake, {{0, 1.5}, {23, 1.5}, {24, 0.5}, {47, 0.5}, {48, 1.5}}},
        Expected{"square:0:1:1000", kCdTake, {{22, 1.0}, {23, -1.0}, {44, -1.0}, {45, 1.0}}},
        Expected{"saw:0:1:1000", kTake, {{0, -1.0}, {12, -0.5}, {24, 0.0}, {36, 0.5}, {47, 23.0 / 24.0}, {48, -1.0}}},
        Expected{"saw:2:-1:1000:0.5", kTake, {{0, 2.0}, {23, 2.0 - 23.0 / 24.0}, {24, 3.0}}},
        // A ramp reaches TO at the take's last sample and stays there.
        Expected{"ramp:0:2", SignalTake{48000, 5}, {{0, 0.0}, {1, 0.5}, {2, 1.0}, {3, 1.5}, {4, 2.0}, {100, 2.0}}},
        Expected{"ramp:-1:1", SignalTake{48000, 3}, {{0, -1.0}, {1, 0.0}, {2, 1.0}}},
        // 48 samples a step; the fourth step is the first again.
        Expected{"steps:0,1,2@1000", kTake,
                 {{0, 0.0}, {47, 0.0}, {48, 1.0}, {96, 2.0}, {143, 2.0}, {144, 0.0}, {480050, 2.0}}},
        Expected{"steps:-1,3@2", kTake, {{23999, -1.0}, {24000, 3.0}, {47999, 3.0}, {48000, -1.0}}}));

// --- what does not depend on the take's blocks or the signal's form ----------------

class SignalBlocks : public testing::TestWithParam<std::string> {};

TEST_P(SignalBlocks, SameSamplesWhateverTheBlocks)
{
    const Signal signal = parsed(GetParam());
    const std::vector<float> whole = samples(signal, 20000, 20000);
    for (int32_t block : {1, 7, 1000, 4096}) {
        const std::vector<float> split = samples(signal, 20000, block);
        for (size_t i = 0; i < whole.size(); ++i)
            ASSERT_EQ(bitsOf(split[i]), bitsOf(whole[i])) << GetParam() << " in blocks of " << block << " at " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Signals, SignalBlocks,
                         testing::Values("sine:1.2:0.2:440.5:0.3", "triangle:0:1:3.3", "square:0:1:997",
                                         "saw:0:1:0.7:0.9", "ramp:-2:2", "steps:0,1,2,3,4@37.5"));

class FlatSignal : public testing::TestWithParam<std::pair<std::string, std::string>> {};

TEST_P(FlatSignal, EqualsTheConstantBitForBit)
{
    const auto& [signalText, constantText] = GetParam();
    const std::vector<float> flat = samples(parsed(signalText), 500, 64);
    const std::vector<float> constant = samples(parsed(constantText), 500, 64);
    for (size_t i = 0; i < flat.size(); ++i) ASSERT_EQ(bitsOf(flat[i]), bitsOf(constant[i])) << signalText << " at " << i;
}

INSTANTIATE_TEST_SUITE_P(Signals, FlatSignal,
                         testing::Values(std::pair{"sine:1.4:0:3", "1.4"}, std::pair{"saw:-0:0:5", "-0"},
                                         std::pair{"square:0.3:0:100:0.5", "0.3"}, std::pair{"ramp:0.3:0.3", "0.3"},
                                         std::pair{"steps:-2@9", "-2"}));

TEST(Signals, SineFollowsSineToTheFloat)
{
    // 4800 samples a cycle: the polynomial anywhere against the C library's sine.
    const std::vector<float> wave = samples(parsed("sine:0:10:10"), 4800, 4800);
    for (size_t i = 0; i < wave.size(); ++i) {
        const float exact = static_cast<float>(std::sin(2.0 * std::numbers::pi * static_cast<double>(i) / 4800.0));
        EXPECT_LE(std::fabs(wave[i] - exact), 6e-8f) << "sample " << i;
        EXPECT_LE(std::fabs(wave[i]), 1.0f) << "sample " << i;
    }
}

// --- the Reset clock ----------------------------------------------------------------

struct Clock {
    int32_t rate;
    double hz;
    std::vector<int64_t> pulses;  // within the first 100 samples
};

void PrintTo(const Clock& value, std::ostream* out) { *out << value.hz; }

class ResetClockPulses : public testing::TestWithParam<Clock> {};

TEST_P(ResetClockPulses, OneSampleAtEachRisingGateEdge)
{
    const host::ResetClockParse parse = parseResetClock(std::to_string(GetParam().hz), GetParam().rate);
    ASSERT_TRUE(parse.ok()) << parse.error;
    for (int32_t block : {100, 7, 1}) {
        std::vector<float> reset(100);
        for (int32_t start = 0; start < 100; start += block)
            parse.clock.fill(reset.data() + start, std::min(block, 100 - start), start);
        std::vector<int64_t> pulses;
        for (int64_t i = 0; i < 100; ++i) {
            if (reset[i] == host::kResetPulse) pulses.push_back(i);
            else EXPECT_EQ(bitsOf(reset[i]), 0u) << i;
        }
        EXPECT_EQ(pulses, GetParam().pulses) << "blocks of " << block;
    }
}

INSTANTIATE_TEST_SUITE_P(ResetClock, ResetClockPulses,
                         testing::Values(Clock{48000, 1000, {0, 48, 96}}, Clock{44100, 1000, {0, 45, 89}},
                                         Clock{1000, 500, {0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30,
                                                           32, 34, 36, 38, 40, 42, 44, 46, 48, 50, 52, 54, 56, 58,
                                                           60, 62, 64, 66, 68, 70, 72, 74, 76, 78, 80, 82, 84, 86,
                                                           88, 90, 92, 94, 96, 98}},
                                         Clock{48000, 0.5, {0}}));

TEST(ResetClock, RefusesWhatTheGateClockRefuses)
{
    const std::vector<std::pair<std::string, std::string>> cases{
        {"abc", "'abc' is not a number"},
        {"0", "0 is out of range: give more than 0 and at most half the rate, 22050 Hz"},
        {"22050.5", "22050.5 is out of range"},
        {"inf", "'inf' is not a finite number"}};
    for (const auto& [text, message] : cases) {
        const host::ResetClockParse parse = parseResetClock(text, 44100);
        EXPECT_NE(parse.error.find(message), std::string::npos) << text << ": " << parse.error;
    }
}

}  // namespace
