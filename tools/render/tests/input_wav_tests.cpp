// Inputs from WAV files: the option's grammar, what a channel gives the pin,
// and the files refused before a take starts.
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sndfile.h>

#include "generator/map_step.h"
#include "host/emulator/hosted_module.h"
#include "host/session/drive.h"
#include "host/session/session.h"
#include "tools/command_line/tests/tool_run.h"
#include "tools/render/input_wav.h"

using namespace tessel;
using render::InputOption;
using render::parseInputOption;
using tool_run::TemporaryFolder;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();

uint32_t bitsOf(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// --- the option ---------------------------------------------------------------------

struct Option {
    std::string text;
    std::string message;  // empty: accepted, as the rest of the row says
    MapPin pin = GatePin;
    std::string path = "";
    int32_t channel = 1;
};

void PrintTo(const Option& value, std::ostream* out) { *out << value.text; }

class InputOptionText : public testing::TestWithParam<Option> {};

TEST_P(InputOptionText, NamesPinFileAndChannelOrWhatIsExpected)
{
    const Option& option = GetParam();
    const render::InputOptionParse parse = parseInputOption(option.text);
    if (!option.message.empty()) {
        EXPECT_NE(parse.error.find(option.message), std::string::npos) << parse.error;
        return;
    }
    ASSERT_TRUE(parse.ok()) << parse.error;
    EXPECT_EQ(parse.input.pin, option.pin);
    EXPECT_EQ(parse.input.path, option.path);
    EXPECT_EQ(parse.input.channel, option.channel);
    EXPECT_EQ(render::inputPinName(parse.input.pin), option.text.substr(0, option.text.find('=')));
}

INSTANTIATE_TEST_SUITE_P(
    InputWav, InputOptionText,
    testing::Values(Option{"a=lfo.wav", "", APin, "lfo.wav", 1},
                    Option{"gate=clocks/c.wav:2", "", GatePin, "clocks/c.wav", 2},
                    Option{"x0=seq:3.wav:12", "", X0Pin, "seq:3.wav", 12},
                    Option{"y0=a=b.wav:01", "", Y0Pin, "a=b.wav", 1},
                    Option{"lfo.wav", "'lfo.wav' is malformed: give PIN=FILE.wav[:CHANNEL]"},
                    Option{"x=lfo.wav", "'x' is not an input: give gate, reset, x0, y0, a or b"},
                    Option{"a=:2", "'a=:2' names no file"}, Option{"a=lfo.wav:", "has no CHANNEL after ':'"},
                    Option{"a=lfo.wav:0", "channel 0 is out of range: channels are counted from 1"},
                    Option{"a=lfo.wav:99999999999", "channel 99999999999 is out of range"}));

// --- reading a channel ---------------------------------------------------------------

struct WavFile {
    int32_t rate = 48000;
    int32_t channels = 1;
    int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    std::vector<float> interleaved;
};

void write(const std::string& path, const WavFile& wav)
{
    SF_INFO info{};
    info.samplerate = wav.rate;
    info.channels = wav.channels;
    info.format = wav.format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    // An integer file's samples are given as the integers themselves.
    if ((wav.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16) sf_command(file, SFC_SET_NORM_FLOAT, nullptr, SF_FALSE);
    sf_writef_float(file, wav.interleaved.data(), static_cast<sf_count_t>(wav.interleaved.size()) / wav.channels);
    sf_close(file);
}

render::InputWavOpen openIn(const TemporaryFolder& folder, const WavFile& wav, int32_t channel, int64_t takeSamples)
{
    write(folder / "in.wav", wav);
    return render::openInputWav(InputOption{APin, folder / "in.wav", channel}, 48000, takeSamples);
}

std::vector<float> wholeTake(render::InputWav& input, int64_t takeSamples, int32_t block)
{
    std::vector<float> take(static_cast<size_t>(takeSamples));
    for (int64_t start = 0; start < takeSamples; start += block)
        input.fill(start, take.data() + start, static_cast<int32_t>(std::min<int64_t>(block, takeSamples - start)));
    return take;
}

struct Heard {
    std::string name;
    WavFile wav;
    int32_t channel;
    std::vector<float> take;  // what the pin gets
    bool holds = false;
    bool moves = true;
    std::string message = "";  // why the file is refused before the take
};

void PrintTo(const Heard& value, std::ostream* out) { *out << value.name; }

class WavChannel : public testing::TestWithParam<Heard> {};

TEST_P(WavChannel, GivesThePinItsSamplesOrIsRefusedBeforeTheTake)
{
    TemporaryFolder folder;
    const Heard& heard = GetParam();
    const auto takeSamples = static_cast<int64_t>(heard.take.size());
    render::InputWavOpen open = openIn(folder, heard.wav, heard.channel, takeSamples);
    if (!heard.message.empty()) {
        EXPECT_FALSE(open.input);
        EXPECT_NE(open.error.find(heard.message), std::string::npos) << open.error;
        return;
    }
    ASSERT_TRUE(open.ok()) << open.error;
    EXPECT_EQ(open.input->holdsLastSample(), heard.holds);
    EXPECT_EQ(open.input->moves(), heard.moves);
    for (int32_t block : {1000, 2, 1}) {
        const std::vector<float> take = wholeTake(*open.input, takeSamples, block);
        for (size_t i = 0; i < take.size(); ++i)
            ASSERT_EQ(bitsOf(take[i]), bitsOf(heard.take[i])) << "blocks of " << block << ", sample " << i;
    }
}

std::vector<float> ramp(int count, float step)
{
    std::vector<float> values;
    for (int i = 0; i < count; ++i) values.push_back(static_cast<float>(i) * step);
    return values;
}

INSTANTIATE_TEST_SUITE_P(
    InputWav, WavChannel,
    testing::Values(
        Heard{"Mono", {.interleaved{0.14f, -0.2f, 3.0f}}, 1, {0.14f, -0.2f, 3.0f}, false},
        Heard{"SecondOfTwo", {.channels = 2, .interleaved{1, 0.1f, 2, 0.2f, 3, 0.3f}}, 2, {0.1f, 0.2f, 0.3f}, false},
        Heard{"ShorterHoldsItsLast", {.interleaved{0.1f, 0.25f}}, 1, {0.1f, 0.25f, 0.25f, 0.25f, 0.25f}, true},
        Heard{"LongerIsCutBeforeItsNaN", {.interleaved{1, 2, kNaN}}, 1, {1, 2}, false},
        Heard{"IntegerFullScaleIsTenVolts",
              {.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16, .interleaved{16384, -32768, 32767}},
              1,
              {0.5f, -1.0f, 32767.0f / 32768.0f},
              false},
        Heard{"ManyChunks", {.interleaved = ramp(10000, 0.0001f)}, 1, ramp(10000, 0.0001f), false},
        Heard{"OneValueHeld", {.interleaved{0.5f, 0.5f}}, 1, {0.5f, 0.5f, 0.5f}, true, false},
        Heard{"MovesBeyondTheTakeOnly", {.interleaved{-0.0f, -0.0f, 1}}, 1, {-0.0f, -0.0f}, false, false},
        Heard{"SignOfZero", {.interleaved{0.0f, -0.0f}}, 1, {0.0f, -0.0f}},
        Heard{"OtherRate",
              {.rate = 44100, .interleaved{0}},
              1,
              {0},
              false,
              false,
              "is at 44100 Hz, the take at 48000 Hz: give a file at the take's rate"},
        Heard{
            "AbsentChannel", {.channels = 2, .interleaved{0, 0}}, 3, {0}, false, false, "has 2 channels, no channel 3"},
        Heard{"Aiff",
              {.format = SF_FORMAT_AIFF | SF_FORMAT_FLOAT, .interleaved{0}},
              1,
              {0},
              false,
              false,
              "is not a WAV file"},
        Heard{"Empty", {}, 1, {0}, false, false, "has no samples"},
        Heard{"NaN", {.interleaved{0, 1, kNaN}}, 1, {0, 0, 0}, false, false, "has NaN at sample 2 of channel 1"},
        Heard{"Infinity",
              {.channels = 2, .interleaved{0, 0, 0, -kInfinity}},
              2,
              {0, 0},
              false,
              false,
              "has infinity at sample 1 of channel 2"}),
    [](const testing::TestParamInfo<Heard>& info) { return info.param.name; });

TEST(InputWav, RefusesWhatIsNoWavFile)
{
    TemporaryFolder folder;
    std::ofstream(folder / "text.wav") << "RIFF? no, a line of text\n";
    const render::InputWavOpen text = render::openInputWav(InputOption{GatePin, folder / "text.wav", 1}, 48000, 10);
    EXPECT_NE(text.error.find("'" + folder / "text.wav" + "' is not a WAV file"), std::string::npos) << text.error;
    const render::InputWavOpen absent = render::openInputWav(InputOption{GatePin, folder / "none.wav", 1}, 48000, 10);
    EXPECT_NE(absent.error.find("cannot open '" + folder / "none.wav" + "': No such file"), std::string::npos)
        << absent.error;
}

// --- a Gate from a file -------------------------------------------------------------

struct GateFile {
    std::string name;
    std::vector<float> gate;  // the file's samples
    int64_t takeSamples;
    std::vector<int64_t> edges;  // the samples at which the map steps
};

void PrintTo(const GateFile& value, std::ostream* out) { *out << value.name; }

class WavGate : public testing::TestWithParam<GateFile> {};

// In Gated mode the k-th rising edge of the file's Gate shows the k-th
// iterate of the map from x0 = y0 = 0, held until the next edge; the pin is
// announced streaming only if the file moves within the take.
TEST_P(WavGate, StepsTheMapAtItsRisingEdges)
{
    const GateFile& file = GetParam();
    TemporaryFolder folder;
    write(folder / "gate.wav", {.interleaved = file.gate});
    render::InputWavOpen open = render::openInputWav(InputOption{GatePin, folder / "gate.wav", 1}, 48000,
                                                     file.takeSamples);
    ASSERT_TRUE(open.ok()) << open.error;
    render::InputWav& gate = *open.input;
    host::Constant a(host::signalFromVolts(1.4)), b(host::signalFromVolts(0.3));
    host::HostedModule module;
    host::Session session(module, 48000, 4);
    session.feed(GatePin, gate);
    session.feed(APin, a);
    session.feed(BPin, b);
    session.setList(ModePin, Gated);
    session.setList(NormalizePin, 0);
    session.open();
    EXPECT_EQ(module.events.size(), gate.moves() ? 1u : 0u);

    float x = 0.0f, y = 0.0f;
    size_t edge = 0;
    session.render(file.takeSamples, [&](int64_t start, const float* xOut, const float* yOut, int32_t count) {
        for (int32_t i = 0; i < count; ++i) {
            if (edge < file.edges.size() && file.edges[edge] == start + i) {
                ++edge;
                tessel::mapStep(x, y, a.value(), b.value(), x, y);
            }
            ASSERT_EQ(bitsOf(xOut[i]), bitsOf(x)) << "sample " << start + i;
            ASSERT_EQ(bitsOf(yOut[i]), bitsOf(y)) << "sample " << start + i;
        }
    });
}

INSTANTIATE_TEST_SUITE_P(
    InputWav, WavGate,
    testing::Values(GateFile{"Pulses", {0, 0.5f, 0.5f, 0, -1, 1, 0, -0.0f, 0.2f, 0.3f, 0, 0.1f}, 12, {1, 5, 8, 11}},
                    GateFile{"ShorterHoldsItsLastHigh", {0, 0, 0.5f}, 9, {2}},
                    GateFile{"HeldHighRisesOnceAtTheStart", {0.5f, 0.5f}, 6, {0}}),
    [](const testing::TestParamInfo<GateFile>& info) { return info.param.name; });

}  // namespace
