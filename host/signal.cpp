#include "host/signal.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/drive.h"

namespace host {

const char kSignalGrammar[] =
    "VOLTS, SHAPE:CENTRE:DEPTH:HZ[:PHASE] with SHAPE sine, triangle, square or saw, ramp:FROM:TO, "
    "or steps:V1,V2,...@HZ";

namespace {

constexpr double kUnitsPerHz = 4294967296.0;  // 2^32 phase units per cycle per Hz of rate

// The nearest whole number to x, halves up; x from 0 to below 2^52, exactly.
uint64_t nearestWhole(double x)
{
    const auto whole = static_cast<uint64_t>(x);
    return x - static_cast<double>(whole) >= 0.5 ? whole + 1 : whole;
}

// (a * b) mod m for b < m, by doubling, as the product can need more than 64 bits.
uint64_t productModulo(uint64_t a, uint64_t b, uint64_t m)
{
    uint64_t result = 0;
    for (int bit = 63; bit >= 0; --bit) {
        result = result >= m - result ? result - (m - result) : result + result;
        if ((a >> bit) & 1u) result = result >= m - b ? result - (m - b) : result + b;
    }
    return result;
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

bool sameBits(float first, float second) { return std::memcmp(&first, &second, sizeof first) == 0; }

bool finiteSample(double volts) { return std::isfinite(signalFromVolts(volts)); }

// A number for a message: plain decimals, no exponent, no trailing zeros.
std::string decimalText(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", value);
    std::string decimals = text;
    decimals.erase(decimals.find_last_not_of('0') + 1);
    if (decimals.back() == '.') decimals.pop_back();
    return decimals;
}

std::string voltsText(double volts)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", volts);
    return text;
}

std::string quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

// A whole text as one finite number, as the tool reads every number; an
// empty result, or what is wrong with it.
std::string readNumber(std::string_view text, double& value)
{
    const std::string copy(text);
    char* end = nullptr;
    errno = 0;
    value = std::strtod(copy.c_str(), &end);
    if (copy.empty() || end == copy.c_str() || *end != '\0') return quoted(text) + " is not a number";
    if (!std::isfinite(value) || errno == ERANGE) return quoted(text) + " is not a finite number";
    return "";
}

std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    for (size_t begin = 0;;) {
        const size_t end = text.find(separator, begin);
        parts.push_back(text.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin));
        if (end == std::string_view::npos) return parts;
        begin = end + 1;
    }
}

// Reads the fields of one signal's text; the first problem found is kept,
// prefixed with the whole text.
class FieldReader {
public:
    FieldReader(std::string_view text, const SignalTake& take) : whole(text), take(take) {}

    bool failed() const { return !problem.empty(); }
    const std::string& error() const { return problem; }

    void refuse(const std::string& why)
    {
        if (problem.empty()) problem = quoted(whole) + why;
    }

    double number(std::string_view field, const std::string& name)
    {
        double value = 0.0;
        const std::string why = readNumber(field, value);
        if (!why.empty()) refuse(": " + name + " " + why);
        return value;
    }

    double frequency(std::string_view field)
    {
        const double hz = number(field, "HZ");
        const double highest = take.sampleRate / 2.0;
        if (!failed() && !(hz >= kLeastSignalHz && hz <= highest))
            refuse(": HZ " + std::string(field) + " is out of range: give " + decimalText(kLeastSignalHz) +
                   " to half the rate, " + decimalText(highest) + " Hz");
        return hz;
    }

    double volts(std::string_view field, const std::string& name)
    {
        const double value = number(field, name);
        if (!failed() && !finiteSample(value))
            refuse(": " + name + " " + std::string(field) + " V is too large for a 32-bit sample");
        return value;
    }

    void reaches(double volts)
    {
        if (!failed() && !finiteSample(volts))
            refuse(" reaches " + voltsText(volts) + " V, too large for a 32-bit sample");
    }

private:
    std::string_view whole;
    const SignalTake& take;
    std::string problem;
};

SignalParse refused(std::string error) { return {Signal{}, std::move(error)}; }

