// A take's x and y as a stereo 32-bit float WAV file, x left and y right,
// written block by block into an output file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <sndfile.h>

#include "output_file.h"
#include "tools/render/scenario.h"

namespace command_line {

// A stereo float WAV's bytes per frame, and room for its header and texts.
constexpr int64_t kWavFrameBytes = 2 * int64_t{sizeof(float)};
constexpr int64_t kWavHeaderBytes = 4096;

// Throws Failure naming the file when libsndfile cannot write it.
class WavWriter {
public:
    WavWriter(OutputFile& output, const render::Scenario& scenario, const std::string& comment);
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    void write(const float* x, const float* y, int32_t count);
    void close();

private:
    std::string path;
    SNDFILE* file = nullptr;
    std::vector<float> interleaved;
};

}  // namespace command_line
