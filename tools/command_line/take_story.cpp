#include "take_story.h"

#include "numbers/write.h"
#include "tool.h"
#include "verdict/words.h"

namespace command_line {

namespace {

using render::Scenario;
using tessel::MapPin;

std::string seconds(int64_t sample, const Scenario& scenario)
{
    return numbers::generalText(double(sample) / scenario.sampleRate) + " s";
}

std::string fileText(const render::InputWav& file)
{
    return file.option().path + ":" + std::to_string(file.option().channel);
}

// "a 1.4 V", "a sine:1.2:0.2:0.5", "a from lfo.wav:1": volts as typed, a
// signal as typed, a file named.
std::string inputText(const Scenario& scenario, MapPin pin, const std::string& text)
{
    const std::string name = render::inputPinName(pin);
    if (const render::InputWav* file = scenario.fileFor(pin)) return name + " from " + fileText(*file);
    return name + " " + text + (text.find(':') == std::string::npos ? " V" : "");
}

std::string describeResets(const Scenario& scenario, const Arguments& arguments)
{
    if (const render::InputWav* file = scenario.fileFor(tessel::ResetPin)) return "Reset from " + fileText(*file);
    std::string text;
    if (!arguments.resetAt.empty()) {
        text = "reset at ";
        for (size_t i = 0; i < arguments.resetAt.size(); ++i) text += (i ? ", " : "") + arguments.resetAt[i];
        text += " s";
    }
    if (scenario.resetClock) text += (text.empty() ? "" : " and ") + ("a reset clock of " + arguments.resetHz + " Hz");
    return text;
}

// Exact zeros on both outputs are what the divergence guard leaves; the
// zeros are a stop only if a map step came after their start and kept them.
// Where a or b moves, a stopped map stays silent until a reset though they
// come back to where it runs.
std::string stopText(const Scenario& scenario, const render::HostLog& log, const host::TakeWindows* windows)
{
    if (log.stoppedAt >= 0)
        return verdict::describeStop(log.stoppedAt, scenario.sampleRate, windows != nullptr,
                                     windows ? windows->runsFrom(log.stoppedAt) : -1)
            .c_str();
    if (log.zerosFrom == scenario.samples && log.restartedStops > 0)
        return "the map stopped itself " + std::to_string(log.restartedStops) +
               (log.restartedStops > 1 ? " times" : " time") + ", first at sample " +
               std::to_string(log.firstRestartedStop) + " (" + seconds(log.firstRestartedStop, scenario) +
               "), each time until a reset restarted it; it ran at the end";
    if (log.zerosFrom == scenario.samples) return "the map ran to the end without stopping itself";
    return "x and y are exactly 0 from sample " + std::to_string(log.zerosFrom) +
           " on, too close to the end to tell whether the map stopped";
}

std::string sleepText(const render::HostLog& log)
{
    if (log.sleepRequests == 0) return "the module did not ask to sleep";
    return "the module asked to sleep " + std::to_string(log.sleepRequests) +
           " times, first in the block from sample " + std::to_string(log.firstSleepSample);
}

// The Reset clock that restarts the take's map, or 0 where none runs.
double resetHzOf(const Scenario& scenario) { return scenario.resetClock ? scenario.resetClock->hz() : 0.0; }

// What a continuous take's orbit does after the last reset, judged as the
// chart judges a point; the caption tells a stop as stopText() does.
void tellOrbit(const render::TakeOrbit& orbit, const Scenario& scenario, const Arguments& arguments, TakeStory& story)
{
    const analysis::OrbitClass judged = orbit.result();
    const bool tooShort = judged.outcome != analysis::Outcome::Stops && orbit.steps() < analysis::kLeastStepsToClassify;
    const std::string tooShortText = "too short to classify, " + std::to_string(orbit.steps()) + " steps";
    const analysis::Partials partials = orbit.partials(judged);
    const verdict::Stepping everySample = verdict::Stepping::EverySample;
    const std::string words =
        tooShort ? tooShortText
                 : std::string(verdict::describeOrbit(judged, scenario.sampleRate, everySample, partials).c_str());
    const bool afterReset = render::lastReset(scenario) >= 0;
    story.summary = std::string("in short") + (afterReset ? ", after the last reset" : "") + ": " +
                    (tooShort ? tooShortText
                              : verdict::summarizeOrbit(judged, scenario.sampleRate, everySample, partials,
                                                        resetHzOf(scenario))
                                    .c_str());
    story.orbit = std::string("the orbit") + (afterReset ? " after the last reset" : "") +
                  (scenario.normalize ? ", normalisation undone" : "") + ": " + words;
    if (judged.outcome != analysis::Outcome::Stops)
        story.caption = (afterReset ? describeResets(scenario, arguments) + "; after the last: " : "the orbit: ") +
                        words;
}

// "constant", "period 4", "chaos": a window's verdict in a word or two.
std::string inShort(const analysis::OrbitClass& orbit)
{
    if (orbit.constant()) return "constant";
    if (orbit.outcome == analysis::Outcome::Cycle) return "period " + std::to_string(orbit.period);
    return analysis::outcomeName(orbit.outcome);
}

// Each change of a continuous take's sound, up to where the map stopped.
void tellSound(const host::TakeWindows& windows, const Scenario& scenario, const render::HostLog& log, TakeStory& story)
{
    const double resetHz = resetHzOf(scenario);
    const verdict::PathTake take{double(scenario.sampleRate), resetHz, log.stoppedAt,
                                 log.stoppedAt >= 0 ? windows.runsFrom(log.stoppedAt) : -1};
    story.sound.push_back("in short, " + std::string(verdict::summarizePath(windows.changes(), take).c_str()));
    story.sound.push_back("the sound along the take, in windows of " + std::to_string(host::TakeWindows::kWindow) +
                          " samples, each judged as the chart judges a point at its middle a and b, from where it "
                          "starts or a Reset restarts its stopped map" +
                          (scenario.normalize ? ", normalisation undone" : "") + ":");
    std::string path;
    for (const host::SoundChange& change : windows.changes()) {
        if (log.stoppedAt >= 0 && change.start > log.stoppedAt) break;
        story.sound.push_back(
            "  " +
            std::string(verdict::describeChange(change.start, change.orbit, scenario.sampleRate, resetHz).c_str()));
        path += (path.empty() ? "" : ", ") + inShort(change.orbit);
    }
    if (windows.changes().empty()) story.sound.push_back("  too short to judge a window");
    if (log.stoppedAt < 0 && !path.empty()) story.caption = "the sound along the take: " + path;
}

}  // namespace

std::string describe(const Scenario& scenario, const Arguments& arguments)
{
    using numbers::generalText;
    std::string text = !scenario.gated                     ? "continuous"
                       : scenario.fileFor(tessel::GatePin) ? "gated, " + inputText(scenario, tessel::GatePin, "")
                                                           : "gated at " + generalText(scenario.gateHz) + " Hz";
    return text + ", " + inputText(scenario, tessel::APin, arguments.a) + ", " +
           inputText(scenario, tessel::BPin, arguments.b) + ", " + inputText(scenario, tessel::X0Pin, arguments.x0) +
           ", " + inputText(scenario, tessel::Y0Pin, arguments.y0) + ", normalize " + arguments.normalize;
}

std::string settingsText(const Scenario& scenario, const Arguments& arguments)
{
    const std::string resets = describeResets(scenario, arguments);
    return describe(scenario, arguments) + (resets.empty() ? "" : ", " + resets);
}

TakeStory tell(const Scenario& scenario, const Arguments& arguments, const TakeSums& sums,
               const render::TakeOrbit* orbit, const host::TakeWindows* windows)
{
    TakeStory story;
    story.stop = stopText(scenario, sums.log, windows);
    story.sleep = sleepText(sums.log);
    if (orbit) tellOrbit(*orbit, scenario, arguments, story);
    if (windows) tellSound(*windows, scenario, sums.log, story);
    if (story.caption.empty()) {
        const std::string resets = describeResets(scenario, arguments);
        story.caption = resets.empty() ? story.stop : resets + "; " + story.stop;
    }
    for (const auto& file : scenario.files)
        if (file->holdsLastSample())
            story.holds.push_back("--input " + std::string(render::inputPinName(file->option().pin)) + "=" +
                                  fileText(*file) + ": the take outlasts the file's " +
                                  std::to_string(file->fileSamples()) + " samples, so it holds the last, " +
                                  numbers::generalText(render::voltsFromSignal(file->lastHeard())) + " V, from " +
                                  seconds(file->fileSamples(), scenario));
    return story;
}

}  // namespace command_line
