// A verdict's short words, the ones a musician reads first, the step
// counts of the exact ones, and the glossary that explains them: one table each.
#include <string>

#include <gtest/gtest.h>

#include "verdict/glossary.h"
#include "verdict/words.h"

namespace {

using analysis::OrbitClass;
using analysis::Outcome;
using verdict::Stepping;

OrbitClass orbit(Outcome outcome, int32_t period, int64_t steps = 8192, double lyapunov = 0.0, bool rounding = false)
{
    OrbitClass judged;
    judged.outcome = outcome;
    judged.period = period;
    judged.steps = steps;
    judged.lyapunov = lyapunov;
    judged.roundingCycle = rounding;
    judged.settle = 40;
    return judged;
}

struct ShortCase {
    const char* what;
    OrbitClass orbit;
    double stepsPerSecond;
    Stepping stepping;
    const char* words;
};

constexpr Stepping kSample = Stepping::EverySample;
constexpr Stepping kClock = Stepping::GateClock;

const ShortCase kShort[] = {
    {"a tone, thousands grouped", orbit(Outcome::Cycle, 4), 44100, kSample, "a steady tone of 11,025 Hz"},
    {"a tone rounded as printf, ties to even", orbit(Outcome::Cycle, 8), 44100, kSample, "a steady tone of 5,512 Hz"},
    {"a tone under a thousand", orbit(Outcome::Cycle, 64), 48000, kSample, "a steady tone of 750 Hz"},
    {"16 kHz is still heard plainly", orbit(Outcome::Cycle, 3), 48000, kSample, "a steady tone of 16,000 Hz"},
    {"the edge of hearing", orbit(Outcome::Cycle, 5), 96000, kSample,
     "a steady tone of 19,200 Hz: at the edge of hearing"},
    {"the Nyquist rate", orbit(Outcome::Cycle, 2), 44100, kSample,
     "a steady tone of 22,050 Hz, the Nyquist rate: above hearing"},
    {"above hearing below the Nyquist rate", orbit(Outcome::Cycle, 3), 96000, kSample,
     "a steady tone of 32,000 Hz: above hearing"},
    {"a gated tone of two steps is no Nyquist tone", orbit(Outcome::Cycle, 2), 2000, kClock,
     "a steady tone of 1,000 Hz"},
    {"a gated tone to three digits", orbit(Outcome::Cycle, 3), 200, kClock, "a steady tone of 66.7 Hz"},
    {"a gated tone grouped after rounding", orbit(Outcome::Cycle, 2), 22050, kClock, "a steady tone of 11,000 Hz"},
    {"a gated cycle too slow for a pitch", orbit(Outcome::Cycle, 4), 1, kClock,
     "a repeating pattern of 4 steps at 0.25 Hz, too slow for a pitch"},
    {"a fixed point", orbit(Outcome::Cycle, 1), 44100, kSample, "silent: a constant level"},
    {"stopped at the first step", orbit(Outcome::Stops, 0, 0), 44100, kSample,
     "silent: the map stops at its first step and waits for Reset"},
    {"stopped after 1 step", orbit(Outcome::Stops, 0, 1), 44100, kSample,
     "silent: the map stops after 1 step and waits for Reset"},
    {"stopped after 2 steps", orbit(Outcome::Stops, 0, 2), 44100, kSample,
     "silent: the map stops after 2 steps and waits for Reset"},
    {"stopped late, grouped", orbit(Outcome::Stops, 0, 12345), 44100, kSample,
     "silent: the map stops after 12,345 steps and waits for Reset"},
    {"rough noise", orbit(Outcome::Chaos, 0, 8192, 0.420534), 44100, kSample, "noise, rough"},
    {"rough from its threshold", orbit(Outcome::Chaos, 0, 8192, 0.2), 44100, kSample, "noise, rough"},
    {"smooth noise", orbit(Outcome::Chaos, 0, 8192, 0.199999), 44100, kSample, "noise, smooth"},
    {"noise that loops", orbit(Outcome::Chaos, 228, 8192, 0.075139, true), 44100, kSample,
     "noise, smooth, looping every 228 steps: a buzz at 193 Hz"},
    {"a long loop of noise, grouped", orbit(Outcome::Chaos, 2205, 8192, 0.3, true), 44100, kSample,
     "noise, rough, looping every 2,205 steps: a buzz at 20 Hz"},
    {"a wavering tone", orbit(Outcome::Quasi, 0, 8192, -0.0000004), 44100, kSample,
     "a wavering tone that never quite repeats"},
    {"chaos at a clock slower than pitch is a line of steps", orbit(Outcome::Chaos, 0, 8192, 0.417504), 2, kClock,
     "a line of steps that never repeats, too slow to be heard as noise"},
    {"a loop of chaos slower than pitch is a pattern", orbit(Outcome::Chaos, 12, 8192, 0.3, true), 6, kClock,
     "a repeating pattern of 12 steps at 0.5 Hz, too slow for a pitch"},
    {"a wavering line of slow steps", orbit(Outcome::Quasi, 0, 8192, -0.0000004), 4, kClock,
     "a line of steps that wanders and never quite repeats"},
    {"chaos at a clock of pitch is noise", orbit(Outcome::Chaos, 0, 8192, 0.3), 20, kClock, "noise, rough"},
    {"a wavering orbit the floats repeat is a steady tone", orbit(Outcome::Quasi, 3, 8192, 0.0, true), 44100, kSample,
     "a steady tone of 14,700 Hz"},
};

TEST(ShortWords, SayWhatAMusicianHears)
{
    for (const ShortCase& c : kShort)
        EXPECT_EQ(std::string(verdict::summarizeOrbit(c.orbit, c.stepsPerSecond, c.stepping).c_str()), c.words)
            << c.what;
}

TEST(ShortWords, SayWhenATakeChangesAndTo)
{
    EXPECT_EQ(std::string(verdict::summarizeChange(8192, orbit(Outcome::Chaos, 0, 8192, 0.367919), 44100).c_str()),
              "from 0.186 s: noise, rough");
    EXPECT_EQ(std::string(verdict::summarizeChange(57344, orbit(Outcome::Cycle, 4), 44100).c_str()),
              "from 1.300 s: a steady tone of 11,025 Hz");
}

struct EnergyCase {
    const char* what;
    int32_t period;
    double stepsPerSecond;
    Stepping stepping;
    analysis::Partials partials;
    const char* inShort;
    const char* exactly;
};

const EnergyCase kEnergy[] = {
    {"a faint fundamental under the Nyquist line",
     16,
     44100,
     kSample,
     {8, 48.3},
     "a faint 2,756 Hz under a loud whine at 22,050 Hz, the Nyquist rate: above hearing",
     "a cycle of period 16: a tone of 2756 Hz from step 40; its loudest line is harmonic 8 at 22050 Hz, "
     "the fundamental 48.3 dB below it"},
    {"a louder harmonic in hearing",
     30,
     44100,
     kSample,
     {3, 20.0},
     "a faint 1,470 Hz under a loud tone of 4,410 Hz",
     "a cycle of period 30: a tone of 1470 Hz from step 40; its loudest line is harmonic 3 at 4410 Hz, "
     "the fundamental 20.0 dB below it"},
    {"a louder harmonic the fundamental still carries",
     30,
     44100,
     kSample,
     {3, 6.0},
     "a steady tone of 1,470 Hz",
     "a cycle of period 30: a tone of 1470 Hz from step 40; its loudest line is harmonic 3 at 4410 Hz, "
     "the fundamental 6.0 dB below it"},
    {"at a clock, no Nyquist line",
     8,
     1000,
     kClock,
     {4, 30.0},
     "a faint 125 Hz under a loud tone of 500 Hz",
     "a cycle of period 8: a tone of 125 Hz from step 40; its loudest line is harmonic 4 at 500 Hz, "
     "the fundamental 30.0 dB below it"},
    {"the fundamental loudest",
     16,
     44100,
     kSample,
     {1, 0.0},
     "a steady tone of 2,756 Hz",
     "a cycle of period 16: a tone of 2756 Hz from step 40"},
};

TEST(Words, SayWhereACyclesEnergyIs)
{
    for (const EnergyCase& c : kEnergy) {
        const OrbitClass cycle = orbit(Outcome::Cycle, c.period);
        EXPECT_EQ(std::string(verdict::summarizeOrbit(cycle, c.stepsPerSecond, c.stepping, c.partials).c_str()),
                  c.inShort)
            << c.what;
        EXPECT_EQ(std::string(verdict::describeOrbit(cycle, c.stepsPerSecond, c.stepping, c.partials).c_str()),
                  c.exactly)
            << c.what;
    }
}

struct StopCase {
    int64_t steps;
    const char* words;
};

const StopCase kStops[] = {
    {0, "stops: the guard stopped the map after 0 steps"},
    {1, "stops: the guard stopped the map after 1 step"},
    {2, "stops: the guard stopped the map after 2 steps"},
};

TEST(ExactWords, CountStepsInGoodGrammar)
{
    for (const StopCase& c : kStops)
        EXPECT_EQ(std::string(verdict::describeOrbit(orbit(Outcome::Stops, 0, c.steps), 44100).c_str()), c.words);
}

// The glossary's texts go into PNG pictures, whose font is ASCII, and into
// JSON for the page, unescaped: printable ASCII without quotes or
// backslashes, each explanation whole (not cut at the text's capacity) and
// found again by its id.
TEST(Glossary, TextsArePlainAsciiAndWhole)
{
    const auto plain = [](const char* text) {
        for (const char* at = text; *at; ++at)
            if (*at < ' ' || *at > '~' || *at == '"' || *at == '\\') return false;
        return true;
    };
    verdict::GlossaryEntry entry;
    size_t count = 0;
    for (; verdict::glossaryEntry(count, entry); ++count) {
        const std::string explanation = entry.explanation.c_str();
        EXPECT_TRUE(plain(entry.id) && plain(entry.term) && plain(entry.phrases) && plain(explanation.c_str()))
            << entry.id;
        EXPECT_EQ(explanation.back(), '.') << entry.id;
        EXPECT_EQ(std::string(verdict::glossaryExplanation(entry.id).c_str()), explanation);
    }
    EXPECT_EQ(count, 11u);
    EXPECT_EQ(verdict::glossaryExplanation("no such word").size(), 0u);
}

}  // namespace
