#include "words.h"

#include <algorithm>

namespace verdict {

using analysis::Outcome;

namespace {

// A fundamental this far under a cycle's loudest line is heard as faint: the
// ear follows the loud line.
constexpr double kFaintFundamentalDb = 12.0;

// "1 step", "17 steps".
Text& stepCount(Text& words, int64_t steps) { return words.whole(steps) << (steps == 1 ? " step" : " steps"); }

// A written number with its whole part's thousands grouped: "11025" as "11,025".
Text& grouped(Text& words, const char* number)
{
    size_t wholeDigits = 0;
    while (number[wholeDigits] >= '0' && number[wholeDigits] <= '9') ++wholeDigits;
    for (size_t i = 0; number[i]; ++i) {
        const char character[] = {number[i], '\0'};
        words << character;
        if (i + 1 < wholeDigits && (wholeDigits - i - 1) % 3 == 0) words << ",";
    }
    return words;
}

Text& groupedSteps(Text& words, int64_t steps)
{
    Text number;
    number.whole(steps);
    return grouped(words, number.c_str()) << (steps == 1 ? " step" : " steps");
}

// The Hz of a cycle as toneText writes them, grouped: "11,025 Hz".
Text& groupedTone(Text& words, int32_t period, double stepsPerSecond, Stepping stepping)
{
    return grouped(words, toneText(period, stepsPerSecond, stepping).c_str());
}

// A cycle of two or more steps: a pitch, or below pitch a pattern.
Text& heardCycle(Text& words, int32_t period, double stepsPerSecond, Stepping stepping)
{
    const double hz = stepsPerSecond / period;
    if (hz < kLowestPitchHz) {
        (words << "a repeating pattern of ").whole(period) << " steps at ";
        return groupedTone(words, period, stepsPerSecond, stepping) << ", too slow for a pitch";
    }
    groupedTone(words << "a steady tone of ", period, stepsPerSecond, stepping);
    if (period == 2 && stepping == Stepping::EverySample) words << ", the Nyquist rate";
    if (hz > kTopOfHearingHz) return words << ": above hearing";
    if (hz > kEdgeOfHearingHz) return words << ": at the edge of hearing";
    return words;
}

// Hz as toneText writes a tone's: whole at the sample rate, three digits at a clock.
Text& hzText(Text& words, double hz, Stepping stepping)
{
    if (stepping == Stepping::GateClock) words.threeDigits(hz);
    else words.fixed(hz, 0);
    return words << " Hz";
}

// Whether the ear hears a cycle's loudest line rather than its fundamental.
bool faintFundamental(const analysis::OrbitClass& orbit, const analysis::Partials& partials)
{
    return orbit.outcome == Outcome::Cycle && partials.loudest > 1 &&
           partials.fundamentalBelowDb >= kFaintFundamentalDb;
}

// "a faint 2,756 Hz under a loud whine at 22,050 Hz, the Nyquist rate".
Text& faintUnderLoud(Text& words, int32_t period, double stepsPerSecond, Stepping stepping,
                     const analysis::Partials& partials)
{
    groupedTone(words << "a faint ", period, stepsPerSecond, stepping);
    const double loudHz = stepsPerSecond * partials.loudest / period;
    Text loud;
    hzText(loud, loudHz, stepping);
    grouped(words << (loudHz > kEdgeOfHearingHz ? " under a loud whine at " : " under a loud tone of "), loud.c_str());
    if (2 * partials.loudest == period && stepping == Stepping::EverySample) words << ", the Nyquist rate";
    if (loudHz > kTopOfHearingHz) return words << ": above hearing";
    if (loudHz > kEdgeOfHearingHz) return words << ": at the edge of hearing";
    return words;
}

// "; its loudest line is harmonic 8 at 22050 Hz, the fundamental 48.3 dB below it".
Text& loudestLine(Text& words, int32_t period, double stepsPerSecond, Stepping stepping,
                  const analysis::Partials& partials)
{
    (words << "; its loudest line is harmonic ").whole(partials.loudest) << " at ";
    hzText(words, stepsPerSecond * partials.loudest / period, stepping) << ", the fundamental ";
    if (partials.fundamentalBelowDb >= analysis::kSilentDb) return words << "silent";
    return words.fixed(partials.fundamentalBelowDb, 1) << " dB below it";
}

// What a cycle sounds like and from when: "a tone of 11025 Hz from step 31".
Text& sounding(Text& words, const analysis::OrbitClass& orbit, double stepsPerSecond, Stepping stepping)
{
    if (orbit.period == 1) words << "a constant";  // a rounding cycle's period too
    else words << "a tone of " << toneText(orbit.period, stepsPerSecond, stepping).c_str();
    return (words << " from step ").whole(orbit.settle);
}

Text& exponent(Text& words, double lyapunov)
{
    return (words << "largest Lyapunov exponent ").fixed(lyapunov, 6) << " per step";
}

// "from 0.186 s: ": where a change of a take's sound starts.
Text& changeStart(Text& words, int64_t startSample, double sampleRate)
{
    return (words << "from ").fixed(static_cast<double>(startSample) / sampleRate, 3) << " s: ";
}

// "the 4 Hz Reset clock": the clock that restarts a take's map.
Text& restartedBy(Text& words, double resetHz)
{
    return (words << "the ").significant(resetHz, 3) << " Hz Reset clock";
}

}  // namespace

Text toneText(int32_t period, double stepsPerSecond, Stepping stepping)
{
    Text words;
    return hzText(words, stepsPerSecond / period, stepping);
}

Text describeOrbit(const analysis::OrbitClass& orbit, double stepsPerSecond, Stepping stepping,
                   const analysis::Partials& partials)
{
    Text words;
    switch (orbit.outcome) {
    case Outcome::Stops: return stepCount(words << "stops: the guard stopped the map after ", orbit.steps);
    case Outcome::Cycle:
        (words << "a cycle of period ").whole(orbit.period) << ": ";
        sounding(words, orbit, stepsPerSecond, stepping);
        if (orbit.period > 1 && partials.loudest > 1)
            loudestLine(words, orbit.period, stepsPerSecond, stepping, partials);
        return words;
    case Outcome::Quasi:
    case Outcome::Chaos: break;
    }
    words << analysis::outcomeName(orbit.outcome) << ": ";
    if (orbit.roundingCycle) {
        (words << "a rounding cycle of period ").whole(orbit.period) << " (";
        sounding(words, orbit, stepsPerSecond, stepping)
            << ") that the map has only as an unstable cycle, or not at all; ";
    } else if (orbit.outcome == Outcome::Quasi) {
        (words << "no cycle up to period ").whole(analysis::kPeriodLimit) << ", ";
    }
    return exponent(words, orbit.lyapunov);
}

Text summarizeOrbit(const analysis::OrbitClass& orbit, double stepsPerSecond, Stepping stepping,
                    const analysis::Partials& partials, double resetHz)
{
    Text words;
    switch (orbit.outcome) {
    case Outcome::Stops:
        words << "silent: the map stops ";
        if (orbit.steps == 0) words << "at its first step";
        else groupedSteps(words << "after ", orbit.steps);
        return words << (resetHz > 0.0 ? ", each time the Reset clock restarts it" : " and waits for Reset");
    case Outcome::Cycle:
        if (orbit.constant()) return words << "silent: a constant level";
        if (faintFundamental(orbit, partials) && stepsPerSecond / orbit.period >= kLowestPitchHz)
            return faintUnderLoud(words, orbit.period, stepsPerSecond, stepping, partials);
        return heardCycle(words, orbit.period, stepsPerSecond, stepping);
    case Outcome::Quasi:
        // Floats that repeat exactly sound as steadily as any cycle.
        if (orbit.roundingCycle) return heardCycle(words, orbit.period, stepsPerSecond, stepping);
        if (stepsPerSecond < kLowestPitchHz) return words << "a line of steps that wanders and never quite repeats";
        return words << "a wavering tone that never quite repeats";
    case Outcome::Chaos: break;
    }
    // Steps slower than a pitch are heard one by one, as a line of values, not as noise.
    if (stepsPerSecond < kLowestPitchHz) {
        if (orbit.roundingCycle) return heardCycle(words, orbit.period, stepsPerSecond, stepping);
        return words << "a line of steps that never repeats, too slow to be heard as noise";
    }
    words << (orbit.lyapunov >= kRoughNoise ? "noise, rough" : "noise, smooth");
    if (!orbit.roundingCycle) return words;
    // The floats' exact repetition makes a loop of noise, heard as a buzz at the loop's rate.
    groupedSteps(words << ", looping every ", orbit.period) << ": a buzz at ";
    return groupedTone(words, orbit.period, stepsPerSecond, stepping);
}

Text describeChange(int64_t startSample, const analysis::OrbitClass& orbit, double sampleRate, double resetHz)
{
    Text words;
    changeStart(words, startSample, sampleRate);
    switch (orbit.outcome) {
    case Outcome::Stops:
        words << "stops";
        if (resetHz > 0.0) restartedBy(words << ", until ", resetHz) << " restarts it";
        return words;
    case Outcome::Cycle:
        (words << "a cycle of period ").whole(orbit.period) << ", ";
        if (orbit.constant()) return words << "a constant";
        return words << "a tone of " << toneText(orbit.period, sampleRate).c_str();
    case Outcome::Quasi:
    case Outcome::Chaos: break;
    }
    words << analysis::outcomeName(orbit.outcome) << ", ";
    if (orbit.roundingCycle) return (words << "a rounding cycle of period ").whole(orbit.period);
    return exponent(words, orbit.lyapunov);
}

Text summarizeChange(int64_t startSample, const analysis::OrbitClass& orbit, double sampleRate, double resetHz)
{
    Text words;
    return changeStart(words, startSample, sampleRate)
           << summarizeOrbit(orbit, sampleRate, Stepping::EverySample, {}, resetHz).c_str();
}

namespace {

// The changes heard before the take's map stopped for good.
size_t heardChanges(const std::vector<analysis::SoundChange>& changes, const PathTake& take)
{
    size_t heard = 0;
    while (heard < changes.size() && (take.stoppedAt < 0 || changes[heard].start <= take.stoppedAt)) ++heard;
    return heard;
}

Text& pathHeading(Text& words, const PathTake& take)
{
    words << "along the path";
    if (take.resetHz > 0.0) restartedBy(words << ", restarted by ", take.resetHz);
    return words << ": ";
}

}  // namespace

Text summarizePath(const std::vector<analysis::SoundChange>& changes, const PathTake& take)
{
    Text words;
    pathHeading(words, take);
    const size_t heard = heardChanges(changes, take);
    if (heard == 0) words << "too short to judge a window";
    for (size_t i = 0; i < std::min(heard, kShortPathChanges); ++i)
        words << (i ? "; " : "")
              << summarizeChange(changes[i].start, changes[i].orbit, take.sampleRate, take.resetHz).c_str();
    if (heard > kShortPathChanges)
        (words << "; and ").whole(static_cast<int64_t>(heard - kShortPathChanges))
            << (heard - kShortPathChanges == 1 ? " more change" : " more changes");
    if (take.stoppedAt < 0) return words;
    return changeStart(words << "; ", take.stoppedAt, take.sampleRate) << "silent, the map stopped itself";
}

Text describePath(const std::vector<analysis::SoundChange>& changes, const PathTake& take)
{
    Text words;
    pathHeading(words, take);
    const size_t heard = heardChanges(changes, take);
    if (heard == 0) words << "too short to judge a window";
    for (size_t i = 0; i < heard; ++i)
        words << (i ? "; " : "")
              << describeChange(changes[i].start, changes[i].orbit, take.sampleRate, take.resetHz).c_str();
    if (take.stoppedAt < 0) return words;
    return words << "; " << describeStop(take.stoppedAt, take.sampleRate, true, take.runsFrom).c_str();
}

Text unjudgedPath(bool inShort)
{
    Text words;
    words << " (at the LFOs' centres: ";
    if (inShort) return words << "a gated path is not judged along its ticks)";
    return words << "a gated take steps once a tick of its clock, too few steps along its path to judge it window "
                    "by window as a continuous take's path is judged)";
}

Text describeStop(int64_t stoppedAt, double sampleRate, bool moving, int64_t runsFrom)
{
    Text words;
    (words << "the map stopped itself at sample ").whole(stoppedAt) << " (";
    words.significant(static_cast<double>(stoppedAt) / sampleRate, 6) << " s): x and y stay exactly 0";
    if (!moving) return words;
    words << " until a reset";
    if (runsFrom < 0) return words;
    words << ", even where a and b come back to where the map sounds, from ";
    return words.significant(static_cast<double>(runsFrom) / sampleRate, 6) << " s";
}

}  // namespace verdict
