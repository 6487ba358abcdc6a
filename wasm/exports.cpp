// The functions JavaScript calls (web/engine/tessel.js wraps them). Every one runs on
// the WebAssembly instance's one thread. A handle is a HostedMap the caller got
// from tessel_new and gives back to tessel_free once, or a PointJudge from
// tessel_judge_new for tessel_judge_free; null handles are ignored. Texts are
// NUL-terminated ASCII.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/orbit_analysis.h"
#include "host/session/drive.h"
#include "host/session/volts_text.h"
#include "point_judge.h"
#include "verdict/colours.h"
#include "verdict/figures.h"
#include "verdict/text.h"
#include "verdict/words.h"
#include "json.h"
#include "web_host.h"

#define WEB_EXPORT(name) extern "C" __attribute__((export_name(name)))

using web::HostedMap;
using web::PointJudge;
using web::PointVerdict;
using web::packed;
using web::unpacked;
using web::writeString;

namespace {

// The limits the page checks its arguments against, with what it takes unless told.
struct Limit {
    const char* name;
    int64_t least, most;
    const char* otherwise;  // the name of the value taken unless told, or null
    int64_t value;
};

constexpr Limit kLimits[] = {
    {"rate", host::kLeastRate, host::kMostRate, "usual", host::kUsualRate},
    {"block", host::kLeastBlock, host::kMostBlock, "usual", host::kUsualBlock},
    {"steps", analysis::kLeastStepsToClassify, host::kMostChartSteps, "chart", host::kChartSteps},
    {"chartSide", host::kLeastChartSide, host::kMostChartSide, nullptr, 0},
};

// The facts the page takes from here rather than keeping copies: the volt
// scale, the limits, the Gate clock's rule, the rates hosts commonly run at,
// the outcomes' names in code order, the longest cycle the analysis looks for
// and the verdict record's layout.
verdict::Text factsJson()
{
    verdict::Text json;
    (json << "{\"voltsPerUnit\":").whole(static_cast<int64_t>(host::kVoltsPerUnit));
    (json << ",\"gateHz\":{\"above\":0,\"leastPeriod\":").whole(host::kLeastGatePeriod);
    (json << ",\"usual\":").whole(host::kUsualGateHz) << "}";
    json << ",\"commonRates\":[";
    for (const int32_t rate : host::kCommonRates) (json << (rate == host::kCommonRates[0] ? "" : ",")).whole(rate);
    json << "]";
    for (const Limit& limit : kLimits) {
        (json << ",\"" << limit.name << "\":{\"least\":").whole(limit.least);
        (json << ",\"most\":").whole(limit.most);
        if (limit.otherwise) (json << ",\"" << limit.otherwise << "\":").whole(limit.value);
        json << "}";
    }
    json << ",\"outcomes\":[";
    for (int32_t code = 0; code <= static_cast<int32_t>(analysis::Outcome::Chaos); ++code)
        json << (code ? ",\"" : "\"") << analysis::outcomeName(static_cast<analysis::Outcome>(code)) << "\"";
    (json << "],\"periodLimit\":").whole(analysis::kPeriodLimit);
    (json << ",\"verdict\":{\"size\":").whole(sizeof(PointVerdict)) << ",\"fields\":[";
    for (const web::VerdictField& field : web::kVerdictFields) {
        (json << (&field == web::kVerdictFields ? "{" : ",{") << "\"name\":\"" << field.name << "\",\"offset\":")
            .whole(static_cast<int64_t>(field.offset));
        json << ",\"type\":\"" << (field.isDouble ? "float64" : "int32") << "\"}";
    }
    json << "]}";
    const std::pair<const char*, verdict::Colour> colours[] = {
        {"background", verdict::kPlotBackground}, {"frame", verdict::kFrame}, {"dimText", verdict::kDimText},
        {"zeroLine", verdict::kZeroLine},         {"xTrace", verdict::kXTrace}, {"yTrace", verdict::kYTrace}};
    json << ",\"pictureColours\":{";
    for (const auto& [name, colour] : colours)
        (json << (name == colours[0].first ? "\"" : ",\"") << name << "\":").whole(packed(colour));
    json << "}}";
    return json;
}

// What the module declares, read through GetPinProperties as any host reads
// it, from an instance made for the purpose. The texts are the module's own
// and outlive the instance.
const std::vector<sep::PinProperties>& declarations()
{
    static const std::vector<sep::PinProperties> pins = [] {
        web::LinkedInstance instance;
        return instance.valid() && instance.connect(1) ? instance.declarations()
                                                       : std::vector<sep::PinProperties>{};
    }();
    return pins;
}

const char* directionName(int32_t direction)
{
    switch (direction) {
    case sep::Input: return "input";
    case sep::Output: return "output";
    case sep::Setting: return "setting";
    default: return "other";
    }
}

const char* typeName(int32_t dataType)
{
    switch (dataType) {
    case sep::Enum: return "list";
    case sep::Audio: return "audio";
    default: return "other";
    }
}

verdict::Text pinJson(const sep::PinProperties& pin)
{
    verdict::Text json;
    json << "{\"name\":";
    writeString(json, pin.name);
    json << ",\"direction\":\"" << directionName(pin.direction) << "\",\"type\":\"" << typeName(pin.dataType)
         << "\",\"default\":";
    writeString(json, pin.defaultText);
    json << ",\"range\":";
    writeString(json, pin.rangeText);
    json << "}";
    return json;
}

// An orbit as the words and colours take it, from a verdict's fields; the
// outcome is a valid code.
analysis::OrbitClass orbitOf(int32_t outcome, int32_t period, double steps, double settle, double lyapunov,
                             int32_t rounding)
{
    analysis::OrbitClass orbit;
    orbit.outcome = static_cast<analysis::Outcome>(outcome);
    orbit.period = period;
    orbit.steps = static_cast<int64_t>(steps);
    orbit.settle = static_cast<int64_t>(settle);
    orbit.lyapunov = lyapunov;
    orbit.roundingCycle = rounding != 0;
    return orbit;
}

bool knownOutcome(int32_t outcome)
{
    return outcome >= static_cast<int32_t>(analysis::Outcome::Stops) &&
           outcome <= static_cast<int32_t>(analysis::Outcome::Chaos);
}

}  // namespace

