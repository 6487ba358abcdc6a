// tessel-render's refusals of bad input, each before anything is written,
// and the takes and charts too large to make without asking.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tool_run.h"
#include "tools/command_line/output_file.h"

namespace fs = std::filesystem;

namespace {

using namespace tool_run;

// --- bad input ----------------------------------------------------------------

struct BadInput {
    std::string name;
    std::vector<std::string> arguments;  // "@name" stands for that name in the test's folder
    std::string message;                 // part of the one error line
    int exitCode;                        // 2: the command line is wrong; 1: the work failed
};

void PrintTo(const BadInput& input, std::ostream* os) { *os << input.name; }

class Refusal : public ::testing::TestWithParam<BadInput> {};

// Each folder holds "in.wav", a second at 44100 Hz for a patched input.
TEST_P(Refusal, OneLineItsExitCodeAndNoFile)
{
    TemporaryFolder folder;
    writeWav(folder / "in.wav", std::vector<float>(44100, 0.1f));
    const Result result = runTool(inFolder(GetParam().arguments, folder));

    expectRefusal(result, GetParam().message, GetParam().exitCode);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(folder.entries(), std::set<std::string>{"in.wav"});
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
        with("Overflow", {"--mode", "gated", "--gate-hz", "1e999"}, "--gate-hz: '1e999' is not a finite number", usage),
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
        // Patched inputs: signals, a Reset clock and WAV files.
        with("MalformedSignal", {"--a", "sine:1:2"}, "--a: 'sine:1:2' is malformed: give sine:CENTRE:DEPTH:HZ", usage),
        with("UnknownShape", {"--b", "wobble:1:2:3"}, "--b: 'wobble:1:2:3' has an unknown shape 'wobble'", usage),
        with("SignalAboveHalfTheRate", {"--x0", "square:0:1:22051"}, "--x0: 'square:0:1:22051': HZ 22051 is out",
             usage),
        with("StepBeyondFloat", {"--y0", "steps:1,1e40@2"}, "--y0: 'steps:1,1e40@2': V2 1e40 V is too large", usage),
        with("StoppedResetClock", {"--reset-hz", "0"}, "--reset-hz: 0 is out of range", usage),
        with("TwoSourcesForA", {"--a", "1", "--input", "a=@in.wav"}, "--a drives a already: give one source", usage),
        with("TwoFilesForX0", {"--input", "x0=@in.wav", "--input", "x0=@in.wav"}, "another --input drives x0", usage),
        with("ResetFileAndPulses", {"--reset-at", "0.1", "--input", "reset=@in.wav"}, "drives reset already", usage),
        with("GateFileContinuous", {"--input", "gate=@in.wav"}, "a Gate from a file is for gated mode", usage),
        with("GateFileAndClock", {"--mode", "gated", "--gate-hz", "10", "--input", "gate=@in.wav"},
             "--gate-hz drives gate already", usage),
        with("AbsentInputChannel", {"--input", "b=@in.wav:2"}, "in.wav' has 1 channel, no channel 2", usage),
        with("InputAtAnotherRate", {"--rate", "48000", "--input", "b=@in.wav"}, "is at 44100 Hz, the take at 48000",
             usage),
        with("MissingInput", {"--input", "b=@none.wav"}, "none.wav': No such file", usage),
        {"OutputOntoAnInput", {"--input", "b=@in.wav", "--out", "@in.wav"}, "in.wav is the file of --input b=", usage},
        // The chart.
        {"ChartMovingX0", {"--chart", "@c.png", "--x0", "sine:0:1:1"}, "--x0 sine:0:1:1 moves", usage},
        {"ChartPathOverXy",
         {"--chart", "@c.png", "--plane", "xy", "--a", "sine:1:0.2:1"},
         "--plane xy does not go with a moving --a",
         usage},
        {"ChartResetClock", {"--chart", "@c.png", "--reset-hz", "3"}, "--reset-hz is for a take", usage},
        {"ChartAndTake",
         {"--chart", "@c.png", "--out", "@map.wav"},
         "--out is for a take: it does not go with --chart",
         usage},
        {"ChartAndTakeLength", {"--chart-data", "@c.csv", "--seconds", "1"}, "--seconds is for a take", usage},
        {"ChartOptionWithoutChart", {"--steps", "1000", "--out", "@map.wav"}, "--steps is for a chart", usage},
        {"ChartNamedAsTable", {"--chart", "@c.csv"}, "it writes a PNG picture, so give --chart FILE.png", usage},
        {"TableNamedAsPicture",
         {"--chart-data", "@c.png"},
         "it writes a CSV table, so give --chart-data FILE.csv",
         usage},
        {"ChartUnknownPlane", {"--chart", "@c.png", "--plane", "ba"}, "--plane", usage},
        {"ChartRangeOfTheOtherPlane", {"--chart", "@c.png", "--x0-range", "-1:1"}, "--x0-range does not apply", usage},
        {"ChartFixedValueOfTheOtherPlane",
         {"--chart", "@c.png", "--plane", "xy", "--x0", "1"},
         "--x0 does not apply",
         usage},
        {"ChartRangeWithoutColon", {"--chart", "@c.png", "--b-range", "0.5"}, "--b-range: '0.5' is not a range", usage},
        {"ChartRangeTwoColons", {"--chart", "@c.png", "--b-range", "0:1:2"}, "is not a range", usage},
        {"ChartRangeReversed", {"--chart", "@c.png", "--a-range", "4:-1"}, "--a-range: 4:-1 is empty", usage},
        {"ChartRangeEmpty", {"--chart", "@c.png", "--a-range", "1:1"}, "--a-range: 1:1 is empty", usage},
        {"ChartRangeWord", {"--chart", "@c.png", "--a-range", "low:4"}, "--a-range: 'low' is not a number", usage},
        {"ChartRangeInfinite",
         {"--chart-data", "@c.csv", "--plane", "xy", "--y0-range", "-inf:0"},
         "not a finite",
         usage},
        {"ChartRangeBeyondFloat", {"--chart", "@c.png", "--a-range", "0:1e40"}, "too large for a 32-bit sample", usage},
        {"ChartSizeWithoutX", {"--chart", "@c.png", "--size", "600"}, "--size: '600' is not a size", usage},
        {"ChartSizeZero", {"--chart", "@c.png", "--size", "0x10"}, "--size: 0 is out of range", usage},
        {"ChartSizeBeyondCap", {"--chart", "@c.png", "--size", "10x4097"}, "--size: 4097 is out of range", usage},
        {"ChartSizeFraction",
         {"--chart", "@c.png", "--size", "10.5x10"},
         "--size: '10.5' is not a whole number",
         usage},
        {"ChartTooFewSteps", {"--chart", "@c.png", "--steps", "255"}, "--steps: 255 is out of range", usage},
        {"ChartTooManySteps", {"--chart", "@c.png", "--steps", "1000001"}, "--steps: 1000001 is out of range", usage},
        {"ChartRateTooLow", {"--chart", "@c.png", "--rate", "999"}, "--rate: 999 is out of range", usage},
        {"ChartMissingModule", {"--chart", "@c.png", "--module", "@missing.so"}, "cannot load module library", failure},
        {"ChartModuleBreakingTheHostInterface",
         {"--chart-data", "@c.csv", "--module", LATE_CLOCK_MODULE_PATH},
         "the module broke the host interface: host call 0",
         failure},
        {"BandWithPicture", {"--chart", "@c.png", "--rows", "0:1"}, "--rows goes with --chart-data alone", usage},
        {"BandWithoutColon", {"--chart-data", "@c.csv", "--rows", "5"}, "--rows: '5' is not a band", usage},
        {"BandEmpty",
         {"--chart-data", "@c.csv", "--size", "10x10", "--rows", "3:3"},
         "--rows: 3 is out of range",
         usage},
        {"BandAboveTheTop",
         {"--chart-data", "@c.csv", "--size", "10x10", "--rows", "9:11"},
         "--rows: 11 is out of range",
         usage},
        {"BandWithoutChart", {"--rows", "0:1", "--out", "@map.wav"}, "--rows is for a chart", usage},
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
    command_line::OutputFile output(folder / "large.wav");
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
    const Result result = runTool({"--chart-data", folder / "chart.csv", "--size", "4096x4096", "--steps", "131072"},
                                  interrupting);
    EXPECT_EQ(result.exitCode, 1);
    const std::vector<std::string> said = lines(result.err);
    ASSERT_EQ(said.size(), 2u) << result.err;
    EXPECT_TRUE(said[0].starts_with("tessel-render: 4096x4096 points of 131072 steps will take about ")) << said[0];
    EXPECT_EQ(said[1], "tessel-render: interrupted; nothing written");
    EXPECT_TRUE(folder.entries().empty());
}

}  // namespace