SignalParse parseWave(SignalShape shape, const std::vector<std::string_view>& fields, std::string_view text,
                      const SignalTake& take)
{
    FieldReader reader(text, take);
    if (fields.size() != 4 && fields.size() != 5)
        return refused(quoted(text) + " is malformed: give " + std::string(fields[0]) + ":CENTRE:DEPTH:HZ[:PHASE]");
    const double centre = reader.number(fields[1], "CENTRE");
    const double depth = reader.number(fields[2], "DEPTH");
    const double hz = reader.frequency(fields[3]);
    const double phase = fields.size() == 5 ? reader.number(fields[4], "PHASE") : 0.0;
    if (!reader.failed() && !(phase >= 0.0 && phase <= 1.0))
        reader.refuse(": PHASE " + std::string(fields[4]) + " is out of range: give 0 to 1 cycles");
    reader.reaches(centre + depth);
    reader.reaches(centre - depth);
    if (reader.failed()) return refused(reader.error());
    return {Signal::wave(shape, centre, depth, hz, phase, take.sampleRate), ""};
}

SignalParse parseRamp(const std::vector<std::string_view>& fields, std::string_view text, const SignalTake& take)
{
    if (fields.size() != 3) return refused(quoted(text) + " is malformed: give ramp:FROM:TO");
    FieldReader reader(text, take);
    const double from = reader.volts(fields[1], "FROM");
    const double to = reader.volts(fields[2], "TO");
    if (reader.failed()) return refused(reader.error());
    return {Signal::ramp(from, to, take.samples), ""};
}

SignalParse parseSteps(const std::vector<std::string_view>& fields, std::string_view text, const SignalTake& take)
{
    const std::vector<std::string_view> halves = fields.size() == 2 ? split(fields[1], '@') : std::vector<std::string_view>{};
    if (halves.size() != 2) return refused(quoted(text) + " is malformed: give steps:V1,V2,...@HZ");
    const std::vector<std::string_view> values = split(halves[0], ',');
    if (values.size() > static_cast<size_t>(kMostSteps))
        return refused(quoted(text) + " has " + std::to_string(values.size()) + " steps: give at most " +
                       std::to_string(kMostSteps));
    FieldReader reader(text, take);
    std::vector<double> volts;
    for (size_t i = 0; i < values.size() && !reader.failed(); ++i)
        volts.push_back(reader.volts(values[i], "V" + std::to_string(i + 1)));
    const double hz = reader.frequency(halves[1]);
    if (reader.failed()) return refused(reader.error());
    return {Signal::steps(volts, hz, take.sampleRate), ""};
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
    if (depth == 0.0 || sameBits(signalFromVolts(centre + depth), signalFromVolts(centre - depth))) return signal;
    signal.form = shape;
    signal.centre = centre;
    signal.depth = depth;
    signal.unitsPerCycle = static_cast<uint64_t>(sampleRate) << 32;
    signal.unitsPerSample = nearestWhole(hz * kUnitsPerHz);
    signal.startUnits = nearestWhole(phase * static_cast<double>(signal.unitsPerCycle)) % signal.unitsPerCycle;
    return signal;
}

Signal Signal::ramp(double from, double to, int64_t takeSamples)
{
    Signal signal = constant(from);
    if (takeSamples < 2 || sameBits(signal.level, signalFromVolts(to))) return signal;
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
    for (double value : volts) differ = differ || !sameBits(signalFromVolts(value), signal.level);
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
    const uint64_t loop = unitsPerCycle * (form == SignalShape::Steps ? stepSamples.size() : 1u);
    const uint64_t units = productModulo(static_cast<uint64_t>(sample), unitsPerSample, loop) + startUnits;
    return units >= loop ? units - loop : units;
}

template <class Shape>
void Signal::fillWave(float* out, int32_t count, int64_t start, Shape shapeAt) const
{
    uint64_t units = unitsAt(start);
    for (int32_t i = 0; i < count; ++i) {
        out[i] = signalFromVolts(centre + depth * shapeAt(units));
        units += unitsPerSample;
        if (units >= unitsPerCycle) units -= unitsPerCycle;
    }
}

void Signal::fillRamp(float* out, int32_t count, int64_t start) const
{
    const double span = static_cast<double>(lastSample);
    const float end = signalFromVolts(to);
    for (int32_t i = 0; i < count; ++i) {
        const int64_t sample = start + i;
        const double t = static_cast<double>(sample) / span;
        out[i] = sample >= lastSample ? end : signalFromVolts(from * (1.0 - t) + to * t);
    }
}

