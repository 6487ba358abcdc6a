#include "input_wav.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "host/session/drive.h"

namespace render {

using namespace tessel;

const char kInputGrammar[] = "PIN=FILE.wav[:CHANNEL]";

namespace {

constexpr int64_t kChunkFrames = 4096;

std::string quoted(const std::string& text) { return "'" + text + "'"; }

bool allDigits(const std::string& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool isWav(const SF_INFO& info)
{
    const int container = info.format & SF_FORMAT_TYPEMASK;
    return container == SF_FORMAT_WAV || container == SF_FORMAT_WAVEX || container == SF_FORMAT_RF64;
}

}  // namespace

const char* inputPinName(MapPin pin)
{
    for (const NamedPin& named : kInputPins)
        if (named.pin == pin) return named.name;
    return "";
}

InputOptionParse parseInputOption(const std::string& text)
{
    InputOptionParse parse;
    const size_t equals = text.find('=');
    if (equals == std::string::npos) {
        parse.error = quoted(text) + " is malformed: give " + kInputGrammar;
        return parse;
    }
    const std::string name = text.substr(0, equals);
    const auto named = std::find_if(std::begin(kInputPins), std::end(kInputPins),
                                    [&](const NamedPin& candidate) { return name == candidate.name; });
    if (named == std::end(kInputPins)) {
        parse.error = quoted(name) + " is not an input: give gate, reset, x0, y0, a or b";
        return parse;
    }
    parse.input.pin = named->pin;

    std::string path = text.substr(equals + 1);
    const size_t colon = path.rfind(':');
    if (colon != std::string::npos && colon + 1 == path.size()) {
        parse.error = quoted(text) + " has no CHANNEL after ':': give " + kInputGrammar;
        return parse;
    }
    if (colon != std::string::npos && allDigits(path.substr(colon + 1))) {
        const std::string channel = path.substr(colon + 1);
        if (channel.size() > 9 || std::stoi(channel) == 0) {
            parse.error = quoted(text) + ": channel " + channel + " is out of range: channels are counted from 1";
            return parse;
        }
        parse.input.channel = std::stoi(channel);
        path.erase(colon);
    }
    if (path.empty()) {
        parse.error = quoted(text) + " names no file: give " + kInputGrammar;
        return parse;
    }
    parse.input.path = path;
    return parse;
}

InputWav::InputWav(SNDFILE* file, const InputOption& option, const SF_INFO& info, int64_t takeSamples)
    : file(file),
      input(option),
      channels(info.channels),
      frames(info.frames),
      takeSamples(takeSamples),
      interleaved(static_cast<size_t>(kChunkFrames * info.channels))
{
}

InputWav::~InputWav() { sf_close(file); }

// Frames at to at + count - 1 of the chosen channel, in chunks.
bool InputWav::read(float* out, int64_t at, int64_t count)
{
    if (at != position && sf_seek(file, at, SEEK_SET) != at) return false;
    position = at;
    const int32_t channel = input.channel - 1;
    for (int64_t done = 0; done < count;) {
        const int64_t want = std::min(kChunkFrames, count - done);
        if (sf_readf_float(file, interleaved.data(), want) != want) return false;
        for (int64_t frame = 0; frame < want; ++frame) out[done + frame] = interleaved[frame * channels + channel];
        done += want;
        position += want;
    }
    return true;
}

void InputWav::fill(int64_t start, float* out, int32_t count)
{
    const int64_t fromFile = std::clamp<int64_t>(frames - start, 0, count);
    if (fromFile > 0 && !read(out, start, fromFile))
        throw std::runtime_error(quoted(input.path) + " could not be read at sample " + std::to_string(start));
    std::fill(out + fromFile, out + count, lastSample);
}

InputWavOpen openInputWav(const InputOption& option, int32_t sampleRate, int64_t takeSamples)
{
    InputWavOpen open;
    const std::string path = quoted(option.path);
    if (std::FILE* probe = std::fopen(option.path.c_str(), "rb")) {
        std::fclose(probe);
    } else {
        open.error = "cannot open " + path + ": " + std::strerror(errno);
        return open;
    }
    SF_INFO info{};
    SNDFILE* file = sf_open(option.path.c_str(), SFM_READ, &info);
    if (!file || !isWav(info)) {
        if (file) sf_close(file);
        open.error = path + " is not a WAV file";
        return open;
    }
    open.input.reset(new InputWav(file, option, info, takeSamples));
    if (info.samplerate != sampleRate)
        open.error = path + " is at " + std::to_string(info.samplerate) + " Hz, the take at " +
                     std::to_string(sampleRate) + " Hz: give a file at the take's rate";
    else if (option.channel > info.channels)
        open.error = path + " has " + std::to_string(info.channels) + " channel" + (info.channels == 1 ? "" : "s") +
                     ", no channel " + std::to_string(option.channel);
    else if (info.frames < 1) open.error = path + " has no samples";
    if (!open.ok()) {
        open.input.reset();
        return open;
    }

    // Every sample the take hears, checked before it starts.
    InputWav& input = *open.input;
    const int64_t heard = std::min(input.frames, takeSamples);
    std::vector<float> values(static_cast<size_t>(kChunkFrames));
    for (int64_t at = 0; at < heard; at += kChunkFrames) {
        const int64_t count = std::min(kChunkFrames, heard - at);
        if (!input.read(values.data(), at, count)) {
            open.error = path + " could not be read at sample " + std::to_string(at);
        } else {
            const auto bad = std::find_if(values.begin(), values.begin() + count,
                                          [](float value) { return !std::isfinite(value); });
            if (bad != values.begin() + count)
                open.error = path + " has " + (std::isnan(*bad) ? "NaN" : "infinity") + " at sample " +
                             std::to_string(at + (bad - values.begin())) + " of channel " +
                             std::to_string(option.channel) + ": a pin takes finite samples";
            const float first = at == 0 ? values.front() : input.lastSample;
            input.changes = input.changes || std::any_of(values.begin(), values.begin() + count,
                                                         [&](float value) { return !host::sameSample(value, first); });
            input.lastSample = values[static_cast<size_t>(count - 1)];
        }
        if (!open.ok()) {
            open.input.reset();
            return open;
        }
    }
    return open;
}

}  // namespace render
