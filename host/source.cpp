#include "source.h"

#include <algorithm>
#include <utility>

#include "drive.h"

namespace host {

void Constant::fill(int64_t, float* samples, int32_t count) { std::fill_n(samples, count, signal); }

GateClock::GateClock(int32_t sampleRate, double hz) : sampleRate(sampleRate) { setHz(hz); }

void GateClock::setHz(double clockHz) { hz = clockHz > 0.0 ? clockHz : 0.0; }

void GateClock::fill(int64_t start, float* samples, int32_t count)
{
    if (!moves()) {
        std::fill_n(samples, count, 0.0f);
        return;
    }
    for (int32_t i = 0; i < count; ++i) samples[i] = gateClockSample(sampleRate, hz, start + i);
}

ResetPulses::ResetPulses(std::vector<int64_t> pulses) : samples(std::move(pulses))
{
    std::sort(samples.begin(), samples.end());
}

void ResetPulses::fill(int64_t start, float* out, int32_t count)
{
    std::fill_n(out, count, 0.0f);
    for (auto at = std::lower_bound(samples.begin(), samples.end(), start);
         at != samples.end() && *at < start + count; ++at)
        out[*at - start] = kResetPulse;
}

void ResetButton::fill(int64_t, float* samples, int32_t count)
{
    std::fill_n(samples, count, 0.0f);
    if (pending && count > 0) {
        samples[0] = kResetPulse;
        pending = false;
    }
}

}  // namespace host
