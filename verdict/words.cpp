#include "words.h"

namespace verdict {

using analysis::Outcome;

namespace {

// What a cycle sounds like and from when: "a tone of 11025 Hz from step 31".
Text& sounding(Text& words, const analysis::OrbitClass& orbit, double stepsPerSecond, Stepping stepping)
{
    if (orbit.period == 1) words << "a constant";
    else words << "a tone of " << toneText(orbit.period, stepsPerSecond, stepping).c_str();
    return (words << " from step ").whole(orbit.settle);
}

Text& exponent(Text& words, double lyapunov)
{
    return (words << "largest Lyapunov exponent ").fixed(lyapunov, 6) << " per step";
}

}  // namespace

Text toneText(int32_t period, double stepsPerSecond, Stepping stepping)
{
    const double hz = stepsPerSecond / period;
    Text words;
    if (stepping == Stepping::GateClock) words.threeDigits(hz);
    else words.fixed(hz, 0);
    return words << " Hz";
}

Text describeOrbit(const analysis::OrbitClass& orbit, double stepsPerSecond, Stepping stepping)
{
    Text words;
    switch (orbit.outcome) {
    case Outcome::Stops:
        return (words << "stops: the guard stopped the map after ").whole(orbit.steps) << " iterates";
    case Outcome::Cycle:
        (words << "a cycle of period ").whole(orbit.period) << ": ";
        return sounding(words, orbit, stepsPerSecond, stepping);
    case Outcome::Quasi:
    case Outcome::Chaos:
        break;
    }
    words << analysis::outcomeName(orbit.outcome) << ": ";
    if (orbit.roundingCycle) {
        (words << "a rounding cycle of period ").whole(orbit.period) << " (";
        sounding(words, orbit, stepsPerSecond, stepping) << ") that the map has only as an unstable cycle, or not at all; ";
    } else if (orbit.outcome == Outcome::Quasi) {
        (words << "no cycle up to period ").whole(analysis::kPeriodLimit) << ", ";
    }
    return exponent(words, orbit.lyapunov);
}

Text describeChange(int64_t startSample, const analysis::OrbitClass& orbit, double sampleRate)
{
    Text words;
    (words << "from ").fixed(static_cast<double>(startSample) / sampleRate, 3) << " s: ";
    switch (orbit.outcome) {
    case Outcome::Stops:
        return words << "stops";
    case Outcome::Cycle:
        (words << "a cycle of period ").whole(orbit.period) << ", ";
        if (orbit.period == 1) return words << "a constant";
        return words << "a tone of " << toneText(orbit.period, sampleRate).c_str();
    case Outcome::Quasi:
    case Outcome::Chaos:
        break;
    }
    words << analysis::outcomeName(orbit.outcome) << ", ";
    if (orbit.roundingCycle) return (words << "a rounding cycle of period ").whole(orbit.period);
    return exponent(words, orbit.lyapunov);
}

Text describeStop(int64_t stoppedAt, double sampleRate, bool moving, int64_t runsFrom)
{
    Text words;
    (words << "the map stopped itself at sample ").whole(stoppedAt) << " (";
    words.significant(static_cast<double>(stoppedAt) / sampleRate, 6) << " s): x and y stay exactly 0";
    if (!moving) return words;
    words << " until a reset";
    if (runsFrom < 0) return words;
    words << ", even where a and b come back into the island, from ";
    return words.significant(static_cast<double>(runsFrom) / sampleRate, 6) << " s";
}

}  // namespace verdict