// The page's facts as one JSON text (see factsJson).
WEB_EXPORT("tessel_facts") const char* facts()
{
    static const verdict::Text json = factsJson();
    return json.c_str();
}

// Pin `index` as the module declares it, as JSON: {"name", "direction":
// "input" | "output" | "setting", "type": "audio" | "list", "default",
// "range"}, texts or null; valid until the next call. Null past the last pin.
WEB_EXPORT("tessel_pin") const char* pin(int32_t index)
{
    const std::vector<sep::PinProperties>& pins = declarations();
    if (index < 0 || static_cast<size_t>(index) >= pins.size()) return nullptr;
    static verdict::Text json;
    json = pinJson(pins[index]);
    return json.c_str();
}

// A pin's volts in the signal scale the module sees (1.0 = 10 V): the value
// divided by 10 in double, rounded once to float, as a host converts a pin text.
WEB_EXPORT("tessel_signal_of") float signalOf(double volts) { return host::signalFromVolts(volts); }

// The shortest volts text that reads back to `signal` (see host::voltsText); valid until the next call.
WEB_EXPORT("tessel_volts_text") const char* voltsText(float signal)
{
    static std::string text;
    text = host::voltsText(signal);
    return text.c_str();
}

// A new opened instance, or null (rate 1000 to 768000 Hz, block 1 to 65536
// samples, or out of memory). The caller owns it until tessel_free.
WEB_EXPORT("tessel_new") HostedMap* newInstance(int32_t sampleRate, int32_t blockSize)
{
    return HostedMap::create(sampleRate, blockSize);
}

// Closes the instance and releases it and its buffers.
WEB_EXPORT("tessel_free") void freeInstance(HostedMap* instance) { delete instance; }

// The constant inputs a, b, x0, y0 in the signal scale.
WEB_EXPORT("tessel_set_inputs") void setInputs(HostedMap* instance, float a, float b, float x0, float y0)
{
    if (instance) instance->setInputs(a, b, x0, y0);
}

// 0: Continuous, anything else: Gated.
WEB_EXPORT("tessel_set_mode") void setMode(HostedMap* instance, int32_t gated)
{
    if (instance) instance->setMode(gated != 0);
}

