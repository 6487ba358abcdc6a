// The signals a host patches into the inputs: their grammar, their samples
// worked out by hand, that blocks do not change them, and whether they move
// within a take.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <numbers>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "host/session/drive.h"
#include "host/session/signals/signal.h"
#include "host/session/source.h"
#include "host/session/volts_text.h"

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

std::string manySteps(int count)
{
    std::string text = "steps:0";
    for (int i = 1; i < count; ++i) text += ",1";
    return text + "@2";
}

struct Text {
    std::string text;
    SignalShape shape;
    std::string message = "";  // what a refusal says; empty: accepted as `shape`
    SignalTake take = kTake;
};

void PrintTo(const Text& value, std::ostream* out) { *out << value.text.substr(0, 40); }

class SignalText : public testing::TestWithParam<Text> {};

TEST_P(SignalText, ParsesToItsShapeOrSaysWhatIsExpected)
{
    const host::SignalParse parse = parseSignal(GetParam().text, GetParam().take);
    if (!GetParam().message.empty()) {
        EXPECT_NE(parse.error.find(GetParam().message), std::string::npos) << parse.error;
        return;
    }
    ASSERT_TRUE(parse.ok()) << parse.error;
    EXPECT_EQ(parse.signal.shape(), GetParam().shape);
    EXPECT_EQ(parse.signal.moves(), GetParam().shape != SignalShape::Constant);
}

constexpr SignalShape kRefused = SignalShape::Constant;

INSTANTIATE_TEST_SUITE_P(
    Signals, SignalText,
    testing::Values(
        Text{"-0.25e1", SignalShape::Constant}, Text{"sine:1.2:0.2:0.5", SignalShape::Sine},
        Text{"triangle:0:1:2:0.25", SignalShape::Triangle}, Text{"square:0:-1:24000", SignalShape::Square},
        Text{"saw:3:1:0.000001:1", SignalShape::Saw}, Text{"ramp:0:2", SignalShape::Ramp},
        Text{manySteps(host::kMostSteps), SignalShape::Steps},
        // What never moves is a constant: no depth, one value, a swing too
        // small for a float, a take of one sample.
        Text{"sine:1:0:5", SignalShape::Constant}, Text{"steps:2,2.0@3", SignalShape::Constant},
        Text{"square:1:1e-12:5", SignalShape::Constant}, Text{"ramp:0:1", SignalShape::Constant, "", {48000, 1}},
        Text{"abc", kRefused, "'abc' is not a number: give VOLTS, SHAPE:CENTRE:DEPTH:HZ[:PHASE]"},
        Text{"nan", kRefused, "'nan' is not a finite number"},
        Text{"1e40", kRefused, "1e40 V is too large for a 32-bit sample"},
        Text{"Sine:1:2:3", kRefused, "unknown shape 'Sine': give VOLTS"},
        Text{"sine:1:2", kRefused, "'sine:1:2' is malformed: give sine:CENTRE:DEPTH:HZ[:PHASE]"},
        Text{"saw:1:2:3:0:9", kRefused, "malformed: give saw:CENTRE:DEPTH:HZ[:PHASE]"},
        Text{"sine:1:x:3", kRefused, "'sine:1:x:3': DEPTH 'x' is not a number"},
        Text{"sine:-inf:1:3", kRefused, "CENTRE '-inf' is not a finite number"},
        Text{"sine:1:2:3:", kRefused, "PHASE '' is not a number"},
        Text{"square:0:1:24000.5", kRefused, "HZ 24000.5 is out of range: give 0.000001 to half the rate, 24000 Hz"},
        Text{"sine:0:1:0", kRefused, "HZ 0 is out of range"},
        Text{"triangle:0:1:5:1.5", kRefused, "PHASE 1.5 is out of range: give 0 to 1 cycles"},
        Text{"saw:2e39:-2e39:5", kRefused, "reaches 4e+39 V, too large for a 32-bit sample"},
        Text{"ramp:0", kRefused, "malformed: give ramp:FROM:TO"},
        Text{"ramp:0:1e40", kRefused, "TO 1e40 V is too large"},
        Text{"steps:1,2", kRefused, "malformed: give steps:V1,V2,...@HZ"}, Text{"steps:1,2@3@4", kRefused, "malformed"},
        Text{"steps:1,,2@3", kRefused, "V2 '' is not a number"},
        Text{manySteps(host::kMostSteps + 1), kRefused, "has 1025 steps: give at most 1024"}));

// What a text writes, whatever its samples come to: the shape it names and a
// wave's fields, which a host shows in its own controls.
TEST(SignalText, KeepsTheShapeAndFieldsItWrites)
{
    const struct {
        const char* text;
        SignalShape written;
        const char* name;
        host::WaveFields wave;
    } cases[] = {
        {"sine:1.2:0.2:0.5", SignalShape::Sine, "sine", {1.2, 0.2, 0.5, 0.0}},
        {"triangle:0:-1:2:0.25", SignalShape::Triangle, "triangle", {0.0, -1.0, 2.0, 0.25}},
        {"sine:1:0:5", SignalShape::Sine, "sine", {1.0, 0.0, 5.0, 0.0}},  // its samples a constant
        {"ramp:0:2", SignalShape::Ramp, "ramp", {}},
        {"steps:1,2@3", SignalShape::Steps, "steps", {}},
        {"-0.25e1", SignalShape::Constant, "volts", {}},
    };
    for (const auto& c : cases) {
        const host::SignalParse parse = parseSignal(c.text, kTake);
        ASSERT_TRUE(parse.ok()) << c.text;
        EXPECT_EQ(parse.written, c.written) << c.text;
        EXPECT_STREQ(host::signalShapeName(parse.written), c.name) << c.text;
        EXPECT_EQ(parse.wave.centre, c.wave.centre) << c.text;
        EXPECT_EQ(parse.wave.depth, c.wave.depth) << c.text;
        EXPECT_EQ(parse.wave.hz, c.wave.hz) << c.text;
        EXPECT_EQ(parse.wave.phase, c.wave.phase) << c.text;
    }
}

