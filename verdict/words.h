// What a verdict on an orbit says: the words tessel-render prints and the
// explorer page shows, from this code in both (the page through the
// WebAssembly build).
#pragma once

#include <cstdint>
#include <vector>

#include "analysis/orbit_analysis.h"
#include "analysis/partials.h"
#include "analysis/sound_change.h"
#include "text.h"

namespace verdict {

// Above this a tone is at the edge of hearing, and above the next beyond it.
constexpr double kEdgeOfHearingHz = 16000.0;
constexpr double kTopOfHearingHz = 20000.0;
// Below this a cycle is heard as a repeating pattern, not as a pitch.
constexpr double kLowestPitchHz = 20.0;
// A largest Lyapunov exponent from here up (nearby states drift twice as far
// apart within four steps) sounds as rough, hissing noise; below it the
// orbit lingers near its cycles and the noise is smoother.
constexpr double kRoughNoise = 0.2;

// Where the map's steps come from, which sets the tone a cycle sounds.
enum class Stepping {
    EverySample,  // Continuous mode: one step per sample
    GateClock,    // Gated mode: one step per rising edge of a clock
};

// A cycle of `period` steps at `stepsPerSecond` steps a second, as a tone:
// at the sample rate in whole hertz, rounded as printf rounds ("5512 Hz"); at
// a Gate clock to three significant digits ("66.7 Hz", "1000 Hz").
Text toneText(int32_t period, double stepsPerSecond, Stepping stepping = Stepping::EverySample);

// An orbit in words, a cycle with what it sounds like and from which step:
// "a cycle of period 4: a tone of 11025 Hz from step 31", "chaos: a rounding
// cycle of period 10 (a tone of 4410 Hz from step 3947) that the map has only
// as an unstable cycle, or not at all; largest Lyapunov exponent 0.210000 per step".
// A cycle whose loudest line is not its fundamental says where it is: "; its
// loudest line is harmonic 8 at 22050 Hz, the fundamental 48.3 dB below it".
Text describeOrbit(const analysis::OrbitClass& orbit, double stepsPerSecond, Stepping stepping = Stepping::EverySample,
                   const analysis::Partials& partials = {});

// The same orbit as a musician hears it, said first and in short, thousands
// grouped: "a steady tone of 11,025 Hz", "a steady tone of 22,050 Hz, the
// Nyquist rate: above hearing", "noise, rough", "silent: a constant level",
// "silent: the map stops after 1 step and waits for Reset"; at a Gate clock
// slower than a pitch, "a line of steps that never repeats, too slow to be
// heard as noise". A tone whose fundamental lies far under its loudest line
// is heard as that line: "a faint 2,756 Hz under a loud whine at 22,050 Hz,
// the Nyquist rate". Where a Reset clock of `resetHz` (0: none) runs, a stop
// does not wait: "silent: the map stops after 2 steps, each time the Reset
// clock restarts it".
Text summarizeOrbit(const analysis::OrbitClass& orbit, double stepsPerSecond, Stepping stepping = Stepping::EverySample,
                    const analysis::Partials& partials = {}, double resetHz = 0.0);

// A take's sound from the sample where it changes character, in short: "from
// 0.186 s: a cycle of period 4, a tone of 11025 Hz", "from 1.300 s: chaos,
// largest Lyapunov exponent 0.210000 per step", "from 0.743 s: stops"; where
// a Reset clock of `resetHz` (0: none) runs, "from 0.743 s: stops, until the
// 4 Hz Reset clock restarts it".
Text describeChange(int64_t startSample, const analysis::OrbitClass& orbit, double sampleRate, double resetHz = 0.0);

// The same change as a musician hears it: "from 0.186 s: noise, rough",
// and where a Reset clock runs, "from 0.743 s: silent: the map stops after
// 1,234 steps, each time the Reset clock restarts it".
Text summarizeChange(int64_t startSample, const analysis::OrbitClass& orbit, double sampleRate, double resetHz = 0.0);

// A take whose a or b moves, as its path is judged: its rate, the Reset
// clock that restarts its map (0: none), where the map stopped itself for
// good (-1: it did not) and where it would run again after a reset (-1:
// nowhere).
struct PathTake {
    double sampleRate = 0.0;
    double resetHz = 0.0;
    int64_t stoppedAt = -1, runsFrom = -1;
};

// The changes a path's verdict in short names; the rest are left to the exact one.
constexpr size_t kShortPathChanges = 2;

// The sound along such a take in short, from its changes up to its stop:
// "along the path, restarted by the 4 Hz Reset clock: from 0.000 s: noise,
// rough; from 0.743 s: silent: ...; and 3 more changes; from 1.672 s:
// silent, the map stopped itself", or "...: too short to judge a window".
Text summarizePath(const std::vector<analysis::SoundChange>& changes, const PathTake& take);

// The same exactly: every change in describeChange's words, then the stop in
// describeStop's.
Text describePath(const std::vector<analysis::SoundChange>& changes, const PathTake& take);

// Why a gated take whose a or b moves is judged at the LFOs' centres, said
// after its verdict: " (at the LFOs' centres: a gated path is not judged
// along its ticks)", or exactly, with the reason.
Text unjudgedPath(bool inShort);

// Where the divergence guard stopped a take's map: "the map stopped itself at
// sample 29405 (0.66678 s): x and y stay exactly 0", and where a or b moves
// " until a reset", with, if the map would run again after a reset to where
// a and b go (`runsFrom`, a sample, or -1), ", even where a and b come back
// to where the map sounds, from 1.30032 s". Seconds to six significant digits.
Text describeStop(int64_t stoppedAt, double sampleRate, bool moving, int64_t runsFrom);

}  // namespace verdict
