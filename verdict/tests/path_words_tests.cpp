// A take's sound along its path, in short (at most kShortPathChanges changes
// named) and exactly: one table of takes, each with the words expected.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "verdict/words.h"

namespace {

using analysis::OrbitClass;
using analysis::Outcome;
using analysis::SoundChange;

OrbitClass judged(Outcome outcome, int32_t period, int64_t steps = 8192, double lyapunov = 0.0)
{
    OrbitClass orbit;
    orbit.outcome = outcome;
    orbit.period = period;
    orbit.steps = steps;
    orbit.lyapunov = lyapunov;
    return orbit;
}

const OrbitClass kTone = judged(Outcome::Cycle, 4);
const OrbitClass kNoise = judged(Outcome::Chaos, 0, 8192, 0.42);
const OrbitClass kStop = judged(Outcome::Stops, 0, 394);
const OrbitClass kStopped = judged(Outcome::Stops, 0, 0);

struct PathCase {
    const char* what;
    std::vector<SoundChange> changes;
    verdict::PathTake take;
    const char* inShort;
    const char* exactly;
};

const PathCase kPaths[] = {
    {"a tone, then noise",
     {{0, kTone}, {8192, kNoise}},
     {44100},
     "along the path: from 0.000 s: a steady tone of 11,025 Hz; from 0.186 s: noise, rough",
     "along the path: from 0.000 s: a cycle of period 4, a tone of 11025 Hz; from 0.186 s: chaos, largest Lyapunov "
     "exponent 0.420000 per step"},
    {"a Reset clock's restarts named, a change placed at the restart it is heard from",
     {{0, kStop}, {44100, kNoise}, {57344, kStopped}},
     {44100, 4.0},
     "along the path, restarted by the 4 Hz Reset clock: from 0.000 s: silent: the map stops after 394 steps, each "
     "time the Reset clock restarts it; from 1.000 s: noise, rough; and 1 more change",
     "along the path, restarted by the 4 Hz Reset clock: from 0.000 s: stops, until the 4 Hz Reset clock restarts "
     "it; from 1.000 s: chaos, largest Lyapunov exponent 0.420000 per step; from 1.300 s: stops, until the 4 Hz "
     "Reset clock restarts it"},
    {"a stop for good ends the path; what follows it is not heard",
     {{0, kTone}, {16384, kNoise}, {40960, kTone}},
     {44100, 0.0, 29405, 57344},
     "along the path: from 0.000 s: a steady tone of 11,025 Hz; from 0.372 s: noise, rough; from 0.667 s: silent, "
     "the map stopped itself",
     "along the path: from 0.000 s: a cycle of period 4, a tone of 11025 Hz; from 0.372 s: chaos, largest Lyapunov "
     "exponent 0.420000 per step; the map stopped itself at sample 29405 (0.66678 s): x and y stay exactly 0 until "
     "a reset, even where a and b come back to where the map sounds, from 1.30032 s"},
    {"too short",
     {},
     {44100},
     "along the path: too short to judge a window",
     "along the path: too short to judge a window"},
};

TEST(PathWords, TellTheSoundAlongAPathInShortAndExactly)
{
    for (const PathCase& c : kPaths) {
        EXPECT_EQ(std::string(verdict::summarizePath(c.changes, c.take).c_str()), c.inShort) << c.what;
        EXPECT_EQ(std::string(verdict::describePath(c.changes, c.take).c_str()), c.exactly) << c.what;
    }
}

}  // namespace
