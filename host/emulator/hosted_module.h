// A host for one module library, written from what a host does and relies on:
// it loads the library, creates instances, reads their pin declarations, owns
// the pin buffers, sends commands and events, calls the process entry, and
// checks every call the module makes back. Tests and the benchmarks drive the
// module through it directly; the render tool drives its instances through a
// session (host/session/session.h). Each instance is found from its record
// in a registry shared by every thread.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "framework/boundary.h"
#include "host/session/instance.h"
#include "host_calls.h"
#include "library.h"

namespace host {

using sep::Event;
using sep::HostCallback;
using sep::ModuleProperties;
using sep::ModuleRecord;
using sep::PinProperties;

// One instance as the host holds it. The host's answers: GetPinCount gives
// `hostPinCount` (by default one pin per declaration connect() read),
// GetSampleClock gives `sampleClock`, GetPinBuffer a buffer the host keeps
// for that pin, everything else 0.
class HostedModule : public Instance {
public:
    static constexpr int32_t kDefaultHandle = 0x600DF00D;
    static constexpr int32_t kBufferLength = 4096;

    explicit HostedModule(const ModuleFactory& factory, int32_t hostHandle = kDefaultHandle, bool withCallback = true);
    explicit HostedModule(const ModuleLibrary& library = builtModuleLibrary()) : HostedModule(factoryOf(library)) {}
    ~HostedModule() override;  // closes the instance if it is still alive

    bool valid() const { return record != nullptr; }
    ModuleRecord* getRecord() const { return record; }

    int32_t dispatch(int32_t opcode, int32_t index = 0, int32_t value = 0, void* pointer = nullptr,
                     float floatValue = 0.0f) override;
    void sendEvent(const Event& event) override;
    void process(int32_t offset, int32_t count) override;

    // Connects every pin to a buffer of `bufferLength` samples (see Instance).
    bool connect(int32_t bufferLength = kBufferLength) { return Instance::connect(bufferLength); }
    void connectAndOpen(int32_t bufferLength = kBufferLength);
    int32_t close();  // sends Close; the record is gone afterwards

    float* requestedBuffer(int32_t pin);  // what GetPinBuffer answered for it, or null
    sep::ProcessEntry currentProcess() const { return record->process; }

    // Host configuration and logs.
    std::optional<int32_t> hostPinCount;
    std::vector<HostCall> calls;
    std::vector<Event> events;                    // every event the host sent, in order
    std::function<void(const HostCall&)> onCall;  // sees each call as it happens
    // Off only for a test that makes host calls itself with values of its choosing.
    bool checkCalls = true;

    int32_t countCalls(int32_t opcode) const;
    void clearCalls() { calls.clear(); }

private:
    static int32_t SEP_CALL callback(ModuleRecord* record, int32_t opcode, int32_t index, int32_t value, void* pointer,
                                     float floatValue);

    ModuleRecord* record = nullptr;
    std::map<int32_t, std::vector<float>> requestedBuffers;  // answers to GetPinBuffer
    std::optional<int32_t> lastSampleClock;                  // the last answer to GetSampleClock

    int32_t pinCount() const;
};

}  // namespace host
