// A channel of a WAV file as the source of an input pin.
#pragma once

#include "host/source.h"
#include "input_wav.h"

namespace render {

class WavSource final : public host::Source {
public:
    explicit WavSource(InputWav& file) : file(file) {}

    bool moves() const override { return file.moves(); }
    void fill(int64_t start, float* samples, int32_t count) override { file.fill(samples, count, start); }

private:
    InputWav& file;
};

}  // namespace render
