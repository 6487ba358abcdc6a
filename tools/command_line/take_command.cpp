#include "take_command.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "command.h"
#include "tools/pictures/take_picture.h"
#include "tools/render/take_orbit.h"
#include "verdict/words.h"
#include "wav_writer.h"

namespace command_line {

static_assert(kMaxSeconds * kMaxRate * kWavFrameBytes + kWavHeaderBytes < 4294967296.0,
              "every take the limits allow fits the 32-bit sizes of a RIFF file");

namespace {

using render::Scenario;

std::string describe(const Scenario& scenario, const Arguments& arguments)
{
    std::string text = scenario.gated ? "gated at " + shortNumber(scenario.gateHz) + " Hz" : "continuous";
    return text + ", a " + arguments.a + " V, b " + arguments.b + " V, x0 " + arguments.x0 + " V, y0 " +
           arguments.y0 + " V, normalize " + arguments.normalize;
}

std::string describeResets(const Arguments& arguments)
{
    if (arguments.resetAt.empty()) return "";
    std::string text = "reset at ";
    for (size_t i = 0; i < arguments.resetAt.size(); ++i) text += (i ? ", " : "") + arguments.resetAt[i];
    return text + " s";
}

// What a take's outputs showed, gathered block by block as they were rendered.
struct TakeSums {
    float peakX = 0.0f, peakY = 0.0f;  // in the signal scale
    render::HostLog log;
};

// What a take showed, in the words of the report and the picture's caption.
struct TakeStory {
    std::string stop;          // whether and where the map stopped itself
    std::string orbit;         // what a continuous take's orbit does; empty when gated
    std::string orbitCaption;  // the same in short, empty where the stop tells it
    std::string sleep;         // whether the module asked to sleep
};

struct Take {
    TakeSums sums;
    TakeStory story;
};

std::string settingsText(const Scenario& scenario, const Arguments& arguments)
{
    const std::string resets = describeResets(arguments);
    return describe(scenario, arguments) + (resets.empty() ? "" : ", " + resets);
}

// The picture scales its axes to the outputs, so a first instance surveys
// them; the module is deterministic, and the second instance repeats them exactly.
pictures::Bounds surveyBounds(const host::ModuleLibrary& library, const Scenario& scenario, Progress& progress)
{
    pictures::Bounds bounds;
    render::renderScenario(library, scenario, [&](int64_t, const float* x, const float* y, int32_t count) {
        checkInterrupt();
        bounds.include(x, y, count);
        progress.advance(count);
    });
    return bounds;
}

// Renders the take, hands each block to every sink given (a null one is left
// out), and sums up the outputs.
TakeSums renderInto(const host::ModuleLibrary& library, const Scenario& scenario, WavWriter* wav,
                    pictures::Picture* picture, render::TakeOrbit* orbit, Progress& progress)
{
    TakeSums sums;
    const render::BlockSink sink = [&](int64_t start, const float* x, const float* y, int32_t count) {
        checkInterrupt();
        for (int32_t i = 0; i < count; ++i) {
            sums.peakX = std::max(sums.peakX, std::abs(x[i]));
            sums.peakY = std::max(sums.peakY, std::abs(y[i]));
        }
        if (wav) wav->write(x, y, count);
        if (picture) picture->add(start, x, y, count);
        if (orbit) orbit->add(start, x, y, count);
        progress.advance(count);
    };
    sums.log = render::renderScenario(library, scenario, sink);
    return sums;
}

// Exact zeros on both outputs are what the divergence guard leaves; the
// zeros are a stop only if a map step came after their start and kept them.
std::string stopText(const Scenario& scenario, const render::HostLog& log)
{
    if (log.stoppedAt >= 0)
        return "the map stopped itself at sample " + std::to_string(log.stoppedAt) + " (" +
               shortNumber(double(log.stoppedAt) / scenario.sampleRate) + " s): x and y stay exactly 0";
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

// What a continuous take's orbit does after the last reset, judged as the
// chart judges a point; the caption tells a stop as stopText() does.
void tellOrbit(const render::TakeOrbit& orbit, const Scenario& scenario, const Arguments& arguments, TakeStory& story)
{
    const analysis::OrbitClass judged = orbit.result();
    const bool tooShort = judged.outcome != analysis::Outcome::Stops && orbit.steps() < analysis::kLeastStepsToClassify;
    const std::string words = tooShort ? "too short to classify, " + std::to_string(orbit.steps()) + " steps"
                                       : std::string(verdict::describeOrbit(judged, scenario.sampleRate).c_str());
    const bool afterReset = !scenario.resetSamples.empty();
    story.orbit = std::string("the orbit") + (afterReset ? " after the last reset" : "") +
                  (scenario.normalize ? ", normalisation undone" : "") + ": " + words;
    if (judged.outcome != analysis::Outcome::Stops)
        story.orbitCaption = (afterReset ? describeResets(arguments) + "; after the last: " : "the orbit: ") + words;
}

TakeStory tell(const Scenario& scenario, const Arguments& arguments, const TakeSums& sums,
               const render::TakeOrbit* orbit)
{
    TakeStory story{stopText(scenario, sums.log), "", "", sleepText(sums.log)};
    if (orbit) tellOrbit(*orbit, scenario, arguments, story);
    return story;
}

pictures::Caption pictureCaption(const char* moduleName, const Scenario& scenario, const Arguments& arguments,
                                 const TakeStory& story)
{
    const std::string resets = describeResets(arguments);
    const std::string told = !story.orbitCaption.empty() ? story.orbitCaption
                             : resets.empty()            ? story.stop
                                                         : resets + "; " + story.stop;
    return {std::string(moduleName) + ":  x(n+1) = 1 + y(n) - a x(n)^2,  y(n+1) = b x(n)",
            shortNumber(double(scenario.samples) / scenario.sampleRate) + " s at " +
                std::to_string(scenario.sampleRate) + " Hz, " + describe(scenario, arguments),
            told};
}

// Renders the take into the files asked for (a null one is not) and tells
// what it showed; the files are left for the caller to commit.
Take renderTake(const HostedLibrary& hosted, const Scenario& scenario, const Arguments& arguments,
                OutputFile* wavFile, OutputFile* pngFile)
{
    Progress progress(scenario.samples * (pngFile ? 2 : 1), progressShown(arguments));
    const pictures::Bounds bounds = pngFile ? surveyBounds(hosted.library, scenario, progress) : pictures::Bounds{};

    std::unique_ptr<WavWriter> wav;
    if (wavFile)
        wav = std::make_unique<WavWriter>(*wavFile, scenario, "Tessel Map, " + settingsText(scenario, arguments));
    std::unique_ptr<pictures::Picture> picture;
    if (pngFile)
        picture = std::make_unique<pictures::Picture>(bounds, render::stripSamplesFor(scenario), scenario.sampleRate,
                                                       host::kVoltsPerUnit);
    std::unique_ptr<render::TakeOrbit> orbit;
    if (!scenario.gated) orbit = std::make_unique<render::TakeOrbit>(scenario);

    const TakeSums sums = renderInto(hosted.library, scenario, wav.get(), picture.get(), orbit.get(), progress);
    progress.finish();
    const TakeStory story = tell(scenario, arguments, sums, orbit.get());

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
        shortNumber(double(scenario.samples) / scenario.sampleRate) + " s at " + std::to_string(scenario.sampleRate) +
        " Hz in blocks of " + std::to_string(scenario.blockSize) + ": " + settingsText(scenario, arguments));
    char peaks[96];
    std::snprintf(peaks, sizeof peaks, "peak |x| %.4f V, peak |y| %.4f V", render::voltsFromSignal(take.sums.peakX),
                  render::voltsFromSignal(take.sums.peakY));
    say(peaks);
    say(take.story.stop);
    if (!take.story.orbit.empty()) say(take.story.orbit);
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