WEB_EXPORT("tessel_set_gate_hz") void setGateHz(HostedMap* instance, double hz)
{
    if (instance) instance->setGateHz(hz);
}

WEB_EXPORT("tessel_set_normalize") void setNormalize(HostedMap* instance, int32_t on)
{
    if (instance) instance->setNormalize(on != 0);
}

WEB_EXPORT("tessel_reset") void reset(HostedMap* instance)
{
    if (instance) instance->requestReset();
}

// Renders the next min(count, block size) samples; returns how many. They are
// at tessel_x and tessel_y until the next call.
WEB_EXPORT("tessel_render") int32_t render(HostedMap* instance, int32_t count)
{
    return instance ? instance->render(count) : 0;
}

WEB_EXPORT("tessel_x") const float* xOutput(HostedMap* instance) { return instance ? instance->xOutput() : nullptr; }
WEB_EXPORT("tessel_y") const float* yOutput(HostedMap* instance) { return instance ? instance->yOutput() : nullptr; }

WEB_EXPORT("tessel_block_size") int32_t blockSize(HostedMap* instance)
{
    return instance ? instance->blockSize() : 0;
}

// A sample number, exact in a double (JavaScript's number), or -1.
WEB_EXPORT("tessel_stopped_at") double stoppedAt(HostedMap* instance)
{
    return instance ? static_cast<double>(instance->stoppedAt()) : -1.0;
}

WEB_EXPORT("tessel_asleep") int32_t asleep(HostedMap* instance) { return instance && instance->asleep() ? 1 : 0; }

// --- the chart's judgement of points ----------------------------------------

// A hosted instance that judges points, or null (rate out of range, out of
// memory). The caller owns it until tessel_judge_free.
WEB_EXPORT("tessel_judge_new") PointJudge* newJudge(int32_t sampleRate) { return PointJudge::create(sampleRate); }

WEB_EXPORT("tessel_judge_free") void freeJudge(PointJudge* judge) { delete judge; }

// The orbit of `steps` iterates (a whole number, 256 to 1000000) from x0, y0
// at a, b, all in the signal scale; the verdict stays at the returned address
// until this judge's next point. Null for a bad step count or handle.
WEB_EXPORT("tessel_judge_point")
const PointVerdict* judgePoint(PointJudge* judge, float a, float b, float x0, float y0, double steps)
{
    if (!judge || !(steps >= analysis::kLeastStepsToClassify && steps <= host::kMostChartSteps)) return nullptr;
    const auto whole = static_cast<int64_t>(steps);
    if (static_cast<double>(whole) != steps) return nullptr;
    return judge->judge(a, b, x0, y0, whole);
}

// Point i of `count` across [lo, hi], in volts: the chart's grid.
WEB_EXPORT("tessel_point_volts") double pointVolts(double low, double high, int32_t count, int32_t i)
{
    return host::pointVolts(low, high, count, i);
}

// --- what a verdict says and shows ----------------------------------------------

namespace {

// A verdict in words, exact or in short; valid until the next call. Null for an unknown outcome.
using OrbitWords = verdict::Text (*)(const analysis::OrbitClass&, double, verdict::Stepping);
const char* verdictWords(OrbitWords say, int32_t outcome, int32_t period, double steps, double settle, double lyapunov,
                         int32_t rounding, double stepsPerSecond, int32_t clocked)
{
    if (!knownOutcome(outcome)) return nullptr;
    static verdict::Text words;
    words = say(orbitOf(outcome, period, steps, settle, lyapunov, rounding), stepsPerSecond,
                clocked ? verdict::Stepping::GateClock : verdict::Stepping::EverySample);
    return words.c_str();
}

}  // namespace

// A verdict's words, its cycles sounding at `stepsPerSecond` steps a second,
// from a Gate clock when `clocked` is not 0; valid until the next call. Null
// for an unknown outcome.
WEB_EXPORT("tessel_describe")
const char* describe(int32_t outcome, int32_t period, double steps, double settle, double lyapunov, int32_t rounding,
                     double stepsPerSecond, int32_t clocked)
{
    return verdictWords(verdict::describeOrbit, outcome, period, steps, settle, lyapunov, rounding, stepsPerSecond,
                        clocked);
}

