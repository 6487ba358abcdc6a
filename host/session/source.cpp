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

namespace {

bool movesWithin(const Signal& signal, int64_t takeSamples)
{
    if (!signal.moves()) return false;
    if (takeSamples == 0) return true;  // a take without end: a signal that is no constant moves at last
    constexpr int32_t kScan = 256;
    float samples[kScan];
    const float first = signal.sampleAt(0);
    for (int64_t start = 0; start < takeSamples; start += kScan) {
        const auto count = static_cast<int32_t>(std::min<int64_t>(kScan, takeSamples - start));
        signal.fill(samples, count, start);
        for (int32_t i = 0; i < count; ++i)
            if (!sameSample(samples[i], first)) return true;
    }
    return false;
}

// A Reset clock's pulses, or 0 V without one.
void fillClock(const std::optional<ResetClock>& clock, int64_t start, float* out, int32_t count)
{
    if (clock) clock->fill(out, count, start);
    else std::fill_n(out, count, 0.0f);
}

}  // namespace

SignalSource::SignalSource(Signal patched, int64_t takeSamples)
    : signal(std::move(patched)), moving(movesWithin(signal, takeSamples))
{
}

ResetPulses::ResetPulses(std::vector<int64_t> pulses, std::optional<ResetClock> clock)
    : samples(std::move(pulses)), clock(clock)
{
    std::sort(samples.begin(), samples.end());
}

void ResetPulses::fill(int64_t start, float* out, int32_t count)
{
    fillClock(clock, start, out, count);
    for (auto at = std::lower_bound(samples.begin(), samples.end(), start); at != samples.end() && *at < start + count;
         ++at)
        out[*at - start] = kResetPulse;
}

void ResetButton::fill(int64_t start, float* samples, int32_t count)
{
    fillClock(clock, start, samples, count);
    if (pending && count > 0) {
        samples[0] = kResetPulse;
        pending = false;
    }
}

}  // namespace host
