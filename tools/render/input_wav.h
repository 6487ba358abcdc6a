// Inputs driven from a channel of a WAV file: --input PIN=FILE.wav[:CHANNEL].
// A file sample is the pin's value as it stands (1.0 is 10 V; integer files
// full scale). What the take hears of a file is checked before it starts, then read
// block by block as the take goes, so a long take needs no long buffer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <sndfile.h>

#include "generator/map_pins.h"
#include "host/session/source.h"

namespace render {

extern const char kInputGrammar[];  // "PIN=FILE.wav[:CHANNEL]"

// The input pins in the host's order, by the names the options give them.
struct NamedPin {
    const char* name;
    tessel::MapPin pin;
};
constexpr NamedPin kInputPins[] = {{"gate", tessel::GatePin}, {"reset", tessel::ResetPin}, {"x0", tessel::X0Pin},
                                   {"y0", tessel::Y0Pin},     {"a", tessel::APin},         {"b", tessel::BPin}};

struct InputOption {
    tessel::MapPin pin = tessel::GatePin;
    std::string path;
    int32_t channel = 1;  // counted from 1
};

// A parsed option, or why the text is not one (the caller names the option).
// PIN is gate, reset, x0, y0, a or b; a trailing ":" and digits is the
// channel, so a file whose name ends so is given with its channel.
struct InputOptionParse {
    InputOption input;
    std::string error;
    bool ok() const { return error.empty(); }
};

InputOptionParse parseInputOption(const std::string& text);

// The name the option gives the pin: "gate", "reset", "x0", "y0", "a", "b".
const char* inputPinName(tessel::MapPin pin);

struct InputWavOpen;

// Opens the file and checks the part the take hears: a WAV file at the take's
// rate, with the channel asked for, at least one sample, every sample finite.
InputWavOpen openInputWav(const InputOption& option, int32_t sampleRate, int64_t takeSamples);

// A channel of a file, as the source of an input pin.
class InputWav final : public host::Source {
public:
    ~InputWav() override;
    InputWav(const InputWav&) = delete;
    InputWav& operator=(const InputWav&) = delete;

    const InputOption& option() const { return input; }
    int64_t fileSamples() const { return frames; }
    // Whether the take outlasts the file, which holds its last sample from
    // sample fileSamples() on.
    bool holdsLastSample() const { return frames < takeSamples; }
    float lastHeard() const { return lastSample; }  // the last sample the take hears of the file
    // Whether the take hears more than one value: a host announces such an
    // input as streaming for the whole take, any other as static.
    bool moves() const override { return changes; }

    // Samples start to start + count - 1 of the take. Throws
    // std::runtime_error when the file can no longer be read.
    void fill(int64_t start, float* out, int32_t count) override;

private:
    friend InputWavOpen openInputWav(const InputOption& option, int32_t sampleRate, int64_t takeSamples);
    InputWav(SNDFILE* file, const InputOption& option, const SF_INFO& info, int64_t takeSamples);

    bool read(float* out, int64_t at, int64_t count);

    SNDFILE* file;
    InputOption input;
    int32_t channels;
    int64_t frames;
    int64_t takeSamples;
    int64_t position = 0;  // the file's next frame
    float lastSample = 0.0f;
    bool changes = false;
    std::vector<float> interleaved;
};

struct InputWavOpen {
    std::unique_ptr<InputWav> input;
    std::string error;
    bool ok() const { return error.empty(); }
};

}  // namespace render