// The same verdict in short, as a musician reads it first; the same arguments.
WEB_EXPORT("tessel_summarize")
const char* summarize(int32_t outcome, int32_t period, double steps, double settle, double lyapunov, int32_t rounding,
                      double stepsPerSecond, int32_t clocked)
{
    return verdictWords(verdict::summarizeOrbit, outcome, period, steps, settle, lyapunov, rounding, stepsPerSecond,
                        clocked);
}

// 1 where a verdict's outcome and period are a constant's, else 0.
WEB_EXPORT("tessel_is_constant") int32_t isConstant(int32_t outcome, int32_t period)
{
    return knownOutcome(outcome) && orbitOf(outcome, period, 0.0, -1.0, 0.0, 0).constant() ? 1 : 0;
}

// Colours as 0xRRGGBB. A verdict's colour on a chart of `chartSteps` steps a
// point; 0 for an unknown outcome.
WEB_EXPORT("tessel_chart_colour")
uint32_t chartColour(int32_t outcome, int32_t period, double steps, double lyapunov, double chartSteps)
{
    if (!knownOutcome(outcome)) return 0;
    const analysis::OrbitClass orbit = orbitOf(outcome, period, steps, -1.0, lyapunov, 0);
    return packed(verdict::chartColour(orbit, static_cast<int64_t>(chartSteps)));
}

// A rounding cycle's pixel of `colour` at `column`, `row` of the chart.
WEB_EXPORT("tessel_hatched") uint32_t hatched(uint32_t colour, int32_t column, int32_t row)
{
    return packed(verdict::hatched(unpacked(colour), column, row));
}

// The inferno colour map, t from 0 (dark) to 1 (bright).
WEB_EXPORT("tessel_inferno") uint32_t inferno(double t) { return packed(verdict::inferno(t)); }

// --- inputs that move ----------------------------------------------------------

namespace {

// Where JavaScript writes a signal's text, NUL-terminated, for the calls below.
char signalText[256];

std::string_view givenText()
{
    signalText[sizeof signalText - 1] = '\0';
    return signalText;
}

// A take's length as JavaScript gives it: a whole number of samples, at least 1.
int64_t takeLength(double samples)
{
    return samples >= 1.0 && samples < 9007199254740992.0 ? static_cast<int64_t>(samples) : 1;
}

const char* errorText(const std::string& error)
{
    static std::string kept;
    kept = error;
    return kept.empty() ? nullptr : kept.c_str();
}

}  // namespace

// The address of the text buffer and its size: the signal texts below are read from there.
WEB_EXPORT("tessel_signal_text") char* signalTextBuffer() { return signalText; }
WEB_EXPORT("tessel_signal_text_size") int32_t signalTextSize() { return sizeof signalText; }

// Why the signal text is refused at `sampleRate` over a take of `takeSamples`, or null.
WEB_EXPORT("tessel_signal_error") const char* signalError(int32_t sampleRate, double takeSamples)
{
    return errorText(host::parseSignal(givenText(), {sampleRate, takeLength(takeSamples)}).error);
}

// `count` samples of the signal text (signal scale), sample `every` * i for
// i from 0, over a take of `takeSamples`; valid until the next call. Null for
// a refused text or a count below 1.
WEB_EXPORT("tessel_signal_samples")
const float* signalSamples(int32_t sampleRate, double takeSamples, double every, int32_t count)
{
    const host::SignalParse parsed = host::parseSignal(givenText(), {sampleRate, takeLength(takeSamples)});
    if (!parsed.ok() || count < 1) return nullptr;
    static std::vector<float> samples;
    samples.resize(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) samples[size_t(i)] = parsed.signal.sampleAt(static_cast<int64_t>(every * i));
    return samples.data();
}

// The signal text's fields at `sampleRate` over a take of `takeSamples`, as JSON: {"shape"} with, for a
// wave, its "centre", "depth", "hz" and "phase" as written; null for a refused text. Valid until the next call.
WEB_EXPORT("tessel_signal_fields") const char* signalFields(int32_t sampleRate, double takeSamples)
{
    const host::SignalParse parsed = host::parseSignal(givenText(), {sampleRate, takeLength(takeSamples)});
    if (!parsed.ok()) return nullptr;
    static verdict::Text json;
    json = {};
    json << "{\"shape\":\"" << host::signalShapeName(parsed.written) << "\"";
    const std::pair<const char*, double> fields[] = {{"centre", parsed.wave.centre}, {"depth", parsed.wave.depth},
                                                     {"hz", parsed.wave.hz}, {"phase", parsed.wave.phase}};
    const bool wave = parsed.written != host::SignalShape::Constant && parsed.written != host::SignalShape::Ramp &&
                      parsed.written != host::SignalShape::Steps;
    for (const auto& [name, value] : fields) {
        if (!wave) break;
        json << ",\"" << name << "\":";
        web::writeNumber(json, value);
    }
    json << "}";
    return json.c_str();
}

