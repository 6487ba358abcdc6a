#include "host/session/signals/signal.h"

#include <algorithm>

#include "host/session/drive.h"

namespace host {

namespace {

constexpr double kUnitsPerHz = 4294967296.0;  // 2^32 phase units per cycle per Hz of rate
// A wave's samples are worked out from its phase at each multiple of this
// many samples of the take, turned on from there.
constexpr int32_t kWaveSpan = 256;

// The nearest whole number to x, halves up; x from 0 to below 2^52, exactly.
uint64_t nearestWhole(double x)
{
    const auto whole = static_cast<uint64_t>(x);
    return x - static_cast<double>(whole) >= 0.5 ? whole + 1 : whole;
}

// (a * b) mod (cycles * 2^32) for b below that modulus and cycles below
// 2^31, with no product wider than 64 bits: split b as bHigh * 2^32 + bLow
// and a as aHigh * 2^32 + aLow, then a * b = 2^32 * (a * bHigh + aHigh * bLow
// + high(aLow * bLow)) + low(aLow * bLow).
uint64_t productModulo(uint64_t a, uint64_t b, uint64_t cycles)
{
    const uint64_t bHigh = b >> 32, bLow = b & 0xFFFFFFFFu;
    const uint64_t aHigh = a >> 32, aLow = a & 0xFFFFFFFFu;
    const uint64_t lowProduct = aLow * bLow;
    const uint64_t high = (a % cycles * bHigh % cycles + (aHigh * bLow + (lowProduct >> 32)) % cycles) % cycles;
    return (high << 32) + (lowProduct & 0xFFFFFFFFu);
}

// sin(pi/2 * x) for x from 0 to 1: the odd polynomial of degree 13 through
// the points x = cos(j * pi / 14), j = 0 to 6. Within 8e-14 of sine, rising,
// and just below 1 at x = 1.
double quarterSine(double x)
{
    const double x2 = x * x;
    double sum = 5.430375787977895e-08;
    sum = sum * x2 + -3.5946599562424874e-06;
    sum = sum * x2 + 0.0001604377445153679;
    sum = sum * x2 + -0.004681752605375779;
    sum = sum * x2 + 0.07969262589312764;
    sum = sum * x2 + -0.6459640974698633;
    sum = sum * x2 + 1.5707963267937943;
    return sum * x;
}

}  // namespace

Signal Signal::constant(double volts)
{
    Signal signal;
    signal.level = signalFromVolts(volts);
    return signal;
}

Signal Signal::wave(SignalShape shape, double centre, double depth, double hz, double phase, int32_t sampleRate)
{
    Signal signal = constant(centre);
    if (depth == 0.0 || sameSample(signalFromVolts(centre + depth), signalFromVolts(centre - depth))) return signal;
    signal.form = shape;
    signal.centre = centre / kVoltsPerUnit;
    signal.depth = depth / kVoltsPerUnit;
    signal.unitsPerCycle = static_cast<uint64_t>(sampleRate) << 32;
    signal.unitsPerSample = nearestWhole(hz * kUnitsPerHz);
    signal.startUnits = nearestWhole(phase * static_cast<double>(signal.unitsPerCycle)) % signal.unitsPerCycle;
    const uint64_t quarter = signal.unitsPerCycle / 4;
    for (int32_t j = 0; j < kWaveSpan; ++j) {
        const uint64_t turn = productModulo(static_cast<uint64_t>(j), signal.unitsPerSample, sampleRate);
        if (shape != SignalShape::Sine) {
            signal.turnUnits.push_back(static_cast<double>(turn));
            continue;
        }
        signal.turnSine.push_back(signal.sineAt(turn));
        signal.turnCosine.push_back(signal.sineAt((turn + quarter) % signal.unitsPerCycle));
    }
    return signal;
}

Signal Signal::ramp(double from, double to, int64_t takeSamples)
{
    Signal signal = constant(from);
    if (takeSamples < 2 || sameSample(signal.level, signalFromVolts(to))) return signal;
    signal.form = SignalShape::Ramp;
    signal.from = from;
    signal.to = to;
    signal.lastSample = takeSamples - 1;
    return signal;
}

Signal Signal::steps(const std::vector<double>& volts, double hz, int32_t sampleRate)
{
    Signal signal = constant(volts.front());
    bool differ = false;
    for (double value : volts) differ = differ || !sameSample(signalFromVolts(value), signal.level);
    if (!differ) return signal;
    signal.form = SignalShape::Steps;
    for (double value : volts) signal.stepSamples.push_back(signalFromVolts(value));
    signal.unitsPerCycle = static_cast<uint64_t>(sampleRate) << 32;
    signal.unitsPerSample = nearestWhole(hz * kUnitsPerHz);
    return signal;
}

// Where the sample falls in the loop: in units from the start of a wave's
// cycle, or of a sequencer's first step.
uint64_t Signal::unitsAt(int64_t sample) const
{
    const uint64_t cycles = (unitsPerCycle >> 32) * (form == SignalShape::Steps ? stepSamples.size() : 1u);
    const uint64_t loop = cycles << 32;
    const uint64_t units = productModulo(static_cast<uint64_t>(sample), unitsPerSample, cycles) + startUnits;
    return units >= loop ? units - loop : units;
}

// A wave at sample anchor + j, the anchor a multiple of kWaveSpan: its shape
// at the anchor's phase plus the turn of j samples, wrapped into the cycle.
// The phases are whole numbers of units below 2^53 (a cycle is at most
// 768000 * 2^32 units), so adding and wrapping them in doubles is exact, and
// no sample waits on another.
template <class Shape>
void Signal::fillWave(float* out, int32_t count, int64_t start, Shape shapeAt) const
{
    const double cycle = static_cast<double>(unitsPerCycle);
    const uint64_t spanUnits = productModulo(kWaveSpan, unitsPerSample, unitsPerCycle >> 32);
    int64_t anchor = start - start % kWaveSpan;
    uint64_t units = unitsAt(anchor);
    for (int32_t done = 0; done < count; anchor += kWaveSpan) {
        const double phase = static_cast<double>(units);
        const auto first = static_cast<int32_t>(start + done - anchor);
        const int32_t last = static_cast<int32_t>(std::min<int64_t>(kWaveSpan, start + count - anchor));
        float* at = out + done - first;
        const double* turns = turnUnits.data();
        for (int32_t j = first; j < last; ++j) {
            const double turned = phase + turns[j];
            at[j] = static_cast<float>(centre + depth * shapeAt(turned >= cycle ? turned - cycle : turned));
        }
        done += last - first;
        units += spanUnits;
        if (units >= unitsPerCycle) units -= unitsPerCycle;
    }
}

// The sine at a phase, from the quarter cycle's polynomial.
double Signal::sineAt(uint64_t units) const
{
    const uint64_t half = unitsPerCycle / 2;
    const bool falling = units >= half;  // the second half mirrors the first below the centre
    const uint64_t inHalf = falling ? units - half : units;
    const double value = quarterSine(static_cast<double>(std::min(inHalf, half - inHalf)) /
                                     (static_cast<double>(unitsPerCycle) / 4.0));
    return falling ? -value : value;
}

// The sine at sample anchor + j is sin(p + t) = sin p cos t + cos p sin t,
// p the anchor's phase and t the turn of j samples: two sines a span, then
// three operations a sample.
void Signal::fillSine(float* out, int32_t count, int64_t start) const
{
    const uint64_t quarter = unitsPerCycle / 4;
    const uint64_t spanUnits = productModulo(kWaveSpan, unitsPerSample, unitsPerCycle >> 32);
    int64_t anchor = start - start % kWaveSpan;
    uint64_t units = unitsAt(anchor);
    for (int32_t done = 0; done < count; anchor += kWaveSpan) {
        const uint64_t ahead = units + quarter;
        const double sine = sineAt(units), cosine = sineAt(ahead < unitsPerCycle ? ahead : ahead - unitsPerCycle);
        const auto first = static_cast<int32_t>(start + done - anchor);
        const int32_t last = static_cast<int32_t>(std::min<int64_t>(kWaveSpan, start + count - anchor));
        float* at = out + done - first;
        const double *turnSines = turnSine.data(), *turnCosines = turnCosine.data();
        for (int32_t j = first; j < last; ++j)
            at[j] = static_cast<float>(centre + depth * (sine * turnCosines[j] + cosine * turnSines[j]));
        done += last - first;
        units += spanUnits;
        if (units >= unitsPerCycle) units -= unitsPerCycle;
    }
}

void Signal::fillRamp(float* out, int32_t count, int64_t start) const
{
    const double perSample = 1.0 / static_cast<double>(lastSample);
    const double first = from / kVoltsPerUnit, last = to / kVoltsPerUnit;
    const double origin = static_cast<double>(start);  // whole numbers below 2^53 add exactly
    const auto sloped = static_cast<int32_t>(std::clamp<int64_t>(lastSample - start, 0, count));
    for (int32_t i = 0; i < sloped; ++i) {
        const double t = (origin + i) * perSample;
        out[i] = static_cast<float>(first * (1.0 - t) + last * t);
    }
    std::fill(out + sloped, out + count, signalFromVolts(to));
}

// Each step's run of samples at once.
void Signal::fillSteps(float* out, int32_t count, int64_t start) const
{
    const uint64_t position = unitsAt(start);
    size_t step = static_cast<size_t>(position / unitsPerCycle);
    uint64_t units = position % unitsPerCycle;
    for (int32_t done = 0; done < count;) {
        const uint64_t left = (unitsPerCycle - units + unitsPerSample - 1) / unitsPerSample;
        const auto run = static_cast<int32_t>(std::min<uint64_t>(left, static_cast<uint64_t>(count - done)));
        std::fill_n(out + done, run, stepSamples[step]);
        done += run;
        units += static_cast<uint64_t>(run) * unitsPerSample;
        if (units >= unitsPerCycle) {
            units -= unitsPerCycle;
            step = step + 1 == stepSamples.size() ? 0 : step + 1;
        }
    }
}

void Signal::fill(float* out, int32_t count, int64_t start) const
{
    const double whole = static_cast<double>(unitsPerCycle), half = whole / 2, quarter = whole / 4;
    const double perWhole = 1.0 / whole, perQuarter = 4.0 / whole;
    switch (form) {
    case SignalShape::Constant: std::fill_n(out, count, level); return;
    case SignalShape::Sine: return fillSine(out, count, start);
    case SignalShape::Triangle:
        return fillWave(out, count, start, [=](double units) {
            const double rise = units <= quarter ? units : units <= 3 * quarter ? half - units : units - whole;
            return rise * perQuarter;
        });
    case SignalShape::Square:
        return fillWave(out, count, start, [=](double units) { return units < half ? 1.0 : -1.0; });
    case SignalShape::Saw:
        return fillWave(out, count, start, [=](double units) { return (2 * units - whole) * perWhole; });
    case SignalShape::Ramp: return fillRamp(out, count, start);
    case SignalShape::Steps: return fillSteps(out, count, start);
    }
}

float Signal::sampleAt(int64_t sample) const
{
    float value = 0.0f;
    fill(&value, 1, sample);
    return value;
}

bool ResetClock::pulsesAt(int64_t sample) const
{
    const auto high = [this](int64_t at) { return gateClockSample(rate, clockHz, at) != 0.0f; };
    return high(sample) && (sample == 0 || !high(sample - 1));
}

void ResetClock::fill(float* out, int32_t count, int64_t start) const
{
    bool wasHigh = start > 0 && gateClockSample(rate, clockHz, start - 1) != 0.0f;
    for (int32_t i = 0; i < count; ++i) {
        const bool high = gateClockSample(rate, clockHz, start + i) != 0.0f;
        out[i] = high && !wasHigh ? kResetPulse : 0.0f;
        wasHigh = high;
    }
}

}  // namespace host
