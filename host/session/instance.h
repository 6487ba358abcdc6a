// A module instance as a host holds it: the host's three ways into the module
// (dispatcher, events, process) and the pins it connects before Open. The
// emulator holds instances of a loaded library this way, the WebAssembly host
// one of the module linked into it; a session drives either alike.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "framework/boundary.h"

namespace host {

class Instance {
public:
    Instance() = default;
    virtual ~Instance() = default;
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    virtual int32_t dispatch(int32_t opcode, int32_t index = 0, int32_t value = 0, void* pointer = nullptr,
                             float floatValue = 0.0f) = 0;
    virtual void sendEvent(const sep::Event& event) = 0;
    virtual void process(int32_t offset, int32_t count) = 0;

    // Reads every declaration through GetPinProperties, up to the first index
    // the module does not declare; gives each audio pin with a variable a
    // buffer of `length` samples of its own, all 0, and each list its default
    // item, and writes both into the declared variables. False, holding no
    // pins, when memory runs out.
    bool connect(int32_t length);
    void open() { dispatch(sep::Open); }
    void sendStatus(int32_t pin, int32_t status);

    float* buffer(int32_t pin);           // null for a pin without one
    void fill(int32_t pin, float value);  // the pin's whole buffer
    int16_t* list(int32_t pin);           // a list pin's declared variable, or null
    void setList(int32_t pin, int16_t item);
    const std::vector<sep::PinProperties>& declarations() const { return pins; }
    int32_t bufferLength() const { return length; }

    // The host's sample clock: what it answers GetSampleClock with.
    int32_t sampleClock = 0;

private:
    std::vector<sep::PinProperties> pins;
    std::vector<std::unique_ptr<float[]>> buffers;  // per pin; empty for a pin without one
    int32_t length = 0;
};

}  // namespace host