void Signal::fillSteps(float* out, int32_t count, int64_t start) const
{
    const uint64_t position = unitsAt(start);
    size_t step = static_cast<size_t>(position / unitsPerCycle);
    uint64_t units = position % unitsPerCycle;
    for (int32_t i = 0; i < count; ++i) {
        out[i] = stepSamples[step];
        units += unitsPerSample;
        if (units >= unitsPerCycle) {
            units -= unitsPerCycle;
            step = step + 1 == stepSamples.size() ? 0 : step + 1;
        }
    }
}

void Signal::fill(float* out, int32_t count, int64_t start) const
{
    const uint64_t whole = unitsPerCycle, half = whole / 2, quarter = whole / 4;
    const double quarterUnits = static_cast<double>(quarter);
    switch (form) {
    case SignalShape::Constant:
        for (int32_t i = 0; i < count; ++i) out[i] = level;
        return;
    case SignalShape::Sine:
        return fillWave(out, count, start, [=](uint64_t units) {
            const bool falling = units >= half;  // the second half mirrors the first below the centre
            if (falling) units -= half;
            if (units > quarter) units = half - units;
            const double value = quarterSine(static_cast<double>(units) / quarterUnits);
            return falling ? -value : value;
        });
    case SignalShape::Triangle:
        return fillWave(out, count, start, [=](uint64_t units) {
            const auto signedUnits = static_cast<int64_t>(units);
            const int64_t rise = units <= quarter         ? signedUnits
                                 : units <= 3 * quarter   ? static_cast<int64_t>(half) - signedUnits
                                                          : signedUnits - static_cast<int64_t>(whole);
            return static_cast<double>(rise) / quarterUnits;
        });
    case SignalShape::Square:
        return fillWave(out, count, start, [=](uint64_t units) { return units < half ? 1.0 : -1.0; });
    case SignalShape::Saw:
        return fillWave(out, count, start, [=](uint64_t units) {
            return static_cast<double>(static_cast<int64_t>(2 * units) - static_cast<int64_t>(whole)) /
                   static_cast<double>(whole);
        });
    case SignalShape::Ramp:
        return fillRamp(out, count, start);
    case SignalShape::Steps:
        return fillSteps(out, count, start);
    }
}

float Signal::sampleAt(int64_t sample) const
{
    float value = 0.0f;
    fill(&value, 1, sample);
    return value;
}

SignalParse parseSignal(std::string_view text, const SignalTake& take)
{
    if (text.find(':') == std::string_view::npos) {
        double volts = 0.0;
        const std::string why = readNumber(text, volts);
        if (!why.empty()) return refused(why + ": give " + kSignalGrammar);
        if (!finiteSample(volts)) return refused(std::string(text) + " V is too large for a 32-bit sample");
        return {Signal::constant(volts), ""};
    }
    const std::vector<std::string_view> fields = split(text, ':');
    const std::string_view shape = fields[0];
    if (shape == "sine") return parseWave(SignalShape::Sine, fields, text, take);
    if (shape == "triangle") return parseWave(SignalShape::Triangle, fields, text, take);
    if (shape == "square") return parseWave(SignalShape::Square, fields, text, take);
    if (shape == "saw") return parseWave(SignalShape::Saw, fields, text, take);
    if (shape == "ramp") return parseRamp(fields, text, take);
    if (shape == "steps") return parseSteps(fields, text, take);
    return refused(quoted(text) + " has an unknown shape " + quoted(shape) + ": give " + kSignalGrammar);
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

ResetClockParse parseResetClock(std::string_view text, int32_t sampleRate)
{
    double hz = 0.0;
    const std::string why = readNumber(text, hz);
    if (!why.empty()) return {ResetClock{}, why};
    const double highest = sampleRate / 2.0;
    if (!(hz > 0.0 && hz <= highest))
        return {ResetClock{},
                std::string(text) + " is out of range: give more than 0 and at most half the rate, " +
                    decimalText(highest) + " Hz"};
    return {ResetClock(sampleRate, hz), ""};
}

}  // namespace host
