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

#include "input_wav.h"
#include "tool_run.h"

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
    MapPin pin;
    std::string path;
    int32_t channel;
};

void PrintTo(const Option& value, std::ostream* out) { *out << value.text; }

class GoodInputOption : public testing::TestWithParam<Option> {};

TEST_P(GoodInputOption, NamesPinFileAndChannel)
{
    const render::InputOptionParse parse = parseInputOption(GetParam().text);
    ASSERT_TRUE(parse.ok()) << parse.error;
    EXPECT_EQ(parse.input.pin, GetParam().pin);
    EXPECT_EQ(parse.input.path, GetParam().path);
    EXPECT_EQ(parse.input.channel, GetParam().channel);
    EXPECT_EQ(render::inputPinName(parse.input.pin), GetParam().text.substr(0, GetParam().text.find('=')));
}

INSTANTIATE_TEST_SUITE_P(InputWav, GoodInputOption,
                         testing::Values(Option{"a=lfo.wav", APin, "lfo.wav", 1},
                                         Option{"gate=clocks/c.wav:2", GatePin, "clocks/c.wav", 2},
                                         Option{"reset=take:one.wav", ResetPin, "take:one.wav", 1},
                                         Option{"x0=seq:3.wav:12", X0Pin, "seq:3.wav", 12},
                                         Option{"y0=a=b.wav:01", Y0Pin, "a=b.wav", 1},
                                         Option{"b=b.wav", BPin, "b.wav", 1}));

struct BadOption {
    std::string text;
    std::string message;
};

void PrintTo(const BadOption& value, std::ostream* out) { *out << value.text; }

class BadInputOption : public testing::TestWithParam<BadOption> {};

TEST_P(BadInputOption, SaysWhatIsExpected)
{
    const render::InputOptionParse parse = parseInputOption(GetParam().text);
    ASSERT_FALSE(parse.ok()) << GetParam().text;
    EXPECT_NE(parse.error.find(GetParam().message), std::string::npos) << parse.error;
}

INSTANTIATE_TEST_SUITE_P(
    InputWav, BadInputOption,
    testing::Values(BadOption{"lfo.wav", "'lfo.wav' is malformed: give PIN=FILE.wav[:CHANNEL]"},
                    BadOption{"x=lfo.wav", "'x' is not an input: give gate, reset, x0, y0, a or b"},
                    BadOption{"A=lfo.wav", "'A' is not an input"},
                    BadOption{"a=", "'a=' names no file"}, BadOption{"a=:2", "names no file"},
                    BadOption{"a=lfo.wav:", "has no CHANNEL after ':'"},
                    BadOption{"a=lfo.wav:0", "channel 0 is out of range: channels are counted from 1"},
                    BadOption{"a=lfo.wav:99999999999", "channel 99999999999 is out of range"}));

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
        input.fill(take.data() + start, static_cast<int32_t>(std::min<int64_t>(block, takeSamples - start)), start);
    return take;
}

struct Heard {
    std::string name;
    WavFile wav;
    int32_t channel;
    std::vector<float> take;  // what the pin gets
    bool holds;
    bool moves = true;
};

void PrintTo(const Heard& value, std::ostream* out) { *out << value.name; }

class WavChannel : public testing::TestWithParam<Heard> {};

