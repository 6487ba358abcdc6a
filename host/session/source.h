// What feeds an input pin: a signal that fills each block, and whether it
// moves at all, from which a host announces the pin's status. New signals
// come in as new sources; a session takes any of them.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "signals/signal.h"

namespace host {

class Source {
public:
    virtual ~Source() = default;

    // Whether the signal changes anywhere in the take: the pin is then
    // announced Streaming, else Static. A source that does not move writes
    // one value at every sample, so its pin's buffer is filled once.
    virtual bool moves() const = 0;
    // Writes the take's samples from `start` on, `count` of them, in the
    // signal scale (1.0 = 10 V).
    virtual void fill(int64_t start, float* samples, int32_t count) = 0;
};

// One value for the whole take; a host may change it between blocks and feed
// the pin again, as a knob turned: still Static.
class Constant final : public Source {
public:
    explicit Constant(float signal = 0.0f) : signal(signal) {}
    void set(float value) { signal = value; }
    float value() const { return signal; }

    bool moves() const override { return false; }
    void fill(int64_t start, float* samples, int32_t count) override;

private:
    float signal;
};

// The Gate clock: a 0/5 V square wave of `hz`, rising at sample 0 of the
// take. 0 Hz (or less, or NaN) holds Gate at 0 V.
class GateClock final : public Source {
public:
    GateClock(int32_t sampleRate, double hz = 0.0);
    void setHz(double hz);

    bool moves() const override { return hz > 0.0; }
    void fill(int64_t start, float* samples, int32_t count) override;

private:
    int32_t sampleRate;
    double hz;
};

// A patched signal: an LFO, a ramp, a sequencer, or a constant given as one.
// Over a take of `takeSamples` it moves if its samples differ anywhere in
// the take: a square wave whose first jump falls after the take's end is as
// still as a constant there. Over a take without end (0 samples, an instance
// played live) it moves unless it is a constant: found without scanning its
// samples, which would never end.
class SignalSource final : public Source {
public:
    SignalSource(Signal signal, int64_t takeSamples);

    bool moves() const override { return moving; }
    void fill(int64_t start, float* samples, int32_t count) override { signal.fill(samples, count, start); }

private:
    Signal signal;
    bool moving;
};

// One-sample 5 V pulses on Reset at given samples of the take, and those of
// a Reset clock when there is one. A pulse on the sample after a clock pulse
// joins it: Reset rises once there.
class ResetPulses final : public Source {
public:
    explicit ResetPulses(std::vector<int64_t> samples, std::optional<ResetClock> clock = {});  // in any order

    bool moves() const override { return !samples.empty() || clock; }
    void fill(int64_t start, float* out, int32_t count) override;

private:
    std::vector<int64_t> samples;  // sorted
    std::optional<ResetClock> clock;
};

// A Reset button beside a Reset clock, if any: the clock's pulses, and a
// one-sample 5 V pulse at the first sample rendered after each press. Once
// pressed it moves for good, since it may be pressed again.
class ResetButton final : public Source {
public:
    void press() { pressed = pending = true; }
    void setClock(std::optional<ResetClock> pulses) { clock = pulses; }
    // The clock's frequency, or 0 where none runs.
    double clockHz() const { return clock ? clock->hz() : 0.0; }

    bool moves() const override { return pressed || clock; }
    void fill(int64_t start, float* samples, int32_t count) override;

private:
    std::optional<ResetClock> clock;
    bool pressed = false;
    bool pending = false;
};

}  // namespace host