// --- samples worked out by hand -------------------------------------------------

struct Expected {
    std::string text;
    SignalTake take;
    std::vector<std::pair<int64_t, double>> voltsAt;  // sample, volts
};

void PrintTo(const Expected& value, std::ostream* out) { *out << value.text; }

class SignalSamples : public testing::TestWithParam<Expected> {};

// The volts worked out by hand, and the same samples whatever the blocks.
TEST_P(SignalSamples, MatchHandWorkedVoltsInAnyBlocks)
{
    const Signal signal = parsed(GetParam().text, GetParam().take);
    for (const auto& [sample, volts] : GetParam().voltsAt)
        EXPECT_EQ(bitsOf(signal.sampleAt(sample)), bitsOf(host::signalFromVolts(volts)))
            << GetParam().text << " at sample " << sample << ": " << signal.sampleAt(sample) * 10.0 << " V, not "
            << volts;
    const std::vector<float> whole = samples(signal, 5000, 5000);
    for (int32_t block : {1, 7, 1000}) {
        const std::vector<float> split = samples(signal, 5000, block);
        for (size_t i = 0; i < whole.size(); ++i)
            ASSERT_EQ(bitsOf(split[i]), bitsOf(whole[i]))
                << GetParam().text << " in blocks of " << block << " at " << i;
    }
}

constexpr SignalTake kCdTake{44100, 88200};
constexpr int64_t kHourAt48k = 48000LL * 3600;

INSTANTIATE_TEST_SUITE_P(
    Signals, SignalSamples,
    testing::Values(
        // 1000 Hz at 48 kHz: 48 samples a cycle, exactly, an hour on as at the start.
        Expected{"sine:1:0.5:1000",
                 kTake,
                 {{0, 1.0},
                  {4, 1.25},
                  {8, 1.4330127018922193},
                  {12, 1.5},
                  {24, 1.0},
                  {36, 0.5},
                  {48, 1.0},
                  {kHourAt48k + 12, 1.5},
                  {kHourAt48k + 36, 0.5}}},
        Expected{"sine:0:2:1000:0.25", kTake, {{0, 2.0}, {12, 0.0}, {24, -2.0}, {40, 1.0}}},
        Expected{"triangle:0:1:1000",
                 kTake,
                 {{0, 0.0}, {6, 0.5}, {12, 1.0}, {18, 0.5}, {24, 0.0}, {36, -1.0}, {42, -0.5}, {48, 0.0}}},
        // The square's jump at half a cycle goes down; the saw's at a whole one.
        Expected{"square:1:0.5:1000", kTake, {{0, 1.5}, {23, 1.5}, {24, 0.5}, {47, 0.5}, {48, 1.5}}},
        Expected{"square:0:1:1000", kCdTake, {{22, 1.0}, {23, -1.0}, {44, -1.0}, {45, 1.0}}},
        Expected{"saw:0:1:1000", kTake, {{0, -1.0}, {12, -0.5}, {24, 0.0}, {36, 0.5}, {47, 23.0 / 24.0}, {48, -1.0}}},
        Expected{"saw:2:-1:1000:0.5", kTake, {{0, 2.0}, {23, 2.0 - 23.0 / 24.0}, {24, 3.0}}},
        // A ramp reaches TO at the take's last sample and stays there.
        Expected{"ramp:0:2", SignalTake{48000, 5}, {{0, 0.0}, {1, 0.5}, {2, 1.0}, {3, 1.5}, {4, 2.0}, {100, 2.0}}},
        // 48 samples a step; the fourth step is the first again.
        Expected{"steps:0,1,2@1000",
                 kTake,
                 {{0, 0.0}, {47, 0.0}, {48, 1.0}, {96, 2.0}, {143, 2.0}, {144, 0.0}, {480050, 2.0}}},
        // Cycles of no whole number of samples: only the blocks are checked.
        Expected{"sine:1.2:0.2:440.5:0.3", kTake, {}}, Expected{"saw:0:1:0.7:0.9", kTake, {}},
        Expected{"steps:0,1,2,3,4@37.5", kTake, {}}));

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

// Whether a signal moves over a take of some length, or over a take without
// end (0 samples), where only a constant is still.
TEST(SignalSource, MovesWithinItsTake)
{
    const struct {
        const char* text;
        int64_t samples;
        bool moves;
    } rows[] = {
        {"sine:1:0.5:3", 44100, true},     {"sine:1:0.5:3", 0, true},    {"sine:1:0:3", 0, false},
        {"square:0:1:0.25", 44100, false}, {"square:0:1:0.25", 0, true}, {"steps:1,1@2", 0, false},
    };
    for (const auto& row : rows) {
        const host::SignalParse parse = host::parseSignal(row.text, {44100, row.samples});
        ASSERT_TRUE(parse.ok()) << parse.error;
        EXPECT_EQ(host::SignalSource(parse.signal, row.samples).moves(), row.moves)
            << row.text << " over " << row.samples;
    }
}

}  // namespace