// Patches input pin `pin` (x0, y0, a or b) with the signal text over a take
// of `takeSamples` (0: a take without end), or gives it back its constant for
// an empty text; null, or why the text is refused.
WEB_EXPORT("tessel_set_signal") const char* setSignal(HostedMap* instance, int32_t pin, double takeSamples)
{
    if (!instance) return nullptr;
    return errorText(instance->setSignal(pin, givenText(), takeSamples == 0.0 ? 0 : takeLength(takeSamples)));
}

// Reset pulsed at each rising edge of a clock of `hz`, beside the button; 0 stops it.
WEB_EXPORT("tessel_set_reset_hz") void setResetHz(HostedMap* instance, double hz)
{
    if (instance) instance->setResetHz(hz);
}

// Events that restarted the map at x0, y0 because an input streamed.
WEB_EXPORT("tessel_restarts") double restarts(HostedMap* instance)
{
    return instance ? static_cast<double>(instance->restarts()) : 0.0;
}

WEB_EXPORT("tessel_streams") int32_t streams(HostedMap* instance, int32_t pin)
{
    return instance && instance->streams(pin) ? 1 : 0;
}

// From now on the next `samples` rendered are judged window by window.
WEB_EXPORT("tessel_judge_windows") void judgeWindows(HostedMap* instance, double samples)
{
    if (instance) instance->judgeWindows(takeLength(samples));
}

// How many changes the windows judged so far hold.
WEB_EXPORT("tessel_sound_changes") int32_t soundChanges(HostedMap* instance)
{
    const host::TakeWindows* windows = instance ? instance->windows() : nullptr;
    return windows ? static_cast<int32_t>(windows->changes().size()) : 0;
}

// Change `index`: its first sample, in a double.
WEB_EXPORT("tessel_sound_change_start") double soundChangeStart(HostedMap* instance, int32_t index)
{
    const host::TakeWindows* windows = instance ? instance->windows() : nullptr;
    if (!windows || index < 0 || static_cast<size_t>(index) >= windows->changes().size()) return -1.0;
    return static_cast<double>(windows->changes()[size_t(index)].start);
}

// Change `index` in tessel-render's words at `sampleRate`, exact or, where `inShort` is non-zero, in the
// short words a musician reads first; valid until the next call.
WEB_EXPORT("tessel_sound_change_words") const char* soundChangeWords(HostedMap* instance, int32_t index,
                                                                     double sampleRate, int32_t inShort)
{
    const host::TakeWindows* windows = instance ? instance->windows() : nullptr;
    if (!windows || index < 0 || static_cast<size_t>(index) >= windows->changes().size()) return nullptr;
    const host::SoundChange& change = windows->changes()[size_t(index)];
    static verdict::Text words;
    words = inShort ? verdict::summarizeChange(change.start, change.orbit, sampleRate)
                    : verdict::describeChange(change.start, change.orbit, sampleRate);
    return words.c_str();
}

// The start of the first window from `sample` on where a reset would let the map run, or -1.
WEB_EXPORT("tessel_runs_from") double runsFrom(HostedMap* instance, double sample)
{
    const host::TakeWindows* windows = instance ? instance->windows() : nullptr;
    return windows ? static_cast<double>(windows->runsFrom(static_cast<int64_t>(sample))) : -1.0;
}

// A take's stop in tessel-render's words (see verdict::describeStop); valid until the next call.
WEB_EXPORT("tessel_describe_stop")
const char* describeStop(double stoppedAt, double sampleRate, int32_t moving, double runsFrom)
{
    static verdict::Text words;
    words = verdict::describeStop(static_cast<int64_t>(stoppedAt), sampleRate, moving != 0,
                                  static_cast<int64_t>(runsFrom));
    return words.c_str();
}
