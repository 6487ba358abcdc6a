#include "host/session/signals/signal.h"

#include <cmath>

#include "host/session/drive.h"
#include "numbers/read.h"
#include "numbers/write.h"

namespace host {

namespace {

using numbers::decimalText;
using numbers::generalText;
using numbers::readNumber;

bool finiteSample(double volts) { return std::isfinite(signalFromVolts(volts)); }

std::string quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

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
            refuse(" reaches " + generalText(volts) + " V, too large for a 32-bit sample");
    }

private:
    std::string_view whole;
    const SignalTake& take;
    std::string problem;
};

SignalParse refused(std::string error) { return {Signal{}, std::move(error)}; }

// The shapes a text names before its first ':'.
constexpr SignalShape kNamedShapes[] = {SignalShape::Sine, SignalShape::Triangle, SignalShape::Square,
                                        SignalShape::Saw,  SignalShape::Ramp,     SignalShape::Steps};

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
    return {Signal::wave(shape, centre, depth, hz, phase, take.sampleRate), "", shape, {centre, depth, hz, phase}};
}

SignalParse parseRamp(const std::vector<std::string_view>& fields, std::string_view text, const SignalTake& take)
{
    if (fields.size() != 3) return refused(quoted(text) + " is malformed: give ramp:FROM:TO");
    FieldReader reader(text, take);
    const double from = reader.volts(fields[1], "FROM");
    const double to = reader.volts(fields[2], "TO");
    if (reader.failed()) return refused(reader.error());
    return {Signal::ramp(from, to, take.samples), "", SignalShape::Ramp};
}

SignalParse parseSteps(const std::vector<std::string_view>& fields, std::string_view text, const SignalTake& take)
{
    const std::vector<std::string_view> halves = fields.size() == 2 ? split(fields[1], '@')
                                                                    : std::vector<std::string_view>{};
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
    return {Signal::steps(volts, hz, take.sampleRate), "", SignalShape::Steps};
}

}  // namespace

const char* signalShapeName(SignalShape shape)
{
    switch (shape) {
    case SignalShape::Constant: return "volts";
    case SignalShape::Sine: return "sine";
    case SignalShape::Triangle: return "triangle";
    case SignalShape::Square: return "square";
    case SignalShape::Saw: return "saw";
    case SignalShape::Ramp: return "ramp";
    case SignalShape::Steps: return "steps";
    }
    return "";
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
    for (const SignalShape named : kNamedShapes) {
        if (shape != signalShapeName(named)) continue;
        if (named == SignalShape::Ramp) return parseRamp(fields, text, take);
        if (named == SignalShape::Steps) return parseSteps(fields, text, take);
        return parseWave(named, fields, text, take);
    }
    return refused(quoted(text) + " has an unknown shape " + quoted(shape) + ": give " + kSignalGrammar);
}

ResetClockParse parseResetClock(std::string_view text, int32_t sampleRate)
{
    double hz = 0.0;
    const std::string why = readNumber(text, hz);
    if (!why.empty()) return {ResetClock{}, why};
    const double highest = sampleRate / 2.0;
    if (!(hz > 0.0 && hz <= highest))
        return {ResetClock{}, std::string(text) + " is out of range: give more than 0 and at most half the rate, " +
                                  decimalText(highest) + " Hz"};
    return {ResetClock(sampleRate, hz), ""};
}

}  // namespace host
