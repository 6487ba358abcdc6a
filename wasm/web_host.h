// A host for the map module in a WebAssembly build, where there is no dynamic
// loading and no thread: the module's code is linked in, and this host makes
// the same calls any host makes, through a session, as tessel-render does.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "framework/boundary.h"
#include "host/session/instance.h"
#include "host/session/point_judge.h"
#include "host/session/session.h"
#include "host/session/signals/signal.h"
#include "host/session/source.h"

namespace web {

// The linked-in module as a host holds one instance of it, from makeModule
// to Close. It answers GetPinCount with one pin per declaration, GetSampleClock
// with the sample clock, and notes RequestSleep until it next sends an event.
// Every member runs on the one thread a WebAssembly instance has.
class LinkedInstance final : public host::Instance {
public:
    LinkedInstance();            // valid() is false when the module makes no instance
    ~LinkedInstance() override;  // sends Close

    bool valid() const { return record != nullptr; }
    // Whether the module asked to sleep since the host last sent it an event.
    bool asleep() const { return sleepRequested; }
    // Events sent so far: pin status and setting changes.
    int64_t eventsSent() const { return events; }

    int32_t dispatch(int32_t opcode, int32_t index = 0, int32_t value = 0, void* pointer = nullptr,
                     float floatValue = 0.0f) override;
    void sendEvent(const sep::Event& event) override;
    void process(int32_t offset, int32_t count) override;

private:
    static int32_t SEP_CALL callback(sep::ModuleRecord* record, int32_t opcode, int32_t index, int32_t value,
                                     void* pointer, float floatValue);

    sep::ModuleRecord* record = nullptr;  // the module's; valid until Close
    bool sleepRequested = false;
    int64_t events = 0;
};

// One instance, hosted from creation to Close, driven take by take as the
// explorer's controls move: the knobs as constants or patched signals, Gate
// by its clock in Gated mode, Reset by a button and a Reset clock.
class HostedMap {
public:
    // A new instance, opened, Continuous with Normalize on and every input at
    // 0 V; null for a rate or block size out of range, when memory runs out or
    // when the module makes no instance. The caller owns it.
    static HostedMap* create(int32_t sampleRate, int32_t blockSize);
    HostedMap(const HostedMap&) = delete;
    HostedMap& operator=(const HostedMap&) = delete;

    // The four constant inputs, in the signal scale (1.0 = 10 V). a and b act
    // from the next sample, x0 and y0 at the next Reset.
    void setInputs(float a, float b, float x0, float y0);
    // Continuous or Gated; a change is announced to the module as a setting change.
    void setMode(bool gated);
    // The Gate clock in Gated mode: a 0/5 V square wave of `hz` rising at
    // sample 0 of the take. 0, negative or NaN holds Gate at 0 V (Static).
    void setGateHz(double hz);
    // The Normalize switch; a change is announced as a setting change.
    void setNormalize(bool on);
    // A one-sample 5 V pulse on Reset at the next sample rendered.
    void requestReset();

    // Patches input `pin` (x0, y0, a or b) with a signal in host::parseSignal's
    // grammar, over a take of `takeSamples` (a ramp's length; a signal moves if
    // it does within it), 0 for a take without end; empty text gives the pin
    // back its constant. The same
    // text again changes nothing. An empty result, or why the text is refused.
    std::string setSignal(int32_t pin, std::string_view text, int64_t takeSamples);
    // Reset pulsed by a clock of `hz` beside the button; 0 stops the clock. The
    // same rule as a Gate clock: above 0 and at most half the rate.
    void setResetHz(double hz);
    // How many events so far reached the module while x0, y0, a or b streamed:
    // each restarts the map at x0 and y0, as the module does in any host.
    int64_t restarts() const { return restartCount; }
    // Whether an input pin streams (a moving signal, a pressed Reset, a clock).
    bool streams(int32_t pin) const { return session.streams(pin); }

    // Judges the sound of the next `samples` rendered window by window, as
    // tessel-render's report does where a or b moves.
    void judgeWindows(int64_t samples);
    const host::TakeWindows* windows() const { return takeWindows ? &*takeWindows : nullptr; }

    // Renders the next min(count, block size) samples as one process call and
    // returns how many; the outputs are in xOutput() and yOutput() until the next call.
    int32_t render(int32_t count);
    const float* xOutput() const { return session.x(); }
    const float* yOutput() const { return session.y(); }
    // What input `pin` was fed in the last block rendered, as the module read it.
    const float* inputSamples(int32_t pin) const { return session.input(pin); }
    // Events the module heard so far: pin statuses and setting changes.
    int64_t eventsSent() const { return instance.eventsSent(); }
    int32_t blockSize() const { return session.blockSize(); }

    // The sample at which the guard stopped the map: both outputs exactly 0
    // from there on, kept through a later map step. -1 while it runs.
    int64_t stoppedAt() const { return session.stoppedAt(); }
    // The Reset clock that restarts the map, or 0 where none runs.
    double resetHz() const { return reset.clockHz(); }
    bool asleep() const { return instance.asleep(); }

private:
    // A patched input: its constant, and the signal that replaces it while there is one.
    struct Input {
        explicit Input(int32_t inputPin) : pin(inputPin) {}
        int32_t pin;
        host::Constant constant;
        std::optional<host::SignalSource> signal;
        std::string text;  // the signal's, or empty
    };

    HostedMap(int32_t sampleRate, int32_t blockSize);
    void clockGate();
    Input& input(int32_t pin);
    float firstSample(int32_t pin);
    // Counts a restart if the module heard an event since `eventsBefore` that restarts the map.
    void noteRestart(int64_t eventsBefore);

    LinkedInstance instance;
    host::Session session;
    const int32_t rate;
    std::array<Input, 4> inputs;  // x0, y0, a, b
    host::GateClock gate;
    host::ResetButton reset;
    bool gated = false;
    bool normalized = true;
    double gateHz = 0.0;
    int64_t restartCount = 0;
    std::optional<host::TakeWindows> takeWindows;
};

}  // namespace web
