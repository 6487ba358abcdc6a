#include "words.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace verdict {

using analysis::Outcome;

namespace {

// Three significant digits, written out in full: "66.7", "0.000195", "11000".
std::string threeDigits(double value)
{
    char text[48];
    std::snprintf(text, sizeof text, "%.3g", value);
    if (std::strchr(text, 'e')) std::snprintf(text, sizeof text, "%.0f", std::strtod(text, nullptr));
    return text;
}

std::string exponentText(double lyapunov)
{
    char text[64];
    std::snprintf(text, sizeof text, "largest Lyapunov exponent %.6f per step", lyapunov);
    return text;
}

}  // namespace

std::string toneText(int32_t period, double stepsPerSecond, Stepping stepping)
{
    const double hz = stepsPerSecond / period;
    if (stepping == Stepping::GateClock) return threeDigits(hz) + " Hz";
    char text[48];
    std::snprintf(text, sizeof text, "%.0f Hz", hz);
    return text;
}

std::string describeOrbit(const analysis::OrbitClass& orbit, double stepsPerSecond, Stepping stepping)
{
    const std::string period = std::to_string(orbit.period);
    // What the cycle sounds like and from when: "a tone of 11025 Hz from step 31".
    const auto sounding = [&] {
        const std::string sound =
            orbit.period == 1 ? "a constant" : "a tone of " + toneText(orbit.period, stepsPerSecond, stepping);
        return sound + " from step " + std::to_string(orbit.settle);
    };
    switch (orbit.outcome) {
    case Outcome::Stops:
        return "stops: the guard stopped the map after " + std::to_string(orbit.steps) + " iterates";
    case Outcome::Cycle:
        return "a cycle of period " + period + ": " + sounding();
    case Outcome::Quasi:
    case Outcome::Chaos:
        break;
    }
    const std::string name = analysis::outcomeName(orbit.outcome);
    if (orbit.roundingCycle)
        return name + ": a rounding cycle of period " + period + " (" + sounding() +
               ") that the map has only as an unstable cycle, or not at all; " + exponentText(orbit.lyapunov);
    if (orbit.outcome == Outcome::Quasi)
        return name + ": no cycle up to period " + std::to_string(analysis::kPeriodLimit) + ", " +
               exponentText(orbit.lyapunov);
    return name + ": " + exponentText(orbit.lyapunov);
}

}  // namespace verdict
