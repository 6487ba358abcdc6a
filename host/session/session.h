// One take of the module driven as a host drives it: an instance connected
// to buffers of the block size, each input fed by a source, the lists set,
// Open, each input's status announced from its source, then one process call
// per block. tessel-render (through the emulator) and the WebAssembly host
// both drive the module through a session, so their takes agree by
// construction. A session knows no library loading and checks no host call:
// those are the emulator's.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "instance.h"
#include "source.h"

namespace host {

class Session {
public:
    // Connects `instance`, made by its host and not yet connected, for
    // blocks of at most `blockSize` samples at `sampleRate`. Every input
    // rests at 0 V and every list at its default until fed or set.
    Session(Instance& instance, int32_t sampleRate, int32_t blockSize);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Whether the instance is connected, with both outputs: false when memory ran out.
    bool ready() const { return connected; }

    // Feeds an input pin from `source`, which must outlive the session or the
    // next feed of the pin. Feeding the same source again takes a change
    // made to it. Once open, the pin's status is announced whenever the
    // source's movement changes it.
    void feed(int32_t pin, Source& source);
    // Sets a constant source's value and feeds it again, so a change is announced.
    void hold(int32_t pin, Constant& source, float value);
    // Sets a list pin; once open, a new item is announced (Transient) and the
    // same item again sends nothing.
    void setList(int32_t pin, int16_t item);
    // The sample rate, the block size, Open, then every input whose source
    // moves announced Streaming (the others stay Static, as a host starts them).
    void open();

    // Renders the next min(count, block size) samples in one process call and
    // returns how many; the outputs are at x() and y() until the next call.
    int32_t renderBlock(int32_t count);
    // Renders `samples` more in blocks of the block size, handing each to
    // sink(start, x, y, count), `start` being its first sample's number.
    template <typename Sink>
    void render(int64_t samples, Sink&& sink)
    {
        for (int64_t left = samples; left > 0;) {
            const int64_t start = clock;
            const int32_t count = renderBlock(static_cast<int32_t>(std::min<int64_t>(block, left)));
            sink(start, x(), y(), count);
            left -= count;
        }
    }

    const float* x() const { return xOut; }
    const float* y() const { return yOut; }
    // What an input pin was fed in the last block rendered, or null for a pin without a buffer.
    const float* input(int32_t pin) const { return connected ? instance.buffer(pin) : nullptr; }
    int32_t blockSize() const { return block; }
    // The status an input pin was last announced with, and whether that was Streaming.
    int32_t announcedStatus(int32_t pin) const { return connected ? inputs[pin].announced : sep::Static; }
    bool streams(int32_t pin) const { return announcedStatus(pin) == sep::Streaming; }
    int64_t samples() const { return clock; }  // rendered so far: the host's sample clock

    // The first sample of the run of exact zeros on both outputs that lasts
    // to the end, or samples() when the last sample is not one.
    int64_t zerosFrom() const { return lastNonZero + 1; }
    // Where the divergence guard stopped the map: the zeros it leaves,
    // once a map step after their start has kept them; -1 otherwise.
    int64_t stoppedAt() const;

private:
    struct Input {
        Source* source = nullptr;
        int32_t announced = 0;  // the status last sent: Static, as the host starts every pin
    };

    void announce(int32_t pin);
    void noteSteps(int32_t count);
    void noteOutputs(int32_t count);

    Instance& instance;
    const int32_t rate;
    const int32_t block;
    bool connected = false;
    bool opened = false;
    std::vector<Input> inputs;  // by pin
    float* xOut = nullptr;
    float* yOut = nullptr;

    int64_t clock = 0;
    int64_t lastNonZero = -1;  // the last sample with an output other than 0
    int64_t lastStep = -1;     // the last sample at which a running map steps
    bool gateWasHigh = false;  // the last Gate and Reset samples rendered
    bool resetWasHigh = false;
};

}  // namespace host
