// A host for the map module in a WebAssembly build, where there is no dynamic
// loading and no thread: the module's code is linked in, and this host makes
// the same calls any host makes, through a session, as tessel-render does.
#pragma once

#include <cstdint>

#include "framework/boundary.h"
#include "host/instance.h"
#include "host/session.h"
#include "host/source.h"

namespace web {

// The linked-in module as a host holds one instance of it, from makeModule
// to Close. It answers GetPinCount with one pin per declaration, GetSampleClock
// with the sample clock, and notes RequestSleep until it next sends an event.
// Every member runs on the one thread a WebAssembly instance has.
class LinkedInstance final : public host::Instance {
public:
    LinkedInstance();  // valid() is false when the module makes no instance
    ~LinkedInstance() override;  // sends Close

    bool valid() const { return record != nullptr; }
    // Whether the module asked to sleep since the host last sent it an event.
    bool asleep() const { return sleepRequested; }

    int32_t dispatch(int32_t opcode, int32_t index = 0, int32_t value = 0, void* pointer = nullptr,
                     float floatValue = 0.0f) override;
    void sendEvent(const sep::Event& event) override;
    void process(int32_t offset, int32_t count) override;

private:
    static int32_t SEP_CALL callback(sep::ModuleRecord* record, int32_t opcode, int32_t index, int32_t value,
                                     void* pointer, float floatValue);

    sep::ModuleRecord* record = nullptr;  // the module's; valid until Close
    bool sleepRequested = false;
};

// One instance, hosted from creation to Close, driven take by take as the
// explorer's controls move: the knobs as constants, Gate by its clock in
// Gated mode, Reset by a button.
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

    // Renders the next min(count, block size) samples as one process call and
    // returns how many; the outputs are in xOutput() and yOutput() until the next call.
    int32_t render(int32_t count) { return session.renderBlock(count); }
    const float* xOutput() const { return session.x(); }
    const float* yOutput() const { return session.y(); }
    int32_t blockSize() const { return session.blockSize(); }

    // The sample at which the guard stopped the map: both outputs exactly 0
    // from there on, kept through a later map step. -1 while it runs.
    int64_t stoppedAt() const { return session.stoppedAt(); }
    bool asleep() const { return instance.asleep(); }

private:
    HostedMap(int32_t sampleRate, int32_t blockSize);
    void clockGate();

    LinkedInstance instance;
    host::Session session;
    host::Constant a, b, x0, y0;
    host::GateClock gate;
    host::ResetButton reset;
    bool gated = false;
    double gateHz = 0.0;
};

}  // namespace web
