// How this project's hosts drive the module: the volt scale, the Gate clock,
// the Reset pulse, the limits they accept and the chart's grid. tessel-render and the
// WebAssembly host both drive it this way, so their takes and charts agree to
// the bit. Header only and free of the emulator, so the WebAssembly build can
// include it.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

namespace host {

// The signal scale: a pin's 1.0 is 10 V. Hosts read and report volts; the
// module sees and writes this scale.
constexpr double kVoltsPerUnit = 10.0;

// Input levels, in the signal scale.
constexpr float kGateHigh = 0.5f;    // 5 V
constexpr float kResetPulse = 0.5f;  // 5 V

// What a host here accepts, and what it takes unless asked otherwise.
constexpr int32_t kLeastRate = 1000;
constexpr int32_t kMostRate = 768000;
// The longest take tessel-render renders, and so the longest recording the explorer keeps.
constexpr double kMostTakeSeconds = 600.0;
constexpr int32_t kLeastBlock = 1;
constexpr int32_t kMostBlock = 65536;
constexpr int32_t kUsualRate = 44100;
constexpr int32_t kUsualBlock = 1024;
// The rates hosts commonly run at, slowest first: the explorer offers these.
constexpr int32_t kCommonRates[] = {22050, 44100, 48000, 88200, 96000};
constexpr int64_t kMostChartSteps = 1000000;  // map steps judged per chart point
constexpr int64_t kChartSteps = 8192;         // the same, unless asked otherwise
constexpr int32_t kLeastChartSide = 1;        // chart points across or up
constexpr int32_t kMostChartSide = 4096;

// The Gate clock a host here runs unless asked otherwise, and the fewest
// samples a period of it may span: one high and one low. So a clock is
// accepted above 0 Hz and at most at half the rate.
constexpr int32_t kUsualGateHz = 1000;
constexpr int32_t kLeastGatePeriod = 2;
inline double mostGateHz(int32_t sampleRate) { return static_cast<double>(sampleRate) / kLeastGatePeriod; }
inline bool acceptsGateHz(int32_t sampleRate, double hz) { return hz > 0.0 && hz <= mostGateHz(sampleRate); }

// One rounding, so 1.4 V and 0.3 V become the floats nearest 0.14 and 0.03,
// the values a host's own text-to-signal conversion gives for the pin defaults.
inline float signalFromVolts(double volts) { return static_cast<float>(volts / kVoltsPerUnit); }

// Whether two samples are the same to the module, which may tell any two bit
// patterns apart: -0 V is not 0 V here.
inline bool sameSample(float first, float second)
{
    return std::bit_cast<uint32_t>(first) == std::bit_cast<uint32_t>(second);
}

// The Gate clock: 5 V in the first half of each period, 0 V in the second,
// rising at sample 0. Exact in double for any take shorter than 2^53 / hz
// samples, so the clock never drifts.
inline float gateClockSample(int32_t sampleRate, double gateHz, int64_t sample)
{
    const double rate = sampleRate;
    const double phase = std::fmod(static_cast<double>(sample) * gateHz, rate);
    return phase < rate / 2.0 ? kGateHigh : 0.0f;
}

// Point i of `count` across [low, high] in volts, at the middle of its cell:
// the chart's grid, in one order of operations so that every host's floats agree.
inline double pointVolts(double low, double high, int32_t count, int32_t i)
{
    return low + (i + 0.5) * (high - low) / count;
}

}  // namespace host
