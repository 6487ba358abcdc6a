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

double tessel_stopped_at(HostedMap* instance)
{
    return instance ? static_cast<double>(instance->stoppedAt()) : -1.0;
}

int32_t tessel_asleep(HostedMap* instance) { return instance && instance->asleep() ? 1 : 0; }

// --- the sound along a take ---------------------------------------------------

namespace {

const host::SoundChange* change(HostedMap* instance, int32_t index)
{
    const host::TakeWindows* windows = instance ? instance->windows() : nullptr;
    if (!windows || index < 0 || static_cast<size_t>(index) >= windows->changes().size()) return nullptr;
    return &windows->changes()[size_t(index)];
}

}  // namespace

void tessel_judge_windows(HostedMap* instance, double samples)
{
    if (instance) instance->judgeWindows(web::takeLength(samples));
}

int32_t tessel_sound_changes(HostedMap* instance)
{
    const host::TakeWindows* windows = instance ? instance->windows() : nullptr;
    return windows ? static_cast<int32_t>(windows->changes().size()) : 0;
}

double tessel_sound_change_start(HostedMap* instance, int32_t index)
{
    const host::SoundChange* found = change(instance, index);
    return found ? static_cast<double>(found->start) : -1.0;
}

const char* tessel_sound_change_words(HostedMap* instance, int32_t index, double sampleRate, int32_t inShort)
{
    const host::SoundChange* found = change(instance, index);
    if (!found) return nullptr;
    static verdict::Text words;
    words = inShort ? verdict::summarizeChange(found->start, found->orbit, sampleRate)
                    : verdict::describeChange(found->start, found->orbit, sampleRate);
    return words.c_str();
}

double tessel_runs_from(HostedMap* instance, double sample)
{
    const host::TakeWindows* windows = instance ? instance->windows() : nullptr;
    return windows ? static_cast<double>(windows->runsFrom(static_cast<int64_t>(sample))) : -1.0;
}

const char* tessel_describe_stop(double stoppedAt, double sampleRate, int32_t moving, double runsFrom)
{
    static verdict::Text words;
    words = verdict::describeStop(static_cast<int64_t>(stoppedAt), sampleRate, moving != 0,
                                  static_cast<int64_t>(runsFrom));
    return words.c_str();
}
