// tessel-render run as a user runs it, a separate process: its WAV against the
// scenario its options name, rendered here, its picture and its report.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <png.h>
#include <sndfile.h>

#include "host/emulator/hosted_module.h"
#include "host/session/signals/signal.h"
#include "tool_run.h"
#include "tools/render/input_wav.h"
#include "tools/render/scenario.h"

namespace {

using namespace tool_run;

uint32_t bitsOf(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// The take a scenario gives, rendered here through the emulator and a
// session, as the tool is documented to render it.
void renderHere(const render::Scenario& scenario, std::vector<float>& x, std::vector<float>& y)
{
    render::renderScenario(host::builtModuleLibrary(), scenario, [&](const render::Block& block) {
        x.insert(x.end(), block.x, block.x + block.count);
        y.insert(y.end(), block.y, block.y + block.count);
    });
}

void expectSameBits(const std::vector<float>& actual, const std::vector<float>& expected, const char* name)
{
    ASSERT_EQ(actual.size(), expected.size()) << name;
    for (size_t i = 0; i < actual.size(); ++i)
        ASSERT_EQ(bitsOf(actual[i]), bitsOf(expected[i])) << name << " differs first at sample " << i;
}

}  // namespace

// --- the WAV file -------------------------------------------------------------

TEST(RenderedWav, DefaultsMatchTheEmulatorBitForBit)
{
    TemporaryFolder folder;
    const Result result = runTool({"--out", folder / "map.wav", "--quiet"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");

    const Wav wav = readWav(folder / "map.wav");
    EXPECT_EQ(wav.info.samplerate, 44100);
    EXPECT_EQ(wav.info.channels, 2);
    EXPECT_EQ(wav.info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    EXPECT_EQ(wav.info.frames, 88200);

    render::Scenario scenario;
    scenario.a = host::Signal::constant(1.4);
    scenario.b = host::Signal::constant(0.3);
    std::vector<float> x, y;
    renderHere(scenario, x, y);
    expectSameBits(wav.x, x, "x");
    expectSameBits(wav.y, y, "y");
}

TEST(RenderedWav, SettingsResetsAndOddBlocksMatchTheEmulatorBitForBit)
{
    TemporaryFolder folder;
    const Result result = runTool({"--seconds",   "0.25",
                                   "--rate",      "48000",
                                   "--block",     "300",
                                   "--a",         "1.35",
                                   "--b",         "0.28",
                                   "--x0",        "0.5",
                                   "--y0",        "-0.2",
                                   "--normalize", "off",
                                   "--reset-at",  "0.2",
                                   "--reset-at",  "0.1",
                                   "--out",       folder / "map.wav",
                                   "--quiet"});
    ASSERT_EQ(result.exitCode, 0) << result.err;

    render::Scenario scenario;
    scenario.sampleRate = 48000;
    scenario.blockSize = 300;
    scenario.samples = 12000;
    scenario.a = host::Signal::constant(1.35);
    scenario.b = host::Signal::constant(0.28);
    scenario.x0 = host::Signal::constant(0.5);
    scenario.y0 = host::Signal::constant(-0.2);
    scenario.normalize = false;
    scenario.resetSamples = {4800, 9600};
    std::vector<float> x, y;
    renderHere(scenario, x, y);
    ASSERT_EQ(x[4800], host::signalFromVolts(0.5)) << "the scenario must show its resets";

    const Wav wav = readWav(folder / "map.wav");
    EXPECT_EQ(wav.info.samplerate, 48000);
    expectSameBits(wav.x, x, "x");
    expectSameBits(wav.y, y, "y");
}

TEST(RenderedWav, GatedModeStepsOncePerGateClockPeriod)
{
    // 1000 Hz at 48 kHz: a period of 48 samples, rising at sample 0, so the
    // gated output holds the continuous map's k-th value over period k.
    TemporaryFolder folder;
    const Result result = runTool({"--mode", "gated", "--gate-hz", "1000", "--rate", "48000", "--seconds", "0.1",
                                   "--block", "256", "--out", folder / "gated.wav", "--quiet"});
    ASSERT_EQ(result.exitCode, 0) << result.err;

    render::Scenario scenario;
    scenario.sampleRate = 48000;
    scenario.samples = 100;
    scenario.a = host::Signal::constant(1.4);
    scenario.b = host::Signal::constant(0.3);
    std::vector<float> x, y;
    renderHere(scenario, x, y);

    const Wav wav = readWav(folder / "gated.wav");
    ASSERT_EQ(wav.x.size(), 4800u);
    for (size_t i = 0; i < wav.x.size(); ++i) {
        ASSERT_EQ(bitsOf(wav.x[i]), bitsOf(x[i / 48])) << "x at sample " << i;
        ASSERT_EQ(bitsOf(wav.y[i]), bitsOf(y[i / 48])) << "y at sample " << i;
    }
}

TEST(RenderedWav, TheLimitsThemselvesAreAccepted)
{
    // The Gate clock's limit of half the rate binds in gated mode only.
    TemporaryFolder folder;
    const Result longest = runTool(
        {"--seconds", "600", "--rate", "1000", "--block", "65536", "--out", folder / "long.wav", "--quiet"});
    ASSERT_EQ(longest.exitCode, 0) << longest.err;
    EXPECT_EQ(readWav(folder / "long.wav").x.size(), 600000u);

    const Result fastest = runTool({"--seconds", "0.001", "--rate", "768000", "--block", "1", "--mode", "gated",
                                    "--gate-hz", "384000", "--out", folder / "fast.wav", "--quiet"});
    ASSERT_EQ(fastest.exitCode, 0) << fastest.err;
    const Wav fast = readWav(folder / "fast.wav");
    EXPECT_EQ(fast.info.samplerate, 768000);
    ASSERT_EQ(fast.x.size(), 768u);
    EXPECT_NE(fast.x[1], fast.x[2]) << "a gate at half the rate still steps every other sample";
    EXPECT_EQ(fast.x[2], fast.x[3]);
}

// --- the report -----------------------------------------------------------------

TEST(Report, PeaksAndStopAgreeWithTheWav)
{
    TemporaryFolder folder;
    const Result result = runTool({"--a", "2", "--seconds", "0.1", "--out", folder / "stop.wav"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const Wav wav = readWav(folder / "stop.wav");
    ASSERT_FALSE(wav.x.empty());

    size_t zerosFrom = wav.x.size();
    while (zerosFrom > 0 && wav.x[zerosFrom - 1] == 0.0f && wav.y[zerosFrom - 1] == 0.0f) --zerosFrom;
    ASSERT_GT(zerosFrom, 0u);
    ASSERT_LT(zerosFrom, wav.x.size()) << "a = 2 V must make the map leave its bounds";
    EXPECT_NE(result.err.find("stopped itself at sample " + std::to_string(zerosFrom) + " "), std::string::npos)
        << result.err;

    float peakX = 0.0f, peakY = 0.0f;
    for (float v : wav.x) peakX = std::max(peakX, std::abs(v));
    for (float v : wav.y) peakY = std::max(peakY, std::abs(v));
    char peaks[96];
    std::snprintf(peaks, sizeof peaks, "peak |x| %.4f V, peak |y| %.4f V", peakX * 10.0, peakY * 10.0);
    EXPECT_NE(result.err.find(peaks), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("did not ask to sleep"), std::string::npos) << result.err;
}

TEST(Report, AMapOnItsAttractorRunsToTheEnd)
{
    TemporaryFolder folder;
    const Result result = runTool({"--seconds", "0.1", "--out", folder / "map.wav"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.err.find("ran to the end"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("rendered 4410 samples"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("stopped itself"), std::string::npos) << result.err;
}

TEST(Report, HelpAndVersionGoToStdoutAndSucceed)
{
    const Result help = runTool({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option :
         {"--seconds",  "--rate",     "--block",     "--mode",       "--gate-hz", "--a",       "--b",
          "--x0",       "--y0",       "--normalize", "--reset-at",   "--out",     "--plot",    "--module",
          "--quiet",    "--version",  "--chart",     "--chart-data", "--plane",   "--a-range", "--b-range",
          "--x0-range", "--y0-range", "--size",      "--steps"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    EXPECT_NE(help.out.find("refused, and so is - "), std::string::npos) << "standard output";
    EXPECT_NE(help.out.find("Exit codes: 0 done; 1 the work failed"), std::string::npos);

    const Result version = runTool({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, std::string("tessel-render ") + TESSEL_RENDER_VERSION + "\n");
}

// Every input patched: signals on a, b and x0, a file shorter than the take
// on y0, a Reset clock with a pulse of its own, as the documented grammar
// and options give them.
TEST(RenderedWav, APatchedTakeMatchesTheEmulatorBitForBit)
{
    TemporaryFolder folder;
    writeWav(folder / "y0.wav", {-0.05f, 0.02f, 0.03f});
    const Result result = runTool({"--seconds",   "0.1",
                                   "--block",     "300",
                                   "--a",         "sine:1.2:0.2:7:0.25",
                                   "--b",         "ramp:0.3:0.2",
                                   "--x0",        "steps:0,0.5,-0.5@40",
                                   "--input",     "y0=" + folder / "y0.wav",
                                   "--reset-hz",  "25",
                                   "--reset-at",  "0.05",
                                   "--normalize", "off",
                                   "--out",       folder / "map.wav"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.err.find("y0.wav:1: the take outlasts the file's 3 samples, so it holds the last, 0.3 V"),
              std::string::npos)
        << result.err;

    render::Scenario scenario;
    scenario.samples = 4410;
    scenario.blockSize = 300;
    const host::SignalTake take{scenario.sampleRate, scenario.samples};
    scenario.a = host::parseSignal("sine:1.2:0.2:7:0.25", take).signal;
    scenario.b = host::parseSignal("ramp:0.3:0.2", take).signal;
    scenario.x0 = host::parseSignal("steps:0,0.5,-0.5@40", take).signal;
    scenario.normalize = false;
    scenario.resetSamples = {2205};
    scenario.resetClock = host::ResetClock(scenario.sampleRate, 25);
    scenario.files.push_back(
        render::openInputWav({tessel::Y0Pin, folder / "y0.wav", 1}, scenario.sampleRate, scenario.samples).input);
    std::vector<float> x, y;
    renderHere(scenario, x, y);
    const Wav wav = readWav(folder / "map.wav");
    expectSameBits(wav.x, x, "x");
    expectSameBits(wav.y, y, "y");
}

// --- the picture ----------------------------------------------------------------

TEST(RenderedPicture, DecodesAtItsStatedSizeAndShowsTheAttractor)
{
    TemporaryFolder folder;
    const Result result = runTool({"--plot", folder / "map.png", "--quiet"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(folder.entries(), std::set<std::string>{"map.png"}) << "only the picture was asked for";

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, (folder / "map.png").c_str())) << image.message;
    EXPECT_EQ(image.width, 1200u);
    EXPECT_EQ(image.height, 1200u);
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) << image.message;

    // The attractor's brightest places come out warm and light in the colour map.
    size_t bright = 0;
    for (size_t i = 0; i < pixels.size(); i += 3)
        if (pixels[i] > 200 && pixels[i + 1] > 150 && pixels[i + 2] < 120) ++bright;
    EXPECT_GT(bright, 100u);
}

TEST(RenderedPicture, TracesEachMovingInputUnderXAndY)
{
    TemporaryFolder folder;
    const Result result = runTool({"--a", "sine:1.2:0.2:0.5", "--x0", "steps:0,0.5@4", "--seconds", "0.5", "--plot",
                                   folder / "map.png", "--quiet"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, (folder / "map.png").c_str())) << image.message;
    EXPECT_EQ(image.height, 1200u + 2 * 116u);
    png_image_free(&image);
}
