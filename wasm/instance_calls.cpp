// An instance hosted as a host holds it, and the sound along its take judged
// window by window.
#include "calls.h"
#include "values.h"
#include "verdict/words.h"

using web::HostedMap;

HostedMap* tessel_new(int32_t sampleRate, int32_t blockSize) { return HostedMap::create(sampleRate, blockSize); }

void tessel_free(HostedMap* instance) { delete instance; }

void tessel_set_inputs(HostedMap* instance, float a, float b, float x0, float y0)
{
    if (instance) instance->setInputs(a, b, x0, y0);
}

void tessel_set_mode(HostedMap* instance, int32_t gated)
{
    if (instance) instance->setMode(gated != 0);
}

void tessel_set_gate_hz(HostedMap* instance, double hz)
{
    if (instance) instance->setGateHz(hz);
}

void tessel_set_normalize(HostedMap* instance, int32_t on)
{
    if (instance) instance->setNormalize(on != 0);
}

void tessel_reset(HostedMap* instance)
{
    if (instance) instance->requestReset();
}

int32_t tessel_render(HostedMap* instance, int32_t count) { return instance ? instance->render(count) : 0; }

const float* tessel_x(HostedMap* instance) { return instance ? instance->xOutput() : nullptr; }

const float* tessel_y(HostedMap* instance) { return instance ? instance->yOutput() : nullptr; }

int32_t tessel_block_size(HostedMap* instance) { return instance ? instance->blockSize() : 0; }

double tessel_stopped_at(HostedMap* instance) { return instance ? static_cast<double>(instance->stoppedAt()) : -1.0; }

int32_t tessel_asleep(HostedMap* instance) { return instance && instance->asleep() ? 1 : 0; }

// --- the sound along a take ---------------------------------------------------

void tessel_judge_windows(HostedMap* instance, double samples)
{
    if (instance) instance->judgeWindows(web::takeLength(samples));
}

const char* tessel_path_words(HostedMap* instance, double sampleRate, int32_t inShort)
{
    const host::TakeWindows* windows = instance ? instance->windows() : nullptr;
    if (!windows) return nullptr;
    const int64_t stoppedAt = instance->stoppedAt();
    const int64_t runsFrom = stoppedAt >= 0 ? windows->runsFrom(stoppedAt) : -1;
    const verdict::PathTake take{sampleRate, instance->resetHz(), stoppedAt, runsFrom};
    static verdict::Text words;
    words = inShort ? verdict::summarizePath(windows->changes(), take)
                    : verdict::describePath(windows->changes(), take);
    return words.c_str();
}
