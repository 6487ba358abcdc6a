#include "take_command.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "command.h"
#include "host/session/point_judge.h"
#include "numbers/write.h"
#include "settings.h"
#include "take_story.h"
#include "tools/pictures/take_picture.h"
#include "tools/render/take_orbit.h"
#include "wav_writer.h"

namespace command_line {

static_assert(kMaxSeconds * kMaxRate * kWavFrameBytes + kWavHeaderBytes < 4294967296.0,
              "every take the limits allow fits the 32-bit sizes of a RIFF file");

namespace {

using render::Scenario;
using tessel::MapPin;

struct Take {
    TakeSums sums;
    TakeStory story;
};

// The inputs a picture traces under x and y: every one that moves, where the
// take is patched.
std::vector<MapPin> tracedInputs(const Scenario& scenario)
{
    std::vector<MapPin> traced;
    if (!render::patched(scenario)) return traced;
    for (const render::NamedPin& input : render::kInputPins)
        if (scenario.moves(input.pin)) traced.push_back(input.pin);
    return traced;
}

// What the picture scales its axes to: the outputs, and each input it traces.
struct Survey {
    pictures::Bounds outputs;
    std::vector<pictures::InputTrace> inputs;
};

// The picture scales its axes to the samples, and starts its traces where
// the orbit settled, so a first instance surveys them and judges the orbit
// (if given); the module is deterministic, and the second instance repeats
// them exactly.
Survey survey(const host::ModuleLibrary& library, const Scenario& scenario, const std::vector<MapPin>& traced,
              render::TakeOrbit* orbit, Progress& progress)
{
    Survey found;
    for (const MapPin pin : traced)
        found.inputs.push_back({render::inputPinName(pin), std::numeric_limits<float>::infinity(),
                                -std::numeric_limits<float>::infinity()});
    render::renderScenario(library, scenario, [&](const render::Block& block) {
        checkInterrupt();
        found.outputs.include(block.x, block.y, block.count);
        if (orbit) orbit->add(block.start, block.x, block.y, block.count);
        for (size_t input = 0; input < traced.size(); ++input) {
            const float* samples = block.input(traced[input]);
            for (int32_t i = 0; i < block.count; ++i) {
                found.inputs[input].low = std::min(found.inputs[input].low, samples[i]);
                found.inputs[input].high = std::max(found.inputs[input].high, samples[i]);
            }
        }
        progress.advance(block.count);
    });
    return found;
}

// Where the take's report looks: what it sums, and what it judges.
struct Sinks {
    WavWriter* wav;
    pictures::Picture* picture;
    const std::vector<MapPin>& traced;
    render::TakeOrbit* orbit;
    host::TakeWindows* windows;
};

// Renders the take, hands each block to every sink given (a null one is left
// out), and sums up the outputs.
TakeSums renderInto(const host::ModuleLibrary& library, const Scenario& scenario, const Sinks& sinks,
                    Progress& progress)
{
    TakeSums sums;
    std::vector<const float*> traced(sinks.traced.size());
    const render::BlockSink sink = [&](const render::Block& block) {
        checkInterrupt();
        for (int32_t i = 0; i < block.count; ++i) {
            sums.peakX = std::max(sums.peakX, std::abs(block.x[i]));
            sums.peakY = std::max(sums.peakY, std::abs(block.y[i]));
        }
        if (sinks.wav) sinks.wav->write(block.x, block.y, block.count);
        if (sinks.picture) {
            for (size_t input = 0; input < traced.size(); ++input) traced[input] = block.input(sinks.traced[input]);
            sinks.picture->add(block.start, block.x, block.y, traced.data(), block.count);
        }
        if (sinks.orbit) sinks.orbit->add(block.start, block.x, block.y, block.count);
        if (sinks.windows)
            sinks.windows->add(block.input(tessel::APin), block.input(tessel::BPin), block.input(tessel::ResetPin),
                               block.x, block.y, block.count);
        progress.advance(block.count);
    };
    sums.log = render::renderScenario(library, scenario, sink);
    return sums;
}

// What the picture traces: a take traced in part starts where its orbit (judged
// in the survey) settled on a cycle.
pictures::StripSpan stripOf(const Scenario& scenario, const render::TakeOrbit* orbit)
{
    const int64_t count = render::stripSamplesFor(scenario);
    if (!orbit || count >= scenario.samples) return {0, count, -1};
    const int64_t settled = orbit->settledAt(orbit->result());
    return {verdict::traceStart(settled, count, scenario.samples), count, settled};
}

pictures::Caption pictureCaption(const char* moduleName, const Scenario& scenario, const Arguments& arguments,
                                 const TakeStory& story)
{
    return {std::string(moduleName) + ":  x(n+1) = 1 + y(n) - a x(n)^2,  y(n+1) = b x(n)",
            numbers::generalText(double(scenario.samples) / scenario.sampleRate) + " s at " +
                std::to_string(scenario.sampleRate) + " Hz, " + describe(scenario, arguments),
            story.caption};
}

// Renders the take into the files asked for (a null one is not) and tells
// what it showed; the files are left for the caller to commit. A continuous
// take's orbit is judged when a and b hold still, its sound window by window
// when either moves.
Take renderTake(const HostedLibrary& hosted, const Scenario& scenario, const Arguments& arguments, OutputFile* wavFile,
                OutputFile* pngFile)
{
    Progress progress(scenario.samples * (pngFile ? 2 : 1), progressShown(arguments));
    const bool moving = scenario.moves(tessel::APin) || scenario.moves(tessel::BPin);
    std::unique_ptr<render::TakeOrbit> orbit;
    if (!scenario.gated && !moving) orbit = std::make_unique<render::TakeOrbit>(scenario);
    const std::vector<MapPin> traced = tracedInputs(scenario);
    const Survey surveyed = pngFile ? survey(hosted.library, scenario, traced, orbit.get(), progress) : Survey{};

    std::unique_ptr<WavWriter> wav;
    if (wavFile)
        wav = std::make_unique<WavWriter>(*wavFile, scenario, "Tessel Map, " + settingsText(scenario, arguments));
    std::unique_ptr<pictures::Picture> picture;
    if (pngFile)
        picture = std::make_unique<pictures::Picture>(surveyed.outputs, stripOf(scenario, orbit.get()),
                                                      scenario.sampleRate, host::kVoltsPerUnit, surveyed.inputs);
    std::unique_ptr<host::TakeWindows> windows;
    if (!scenario.gated && moving)
        windows = std::make_unique<host::TakeWindows>(scenario.samples, scenario.firstSample(tessel::X0Pin),
                                                      scenario.firstSample(tessel::Y0Pin), scenario.normalize);

    render::TakeOrbit* unsurveyed = pngFile ? nullptr : orbit.get();  // the survey judged it already
    const TakeSums sums = renderInto(hosted.library, scenario,
                                     {wav.get(), picture.get(), traced, unsurveyed, windows.get()}, progress);
    progress.finish();
    const TakeStory story = tell(scenario, arguments, sums, orbit.get(), windows.get());

    if (wav) wav->close();
    if (picture) {
        writeThrough(*pngFile, [&](std::FILE* file) {
            picture->writePng(file, pictureCaption(hosted.properties.name, scenario, arguments, story));
            return true;
        });
    }
    return {sums, story};
}

void reportTake(const HostedLibrary& hosted, const Scenario& scenario, const Arguments& arguments, const Take& take,
                const OutputFile* wavFile, const OutputFile* pngFile)
{
    const char* identifier = hosted.properties.identifier ? hosted.properties.identifier : "";
    say(std::string(hosted.properties.name) + " (" + identifier + ") from " + hosted.path);
    say("rendered " + std::to_string(scenario.samples) + " samples, " +
        numbers::generalText(double(scenario.samples) / scenario.sampleRate) + " s at " +
        std::to_string(scenario.sampleRate) + " Hz in blocks of " + std::to_string(scenario.blockSize) + ": " +
        settingsText(scenario, arguments));
    say("peak |x| " + numbers::fixedText(render::voltsFromSignal(take.sums.peakX), 4) + " V, peak |y| " +
        numbers::fixedText(render::voltsFromSignal(take.sums.peakY), 4) + " V");
    for (const std::string& line : take.story.holds) say(line);
    say(take.story.stop);
    if (!take.story.summary.empty()) say(take.story.summary);
    if (!take.story.orbit.empty()) say(take.story.orbit);
    for (const std::string& line : take.story.sound) say(line);
    say(take.story.sleep);
    if (wavFile) say("wrote " + wavFile->path() + ": x left, y right, 32-bit float");
    if (pngFile) say("wrote " + pngFile->path());
}

}  // namespace

int runTake(const Arguments& arguments, const Scenario& scenario)
{
    if (arguments.out.empty() && arguments.plot.empty())
        throw UsageError("nothing to write: give --out FILE.wav, --plot FILE.png or both");
    refuseSharedOutputs({"--out", arguments.out}, {"--plot", arguments.plot}, arguments.module);
    refuseOutputsOntoInputs(arguments, scenario);
    const std::unique_ptr<OutputFile> wavFile = openOutput(arguments.out);
    const std::unique_ptr<OutputFile> pngFile = openOutput(arguments.plot);
    if (wavFile) wavFile->checkRoomFor(scenario.samples * kWavFrameBytes + kWavHeaderBytes);
    const HostedLibrary hosted(arguments.module);
    catchSignals();

    const Take take = renderTake(hosted, scenario, arguments, wavFile.get(), pngFile.get());
    if (wavFile) wavFile->commit();
    if (pngFile) pngFile->commit();
    if (!arguments.quiet) reportTake(hosted, scenario, arguments, take, wavFile.get(), pngFile.get());
    return 0;
}

}  // namespace command_line
