#include "wav_writer.h"

#include "tool.h"

namespace command_line {

WavWriter::WavWriter(OutputFile& output, const render::Scenario& scenario, const std::string& comment)
    : path(output.path()), interleaved(2 * size_t(scenario.blockSize))
{
    SF_INFO info{};
    info.samplerate = scenario.sampleRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    file = sf_open_fd(output.takeDescriptor(), SFM_WRITE, &info, SF_TRUE);
    if (!file) throw Failure("cannot write " + path + ": " + sf_strerror(nullptr));
    sf_set_string(file, SF_STR_SOFTWARE, kProgram);
    sf_set_string(file, SF_STR_COMMENT, comment.c_str());
}

WavWriter::~WavWriter()
{
    if (file) sf_close(file);
}

void WavWriter::write(const float* x, const float* y, int32_t count)
{
    for (int32_t i = 0; i < count; ++i) {
        interleaved[2 * size_t(i)] = x[i];
        interleaved[2 * size_t(i) + 1] = y[i];
    }
    if (sf_writef_float(file, interleaved.data(), count) != count)
        throw Failure("cannot write " + path + ": " + sf_strerror(file));
}

void WavWriter::close()
{
    const int error = sf_close(file);
    file = nullptr;
    if (error != 0) throw Failure("cannot write " + path + ": " + sf_error_number(error));
}

}  // namespace command_line
