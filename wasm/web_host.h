// A host for the map module in a WebAssembly build, where there is no dynamic
// loading and no thread: the module's code is linked in, and this host makes
// the same calls any host makes. It creates an instance through makeModule,
// reads its pin declarations, owns every pin buffer, sends status events and
// calls the record's process entry once per block.
#pragma once

#include <cstdint>
#include <memory>

#include "framework/boundary.h"
#include "generator/map_pins.h"

namespace web {

// One module instance, hosted from creation to Close. Every member runs on the
// one thread a WebAssembly instance has; nothing here is shared.
class HostedMap {
public:
    // A new instance, opened, Continuous with Normalize on and every input at
    // 0 V; null for a rate or block size out of range, when memory runs out or
    // when the module makes no instance. The caller owns it.
    static HostedMap* create(int32_t sampleRate, int32_t blockSize);
    ~HostedMap();  // sends Close
    HostedMap(const HostedMap&) = delete;
    HostedMap& operator=(const HostedMap&) = delete;

    // The four constant inputs, in the signal scale (1.0 = 10 V). a and b act
    // from the next sample, x0 and y0 at the next Reset.
    void setInputs(float a, float b, float x0, float y0);
    // Continuous or Gated; announced to the module as a setting change.
    void setMode(bool gated);
    // The Gate clock in Gated mode: a 0/5 V square wave of `hz` rising at
    // sample 0 of the take. 0, negative or NaN holds Gate at 0 V (Static).
    void setGateHz(double hz);
    // The Normalize switch; announced as a setting change.
    void setNormalize(bool on);
    // A one-sample 5 V pulse on Reset at the next sample rendered.
    void requestReset();

    // Renders the next min(count, block size) samples as one process call and
    // returns how many; the outputs are in xOutput() and yOutput() until the next call.
    int32_t render(int32_t count);
    const float* xOutput() const;
    const float* yOutput() const;
    int32_t blockSize() const { return block; }

    // The sample at which the guard stopped the map: both outputs exactly 0
    // from there on, kept through a later map step. -1 while it runs.
    int64_t stoppedAt() const;
    // Whether the module asked to sleep since the host last sent it an event.
    bool asleep() const { return sleepRequested; }

private:
    HostedMap(int32_t sampleRate, int32_t blockSize);
    bool connect();
    void open();
    void sendStatus(int32_t pin, int32_t status);
    void announceGate();
    void fillGate(int32_t count);
    void noteSteps(int32_t count, bool resetPulse);
    void noteOutputs(int32_t count);

    static int32_t SEP_CALL callback(sep::ModuleRecord* record, int32_t opcode, int32_t index,
                                     int32_t value, void* pointer, float floatValue);

    const int32_t rate;
    const int32_t block;
    sep::ModuleRecord* record = nullptr;  // the module's; valid until Close
    std::unique_ptr<float[]> storage;    // one block for every pin, in pin order
    float* buffers[tessel::MapPinCount] = {};  // each audio pin's block within `storage`; null for lists
    int16_t* modeItem = nullptr;          // the module's declared list variables
    int16_t* normalizeItem = nullptr;

    bool gated = false;
    double gateHz = 0.0;
    int32_t gateStatus = sep::Static;
    bool resetAnnounced = false;
    bool resetPending = false;
    bool gateWasHigh = false;  // the last Gate sample of the previous block
    bool sleepRequested = false;

    int64_t clock = 0;          // samples rendered: the host's sample clock
    int64_t lastNonZero = -1;   // last sample with an output other than 0
    int64_t lastStep = -1;      // last sample at which a running map steps
};

}  // namespace web