TEST_P(WavChannel, GivesThePinItsSamples)
{
    TemporaryFolder folder;
    const Heard& heard = GetParam();
    const auto takeSamples = static_cast<int64_t>(heard.take.size());
    render::InputWavOpen open = openIn(folder, heard.wav, heard.channel, takeSamples);
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
    testing::Values(Heard{"Mono", {.interleaved{0.14f, -0.2f, 3.0f}}, 1, {0.14f, -0.2f, 3.0f}, false},
                    Heard{"SecondOfTwo", {.channels = 2, .interleaved{1, 0.1f, 2, 0.2f, 3, 0.3f}}, 2,
                          {0.1f, 0.2f, 0.3f}, false},
                    Heard{"ShorterHoldsItsLast", {.interleaved{0.1f, 0.25f}}, 1, {0.1f, 0.25f, 0.25f, 0.25f, 0.25f}, true},
                    Heard{"LongerIsCut", {.interleaved{1, 2, 3, 4, 5, 6}}, 1, {1, 2, 3}, false},
                    Heard{"IntegerFullScaleIsTenVolts", {.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16,
                                                        .interleaved{16384, -32768, 32767}},
                          1, {0.5f, -1.0f, 32767.0f / 32768.0f}, false},
                    Heard{"ManyChunks", {.interleaved = ramp(10000, 0.0001f)}, 1, ramp(10000, 0.0001f), false},
                    Heard{"OneValueHeld", {.interleaved{0.5f, 0.5f}}, 1, {0.5f, 0.5f, 0.5f}, true, false},
                    Heard{"MovesBeyondTheTakeOnly", {.interleaved{-0.0f, -0.0f, 1}}, 1, {-0.0f, -0.0f}, false, false},
                    Heard{"SignOfZero", {.interleaved{0.0f, -0.0f}}, 1, {0.0f, -0.0f}, false, true}),
    [](const testing::TestParamInfo<Heard>& info) { return info.param.name; });

TEST(InputWav, ReadsWhereverTheTakeAsks)
{
    TemporaryFolder folder;
    render::InputWavOpen open = openIn(folder, {.interleaved = ramp(9000, 1.0f)}, 1, 10000);
    ASSERT_TRUE(open.ok()) << open.error;
    std::vector<float> block(3);
    for (int64_t start : {8000, 5, 8998, 0, 9500}) {
        open.input->fill(block.data(), 3, start);
        for (int64_t i = 0; i < 3; ++i)
            EXPECT_EQ(block[i], static_cast<float>(std::min<int64_t>(start + i, 8999))) << start + i;
    }
}

struct BadWav {
    std::string name;
    WavFile wav;
    int32_t channel;
    std::string message;
};

void PrintTo(const BadWav& value, std::ostream* out) { *out << value.name; }

class RefusedWav : public testing::TestWithParam<BadWav> {};

TEST_P(RefusedWav, BeforeTheTake)
{
    TemporaryFolder folder;
    const render::InputWavOpen open = openIn(folder, GetParam().wav, GetParam().channel, 100);
    EXPECT_FALSE(open.input);
    EXPECT_NE(open.error.find(GetParam().message), std::string::npos) << open.error;
}

INSTANTIATE_TEST_SUITE_P(
    InputWav, RefusedWav,
    testing::Values(BadWav{"OtherRate", {.rate = 44100, .interleaved{0}}, 1,
                           "is at 44100 Hz, the take at 48000 Hz: give a file at the take's rate"},
                    BadWav{"AbsentChannel", {.channels = 2, .interleaved{0, 0}}, 3, "has 2 channels, no channel 3"},
                    BadWav{"Aiff", {.format = SF_FORMAT_AIFF | SF_FORMAT_FLOAT, .interleaved{0}}, 1,
                           "is not a WAV file"},
                    BadWav{"Empty", {}, 1, "has no samples"},
                    BadWav{"NaN", {.interleaved{0, 1, kNaN}}, 1, "has NaN at sample 2 of channel 1"},
                    BadWav{"Infinity", {.channels = 2, .interleaved{0, 0, 0, -kInfinity}}, 2,
                           "has infinity at sample 1 of channel 2"}),
    [](const testing::TestParamInfo<BadWav>& info) { return info.param.name; });

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

TEST(InputWav, NonFiniteSamplesBeyondTheTakeAreNotHeard)
{
    TemporaryFolder folder;
    render::InputWavOpen open = openIn(folder, {.interleaved{1, 2, kNaN}}, 1, 2);
    EXPECT_TRUE(open.ok()) << open.error;
}

}  // namespace
