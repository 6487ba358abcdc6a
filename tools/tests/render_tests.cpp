// tessel-render run as a user runs it, a separate process: its WAV against the
// scenario its options name, rendered here, its picture, its report and its
// refusals of bad input.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <png.h>
#include <sndfile.h>

#include "host/host_emulator.h"
#include "output_file.h"
#include "scenario.h"
#include "tool_run.h"

namespace fs = std::filesystem;

namespace {

using namespace tool_run;

uint32_t bitsOf(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

struct Wav {
    SF_INFO info{};
    std::vector<float> x, y;
};

Wav readWav(const std::string& path)
{
    Wav wav;
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &wav.info);
    if (!file) {
        ADD_FAILURE() << path << ": " << sf_strerror(nullptr);
        return wav;
    }
    std::vector<float> frames(size_t(wav.info.frames) * wav.info.channels);
    EXPECT_EQ(sf_readf_float(file, frames.data(), wav.info.frames), wav.info.frames);
    sf_close(file);
    if (wav.info.channels != 2) return wav;
    for (size_t i = 0; i < frames.size(); i += 2) {
        wav.x.push_back(frames[i]);
        wav.y.push_back(frames[i + 1]);
    }
    return wav;
}

// The take a scenario gives, rendered here through the emulator and a
// session, as the tool is documented to render it.
void renderHere(const render::Scenario& scenario, std::vector<float>& x, std::vector<float>& y)
{
    render::renderScenario(host::builtModuleLibrary(), scenario,
                           [&](int64_t, const float* xs, const float* ys, int32_t count) {
                               x.insert(x.end(), xs, xs + count);
                               y.insert(y.end(), ys, ys + count);
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
    scenario.a = render::signalFromVolts(1.4);
    scenario.b = render::signalFromVolts(0.3);
    std::vector<float> x, y;
    renderHere(scenario, x, y);
    expectSameBits(wav.x, x, "x");
    expectSameBits(wav.y, y, "y");
}

TEST(RenderedWav, SettingsResetsAndOddBlocksMatchTheEmulatorBitForBit)
{
    TemporaryFolder folder;
    const Result result = runTool({"--seconds", "0.25", "--rate", "48000", "--block", "300", "--a", "1.35", "--b",
                                   "0.28", "--x0", "0.5", "--y0", "-0.2", "--normalize", "off", "--reset-at", "0.2",
                                   "--reset-at", "0.1", "--out", folder / "map.wav", "--quiet"});
    ASSERT_EQ(result.exitCode, 0) << result.err;

    render::Scenario scenario;
    scenario.sampleRate = 48000;
    scenario.blockSize = 300;
    scenario.samples = 12000;
    scenario.a = render::signalFromVolts(1.35);
    scenario.b = render::signalFromVolts(0.28);
    scenario.x0 = render::signalFromVolts(0.5);
    scenario.y0 = render::signalFromVolts(-0.2);
    scenario.normalize = false;
    scenario.resetSamples = {4800, 9600};
    std::vector<float> x, y;
    renderHere(scenario, x, y);
    ASSERT_EQ(x[4800], scenario.x0) << "the scenario must show its resets";

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
    scenario.a = render::signalFromVolts(1.4);
    scenario.b = render::signalFromVolts(0.3);
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
    const Result longest = runTool({"--seconds", "600", "--rate", "1000", "--block", "65536", "--out",
                                    folder / "long.wav", "--quiet"});
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
    for (const char* option : {"--seconds", "--rate", "--block", "--mode", "--gate-hz", "--a", "--b", "--x0", "--y0",
                               "--normalize", "--reset-at", "--out", "--plot", "--module", "--quiet", "--version",
                               "--chart", "--chart-data", "--plane", "--a-range", "--b-range", "--x0-range",
                               "--y0-range", "--size", "--steps"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    EXPECT_NE(help.out.find("refused, and so is - "), std::string::npos) << "standard output";
    EXPECT_NE(help.out.find("Exit codes: 0 done; 1 the work failed"), std::string::npos);

    const Result version = runTool({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, std::string("tessel-render ") + TESSEL_RENDER_VERSION + "\n");
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

// --- bad input ----------------------------------------------------------------

struct BadInput {
    std::string name;
    std::vector<std::string> arguments;  // "@name" stands for that name in the test's folder
    std::string message;                 // part of the one error line
    int exitCode;                        // 2: the command line is wrong; 1: the work failed
};

void PrintTo(const BadInput& input, std::ostream* os) { *os << input.name; }

class Refusal : public ::testing::TestWithParam<BadInput> {};

// The arguments with each "@name" made that name's path in `folder`.
std::vector<std::string> inFolder(std::vector<std::string> arguments, const TemporaryFolder& folder)
{
    for (std::string& word : arguments)
        if (word.starts_with("@")) word = folder / word.substr(1);
    return arguments;
}

// A refusal: `exitCode` and one line on stderr, the tool's name and `message` in it.
void expectRefusal(const Result& result, const std::string& message, int exitCode)
{
    EXPECT_EQ(result.exitCode, exitCode);
    const std::vector<std::string> errorLines = lines(result.err);
    ASSERT_EQ(errorLines.size(), 1u) << result.err;
    EXPECT_TRUE(errorLines[0].starts_with("tessel-render: ")) << errorLines[0];
    EXPECT_NE(errorLines[0].find(message), std::string::npos) << errorLines[0];
}

TEST_P(Refusal, OneLineItsExitCodeAndNoFile)
{
    TemporaryFolder folder;
    const Result result = runTool(inFolder(GetParam().arguments, folder));

    expectRefusal(result, GetParam().message, GetParam().exitCode);
    EXPECT_EQ(result.out, "");
    EXPECT_TRUE(folder.entries().empty()) << *folder.entries().begin();
}

std::vector<BadInput> badInputs()
{
    constexpr int usage = 2, failure = 1;
    const std::vector<std::string> both{"--out", "@map.wav", "--plot", "@map.png"};
    auto with = [&](std::string name, std::vector<std::string> arguments, std::string message, int exitCode) {
        arguments.insert(arguments.end(), both.begin(), both.end());
        return BadInput{name, arguments, message, exitCode};
    };
    return {
        with("UnknownOption", {"--bogus"}, "--bogus is no option of tessel-render", usage),
        with("StrayArgument", {"--seconds", "2", "3"}, "'3' follows no option", usage),
        with("OptionGivenTwice", {"--a", "1", "--a", "2"}, "--a is given 2 times: give it once", usage),
        {"OptionWithoutItsValue", {"--out", "@map.wav", "--seconds"}, "--seconds expects S after it", usage},
        with("WordForVolts", {"--a", "abc"}, "--a: 'abc' is not a number", usage),
        with("TrailingText", {"--seconds", "2x"}, "--seconds: '2x' is not a number", usage),
        with("EmptyNumber", {"--b", ""}, "--b: '' is not a number", usage),
        with("NotANumber", {"--b", "nan"}, "--b: 'nan' is not a finite number", usage),
        with("Infinity", {"--x0", "-inf"}, "--x0: '-inf' is not a finite number", usage),
        with("Overflow", {"--mode", "gated", "--gate-hz", "1e999"}, "--gate-hz: '1e999' is not a finite number",
             usage),
        with("VoltsBeyondFloat", {"--y0", "1e40"}, "--y0: 1e40 V is too large", usage),
        with("ZeroSeconds", {"--seconds", "0"}, "--seconds: 0 is out of range", usage),
        with("NegativeSeconds", {"--seconds", "-1"}, "--seconds: -1 is out of range", usage),
        with("SecondsBeyondCap", {"--seconds", "600.5"}, "--seconds: 600.5 is out of range", usage),
        with("LessThanASample", {"--seconds", "1e-9"}, "shorter than one sample", usage),
        with("RateTooLow", {"--rate", "999"}, "--rate: 999 is out of range", usage),
        with("RateTooHigh", {"--rate", "768001"}, "--rate: 768001 is out of range", usage),
        with("FractionalRate", {"--rate", "44100.5"}, "--rate: '44100.5' is not a whole number", usage),
        with("EmptyBlock", {"--block", "0"}, "--block: 0 is out of range", usage),
        with("BlockBeyondCap", {"--block", "65537"}, "--block: 65537 is out of range", usage),
        with("StoppedGate", {"--mode", "gated", "--gate-hz", "0"}, "--gate-hz: 0 is out of range", usage),
        with("GateAboveHalfTheRate", {"--mode", "gated", "--gate-hz", "22051"}, "--gate-hz: 22051 is out of range",
             usage),
        with("GateWithoutGatedMode", {"--gate-hz", "100"}, "--gate-hz is for gated mode: give --mode gated", usage),
        with("UnknownMode", {"--mode", "fast"}, "--mode", usage),
        with("UnknownSwitchPosition", {"--normalize", "yes"}, "--normalize", usage),
        with("ResetBeforeTheStart", {"--reset-at", "-0.5"}, "--reset-at: -0.5 is outside the render", usage),
        with("ResetAtTheEnd", {"--reset-at", "2"}, "--reset-at: 2 is outside the render", usage),
        {"NothingToWrite", {"--seconds", "1"}, "nothing to write", usage},
        {"WavNamedAsPicture", {"--out", "@map.png"}, "map.png: it writes a WAV file, so give --out FILE.wav", usage},
        {"PictureNamedAsWav", {"--plot", "@map.wav"}, "it writes a PNG picture, so give --plot FILE.png", usage},
        {"StandardOutput", {"--out", "-"}, "--out -: tessel-render writes files, not standard output", usage},
        with("MissingModule", {"--module", "@missing.so"}, "cannot load module library", failure),
        with("LibraryWithoutExports", {"--module", NOT_A_MODULE_PATH}, "is not a module library", failure),
        with("ModuleBreakingTheHostInterface", {"--module", LATE_CLOCK_MODULE_PATH},
             "the module broke the host interface: host call 0", failure),
        with("TextFileAsModule", {"--module", "/etc/hostname"}, "cannot load module library", failure),
        {"MissingWavFolder", {"--out", "@missing/map.wav"}, "does not exist", failure},
        {"MissingPngFolder", {"--plot", "@missing/map.png"}, "does not exist", failure},
        // The chart.
        {"ChartAndTake", {"--chart", "@c.png", "--out", "@map.wav"}, "--out is for a take: it does not go with --chart",
         usage},
        {"ChartAndTakeLength", {"--chart-data", "@c.csv", "--seconds", "1"}, "--seconds is for a take", usage},
        {"ChartOptionWithoutChart", {"--steps", "1000", "--out", "@map.wav"}, "--steps is for a chart", usage},
        {"ChartNamedAsTable", {"--chart", "@c.csv"}, "it writes a PNG picture, so give --chart FILE.png", usage},
        {"TableNamedAsPicture", {"--chart-data", "@c.png"}, "it writes a CSV table, so give --chart-data FILE.csv",
         usage},
        {"ChartUnknownPlane", {"--chart", "@c.png", "--plane", "ba"}, "--plane", usage},
        {"ChartRangeOfTheOtherPlane", {"--chart", "@c.png", "--x0-range", "-1:1"}, "--x0-range does not apply", usage},
        {"ChartFixedValueOfTheOtherPlane", {"--chart", "@c.png", "--plane", "xy", "--x0", "1"}, "--x0 does not apply",
         usage},
        {"ChartRangeWithoutColon", {"--chart", "@c.png", "--b-range", "0.5"}, "--b-range: '0.5' is not a range", usage},
        {"ChartRangeTwoColons", {"--chart", "@c.png", "--b-range", "0:1:2"}, "is not a range", usage},
        {"ChartRangeReversed", {"--chart", "@c.png", "--a-range", "4:-1"}, "--a-range: 4:-1 is empty", usage},
        {"ChartRangeEmpty", {"--chart", "@c.png", "--a-range", "1:1"}, "--a-range: 1:1 is empty", usage},
        {"ChartRangeWord", {"--chart", "@c.png", "--a-range", "low:4"}, "--a-range: 'low' is not a number", usage},
        {"ChartRangeInfinite", {"--chart-data", "@c.csv", "--plane", "xy", "--y0-range", "-inf:0"}, "not a finite",
         usage},
        {"ChartRangeBeyondFloat", {"--chart", "@c.png", "--a-range", "0:1e40"}, "too large for a 32-bit sample",
         usage},
        {"ChartSizeWithoutX", {"--chart", "@c.png", "--size", "600"}, "--size: '600' is not a size", usage},
        {"ChartSizeZero", {"--chart", "@c.png", "--size", "0x10"}, "--size: 0 is out of range", usage},
        {"ChartSizeBeyondCap", {"--chart", "@c.png", "--size", "10x4097"}, "--size: 4097 is out of range", usage},
        {"ChartSizeFraction", {"--chart", "@c.png", "--size", "10.5x10"}, "--size: '10.5' is not a whole number",
         usage},
        {"ChartTooFewSteps", {"--chart", "@c.png", "--steps", "255"}, "--steps: 255 is out of range", usage},
        {"ChartTooManySteps", {"--chart", "@c.png", "--steps", "1000001"}, "--steps: 1000001 is out of range", usage},
        {"ChartRateTooLow", {"--chart", "@c.png", "--rate", "999"}, "--rate: 999 is out of range", usage},
        {"ChartMissingModule", {"--chart", "@c.png", "--module", "@missing.so"}, "cannot load module library",
         failure},
    };
}

INSTANTIATE_TEST_SUITE_P(BadInput, Refusal, ::testing::ValuesIn(badInputs()),
                         [](const ::testing::TestParamInfo<BadInput>& info) { return info.param.name; });

TEST(RefusalOfOutputs, AFolderThatIsAFileIsRefused)
{
    TemporaryFolder folder;
    std::ofstream(folder / "file") << "not a folder";
    const Result result = runTool({"--out", folder / "file/map.wav"});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.err.find("is not a folder"), std::string::npos) << result.err;
    EXPECT_EQ(folder.entries(), std::set<std::string>{"file"});
}

TEST(RefusalOfOutputs, AnUnwritableFolderIsRefused)
{
    TemporaryFolder folder;
    std::string target = folder / "locked/map.wav";
    if (geteuid() == 0) {
        // Root writes through permission bits; sysfs refuses new files even to root.
        struct statfs filesystem;
        if (statfs("/sys", &filesystem) != 0 || filesystem.f_type != 0x62656572)
            GTEST_SKIP() << "running as root without sysfs at /sys";
        target = "/sys/tessel-render-test.wav";
    } else {
        fs::create_directory(folder / "locked");
        fs::permissions(folder / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    }
    const Result result = runTool({"--out", target});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.err.find("is not writable"), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(target));
}

TEST(RefusalOfOutputs, AFailedRenderLeavesAnExistingFileAlone)
{
    TemporaryFolder folder;
    std::ofstream(folder / "map.wav") << "keep";
    const Result result = runTool({"--out", folder / "map.wav", "--module", NOT_A_MODULE_PATH});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_EQ(readText(folder / "map.wav"), "keep");
    EXPECT_EQ(folder.entries(), std::set<std::string>{"map.wav"});
}

TEST(RefusalOfOutputs, ASuccessfulRenderReplacesTheFileAndLeavesNoTemporary)
{
    TemporaryFolder folder;
    std::ofstream(folder / "map.wav") << "old";
    const Result result = runTool({"--seconds", "0.01", "--out", folder / "map.wav", "--plot", folder / "map.png"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(folder.entries(), (std::set<std::string>{"map.png", "map.wav"}));
    EXPECT_EQ(readWav(folder / "map.wav").x.size(), 441u);
    const mode_t mask = umask(0);
    umask(mask);
    struct stat status;
    ASSERT_EQ(stat((folder / "map.png").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0666 & ~mask) << "a new file gets the usual permissions";
}

// --- takes beyond 2 GiB and long charts ---------------------------------------------

// 360 s at 768 kHz: 2.2 GB of samples, beyond 32-bit file offsets.
const std::vector<std::string> kTakeBeyondTwoGiB{"--seconds", "360", "--rate", "768000"};

TEST(LargeTakes, TheOutputFileWritesBeyondTwoGiB)
{
    // A sparse file: the byte past 3 GiB costs one block, not gigabytes.
    TemporaryFolder folder;
    render::OutputFile output(folder / "large.wav");
    const int descriptor = output.takeDescriptor();
    const off_t beyond = off_t{3} << 30;
    ASSERT_EQ(lseek(descriptor, beyond, SEEK_SET), beyond) << std::strerror(errno);
    ASSERT_EQ(write(descriptor, "x", 1), 1) << std::strerror(errno);
    ASSERT_EQ(close(descriptor), 0);
    output.commit();
    EXPECT_EQ(fs::file_size(folder / "large.wav"), uintmax_t(beyond) + 1);
}

TEST(LargeTakes, ATakeBeyondWhatMayBeWrittenIsRefusedBeforeRendering)
{
    TemporaryFolder folder;
    std::vector<std::string> arguments = kTakeBeyondTwoGiB;
    arguments.insert(arguments.end(), {"--out", folder / "large.wav"});
    Surroundings limited;
    limited.fileSizeLimit = uint64_t{1} << 31;
    const Result result = runTool(arguments, limited);
    expectRefusal(result, "large.wav: it needs 2.21 GB, more than the 2.15 GB this process may write", 1);
    EXPECT_TRUE(folder.entries().empty());
}

TEST(LongCharts, SayHowLongBeforeTheyStartAndStopAtCtrlC)
{
    // Hours of work on any machine, in pieces short enough to stop soon.
    TemporaryFolder folder;
    Surroundings interrupting;
    interrupting.interruptOnSeeing = "Ctrl-C stops it\n";
    const Result result =
        runTool({"--chart-data", folder / "chart.csv", "--size", "4096x4096", "--steps", "131072"}, interrupting);
    EXPECT_EQ(result.exitCode, 1);
    const std::vector<std::string> said = lines(result.err);
    ASSERT_EQ(said.size(), 2u) << result.err;
    EXPECT_TRUE(said[0].starts_with("tessel-render: 4096x4096 points of 131072 steps will take about ")) << said[0];
    EXPECT_EQ(said[1], "tessel-render: interrupted; nothing written");
    EXPECT_TRUE(folder.entries().empty());
}

// --- what an output names ------------------------------------------------------------

// What a path case lays out in its folder before the tool runs.
struct Laid {
    enum Kind { File, PrivateFile, ReadOnlyFile, Folder, Symlink, HardLink, ModuleCopy, Fifo, Device } kind;
    std::string path;    // in the folder
    std::string target;  // a file's text, a symbolic link's target as written, a hard link's file in the folder
};

struct PathCase {
    std::string name;
    std::vector<Laid> layout;
    std::vector<std::string> arguments;  // run in the folder; "@name" stands for that name's absolute path
    std::string error;                   // part of the one error line; empty: the outputs are written
    std::vector<std::string> written;    // without an error, the files the tool must write
    std::string defaultModule;           // in the folder: the library the tool hosts without --module
};

void PrintTo(const PathCase& pathCase, std::ostream* os) { *os << pathCase.name; }

// " mode 644": the end of a file's entry in contentsOf().
std::string permissionsOf(const std::string& path)
{
    char mode[16];
    std::snprintf(mode, sizeof mode, " mode %03o", static_cast<unsigned>(fs::status(path).permissions()));
    return mode;
}

// Lays out the folder; says why it cannot, where this system forbids a part of it.
std::string layOut(const TemporaryFolder& folder, const std::vector<Laid>& layout)
{
    for (const Laid& laid : layout) {
        const std::string path = folder / laid.path;
        switch (laid.kind) {
        case Laid::File: std::ofstream(path) << laid.target; break;
        case Laid::PrivateFile:
            std::ofstream(path) << laid.target;
            fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
            break;
        case Laid::ReadOnlyFile:
            std::ofstream(path) << laid.target;
            fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
            break;
        case Laid::Folder: fs::create_directory(path); break;
        case Laid::Symlink: fs::create_symlink(laid.target, path); break;
        case Laid::HardLink: fs::create_hard_link(folder / laid.target, path); break;
        case Laid::ModuleCopy: fs::copy_file(host::builtModulePath(), path); break;
        case Laid::Fifo: mkfifo(path.c_str(), 0666); break;
        case Laid::Device:  // the null device's numbers
            if (mknod(path.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
                return std::string("mknod may not make a device here: ") + std::strerror(errno);
            break;
        }
    }
    return "";
}

// Every entry under the folder, without following links: a file's contents
// and permissions, a symbolic link's target, or what else it is.
std::map<std::string, std::string> contentsOf(const TemporaryFolder& folder)
{
    std::map<std::string, std::string> contents;
    for (const auto& entry : fs::recursive_directory_iterator(folder.path)) {
        const std::string name = entry.path().lexically_relative(folder.path).string();
        if (entry.is_symlink())
            contents[name] = "symbolic link to " + fs::read_symlink(entry.path()).string();
        else if (entry.is_directory())
            contents[name] = "folder";
        else if (!entry.is_regular_file())
            contents[name] = "neither file nor folder";
        else
            contents[name] = readText(entry.path().string()) + permissionsOf(entry.path().string());
    }
    return contents;
}

class OutputPaths : public ::testing::TestWithParam<PathCase> {};

TEST_P(OutputPaths, RefusedBeforeAnythingIsWrittenOrWrittenWhereTheyLand)
{
    const PathCase& pathCase = GetParam();
    TemporaryFolder folder;
    if (const std::string forbidden = layOut(folder, pathCase.layout); !forbidden.empty()) GTEST_SKIP() << forbidden;
    Surroundings surroundings;
    surroundings.workingFolder = folder.path.string();
    if (!pathCase.defaultModule.empty())
        surroundings.environment = {"TESSEL_MODULE=" + (folder / pathCase.defaultModule)};

    const std::map<std::string, std::string> before = contentsOf(folder);
    const Result result = runTool(inFolder(pathCase.arguments, folder), surroundings);
    if (!pathCase.error.empty()) {
        expectRefusal(result, pathCase.error, 1);
        EXPECT_EQ(contentsOf(folder), before) << "nothing written, nothing replaced";
        return;
    }
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::map<std::string, std::string> after = contentsOf(folder), untouched = before;
    for (const std::string& name : pathCase.written) {
        EXPECT_FALSE(after[name].empty()) << name << " was not written";
        EXPECT_NE(after[name], untouched[name]) << name << " was not replaced";
        const auto permissions = [](const std::string& entry) { return entry.substr(entry.rfind(" mode ")); };
        if (before.count(name) > 0) {
            EXPECT_EQ(permissions(after[name]), permissions(untouched[name])) << name << " lost its permissions";
        }
        after.erase(name);
        untouched.erase(name);
    }
    EXPECT_EQ(after, untouched) << "only the outputs change";
}

std::vector<PathCase> pathCases()
{
    const std::string same = "name the same file: give two different files";
    const std::string module = "is the module library being hosted";
    const Laid real{Laid::Folder, "real", ""};
    const Laid link{Laid::Symlink, "link", "real"};
    const Laid library{Laid::ModuleCopy, "module.so", ""};
    auto refused = [](std::string name, std::vector<Laid> layout, std::vector<std::string> arguments,
                      std::string error, std::string defaultModule = "") {
        return PathCase{name, layout, arguments, error, {}, defaultModule};
    };
    // Outputs that can be written are, where they land; small takes and charts.
    auto works = [](std::string name, std::vector<Laid> layout, std::vector<std::string> arguments,
                    std::vector<std::string> written) {
        const bool chart = arguments.front().starts_with("--chart");
        const std::vector<std::string> small = chart ? std::vector<std::string>{"--size", "2x2", "--steps", "256"}
                                                     : std::vector<std::string>{"--seconds", "0.01"};
        arguments.insert(arguments.end(), small.begin(), small.end());
        return PathCase{name, layout, arguments, "", written, ""};
    };
    return {
        // One file named twice.
        refused("LinkToTheOtherOutput", {{Laid::Symlink, "a.png", "a.wav"}}, {"--out", "a.wav", "--plot", "a.png"},
                "--out a.wav and --plot a.png " + same),
        refused("LinkToAnExistingFile", {{Laid::File, "a.wav", "keep"}, {Laid::Symlink, "a.png", "a.wav"}},
                {"--out", "./a.wav", "--plot", "@a.png"}, same),
        refused("LinkThroughAParentFolder", {real, {Laid::Symlink, "real/a.png", "../a.wav"}},
                {"--out", "a.wav", "--plot", "real/a.png"}, same),
        refused("LinkThroughASymlinkedFolder", {real, link, {Laid::Symlink, "a.png", "link/a.wav"}},
                {"--out", "real/a.wav", "--plot", "a.png"}, same),
        refused("HardLink", {{Laid::File, "a.wav", "keep"}, {Laid::HardLink, "b.png", "a.wav"}},
                {"--out", "a.wav", "--plot", "b.png"}, "--out a.wav and --plot b.png " + same),
        refused("ChartLinkToTheTable", {{Laid::Symlink, "c.png", "./c.csv"}},
                {"--chart", "c.png", "--chart-data", "c.csv"}, same),
        refused("ChartHardLink", {{Laid::File, "c.csv", "keep"}, {Laid::HardLink, "c.png", "c.csv"}},
                {"--chart", "c.png", "--chart-data", "c.csv"}, same),
        refused("OutputOntoTheModule", {library, {Laid::Symlink, "lib.wav", "module.so"}},
                {"--module", "./module.so", "--out", "lib.wav"}, "--out: lib.wav " + module),
        refused("PlotOntoTheDefaultModule", {library, {Laid::Symlink, "lib.png", "module.so"}}, {"--plot", "./lib.png"},
                module, "module.so"),
        refused("ChartDataOntoTheModuleByHardLink", {library, {Laid::HardLink, "lib.csv", "module.so"}},
                {"--module", "./module.so", "--chart-data", "lib.csv"}, "--chart-data: lib.csv " + module),
        // What is no regular file, or may not be written.
        refused("Folder", {{Laid::Folder, "a.wav", ""}}, {"--out", "a.wav"}, "cannot write a.wav: it is a folder"),
        refused("Fifo", {{Laid::Fifo, "a.wav", ""}}, {"--out", "a.wav"}, "it is a FIFO (named pipe)"),
        refused("Device", {{Laid::Device, "a.png", ""}}, {"--plot", "a.png"}, "it is a character device"),
        refused("LinkToADevice", {{Laid::Symlink, "a.wav", "/dev/null"}}, {"--out", "a.wav"},
                "it links to /dev/null, a character device"),
        refused("LinkToAFolder", {real, {Laid::Symlink, "c.csv", "real"}}, {"--chart-data", "c.csv"},
                "it links to real, a folder"),
        refused("ReadOnlyFile", {{Laid::ReadOnlyFile, "a.wav", "keep"}}, {"--out", "a.wav"},
                "cannot write a.wav: it is read-only (mode 444)"),
        refused("LinkToAReadOnlyFile", {{Laid::ReadOnlyFile, "a.wav", "keep"}, {Laid::Symlink, "b.wav", "a.wav"}},
                {"--out", "b.wav"}, "it links to a.wav, read-only"),
        refused("LinkLoop", {{Laid::Symlink, "a.wav", "b.wav"}, {Laid::Symlink, "b.wav", "a.wav"}},
                {"--out", "a.wav"}, "its symbolic links go round in a loop"),
        // Written.
        works("DistinctFiles", {}, {"--out", "a.wav", "--plot", "a.png"}, {"a.wav", "a.png"}),
        works("ReplacesAFileKeepingItsPermissions", {{Laid::PrivateFile, "a.wav", "old"}}, {"--out", "a.wav"},
              {"a.wav"}),
        works("DistinctThroughASymlinkedFolder", {real, link, {Laid::File, "real/a.wav", "old"}},
              {"--out", "link/a.wav", "--plot", "real/a.png"}, {"real/a.wav", "real/a.png"}),
        works("ThroughALinkThatStaysALink",
              {real, {Laid::File, "real/a.wav", "old"}, {Laid::Symlink, "a.wav", "real/a.wav"}}, {"--out", "a.wav"},
              {"real/a.wav"}),
        works("ThroughALinkToALink", {{Laid::File, "a.wav", "old"}, {Laid::Symlink, "b.wav", "a.wav"},
              {Laid::Symlink, "c.wav", "b.wav"}}, {"--out", "c.wav"}, {"a.wav"}),
        works("DanglingLinkCreatesItsTarget", {real, {Laid::Symlink, "c.csv", "real/table.csv"}},
              {"--chart-data", "c.csv"}, {"real/table.csv"}),
        works("ModuleNameInAnotherFolder", {real, library}, {"--out", "real/module.wav", "--module", "./module.so"},
              {"real/module.wav"}),
        works("ChartDistinctFiles", {}, {"--chart", "c.png", "--chart-data", "c.csv"}, {"c.png", "c.csv"}),
    };
}

INSTANTIATE_TEST_SUITE_P(Outputs, OutputPaths, ::testing::ValuesIn(pathCases()),
                         [](const ::testing::TestParamInfo<PathCase>& info) { return info.param.name; });
