// A host for one module library, written from what a host does and relies on:
// it loads the library, creates instances, reads their pin declarations, owns
// the pin buffers, sends commands and events, calls the process entry, and
// checks every call the module makes back. Tests and the benchmarks drive the
// module through it directly; the render tool drives its instances through a
// session (session.h).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "framework/boundary.h"
#include "instance.h"

namespace host {

using sep::Event;
using sep::HostCallback;
using sep::ModuleProperties;
using sep::ModuleRecord;
using sep::PinProperties;

// A loaded module library and its two exports. Throws std::runtime_error when
// the library does not load or lacks an export.
class ModuleLibrary {
public:
    explicit ModuleLibrary(const std::string& path);
    ~ModuleLibrary();
    ModuleLibrary(const ModuleLibrary&) = delete;
    ModuleLibrary& operator=(const ModuleLibrary&) = delete;

    using GetModulePropertiesFunction = int32_t(SEP_CALL*)(int32_t index, ModuleProperties* properties);
    using MakeModuleFunction = ModuleRecord*(SEP_CALL*)(int32_t index, int32_t kind,
                                                        HostCallback callback, int32_t hostHandle);

    GetModulePropertiesFunction getModuleProperties = nullptr;
    MakeModuleFunction makeModule = nullptr;

    // Any other export by name, such as a test library's hooks; null if absent.
    void* symbol(const char* name) const;

private:
    void* handle = nullptr;
};

// The module library that this build produced, loaded once per process.
const ModuleLibrary& builtModuleLibrary();
const std::string& builtModulePath();

// A path written at build time, as this process's loader takes it.
std::string loadablePath(std::string buildPath);

// One call the module made into the host, with all six arguments.
struct HostCall {
    const ModuleRecord* record;
    int32_t opcode;
    int32_t index;
    int32_t value;
    intptr_t pointer;
    float floatValue;
};

// What the host interface fixes for a call into the host.
enum class HostCallRule {
    FloatValueZero,       // floatValue is 0 in every call, bit for bit
    KnownPin,             // SetPinStatus, GetPinBuffer: a pin the host holds or the module declared
    ClockReadFirst,       // SetPinStatus comes after a GetSampleClock
    LastClock,            // SetPinStatus carries the host's last GetSampleClock answer
    BufferArgumentsZero,  // GetPinBuffer: value and pointer 0
    ArgumentsZero,        // GetSampleClock, RequestSleep, GetPinCount, ProcessChanged: index, value, pointer 0
    KnownOpcode,          // one of the six opcodes a module sends
    HostedRecord,         // the record is a hosted instance's
};

// One call that broke one rule.
struct HostCallViolation {
    HostCall call;
    HostCallRule rule;
    int32_t lastClock = 0;  // LastClock only: the answer the call should have carried

    std::string describe() const;  // "host call 0 (index 6, ...): no such pin"
};

// Every call into the host is checked against what the host interface fixes
// for its opcode. Each broken rule is kept here, for all instances of the
// process on all threads, until taken: tests, the render tool and the
// benchmarks fail on any. Both hand out a copy made under the log's lock.
std::vector<HostCallViolation> hostCallViolations();
std::vector<HostCallViolation> takeHostCallViolations();

// Creates a module object: makeModule of a library, or a test's own factory.
using ModuleFactory = std::function<ModuleRecord*(HostCallback callback, int32_t hostHandle)>;

ModuleFactory factoryOf(const ModuleLibrary& library);

// One instance as the host holds it. The host's answers: GetPinCount gives
// `hostPinCount` (by default one pin per declaration connect() read),
// GetSampleClock gives `sampleClock`, GetPinBuffer a buffer the host keeps
// for that pin, everything else 0.
class HostedModule : public Instance {
public:
    static constexpr int32_t kDefaultHandle = 0x600DF00D;
    static constexpr int32_t kBufferLength = 4096;

    explicit HostedModule(const ModuleFactory& factory, int32_t hostHandle = kDefaultHandle,
                          bool withCallback = true);
    explicit HostedModule(const ModuleLibrary& library = builtModuleLibrary())
        : HostedModule(factoryOf(library)) {}
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
    std::vector<Event> events;  // every event the host sent, in order
    std::function<void(const HostCall&)> onCall;  // sees each call as it happens
    // Off only for a test that makes host calls itself with values of its choosing.
    bool checkCalls = true;

    int32_t countCalls(int32_t opcode) const;
    void clearCalls() { calls.clear(); }

private:
    static int32_t SEP_CALL callback(ModuleRecord* record, int32_t opcode, int32_t index,
                                     int32_t value, void* pointer, float floatValue);

    ModuleRecord* record = nullptr;
    std::map<int32_t, std::vector<float>> requestedBuffers;  // answers to GetPinBuffer
    std::optional<int32_t> lastSampleClock;  // the last answer to GetSampleClock

    int32_t pinCount() const;
    void check(const HostCall& call) const;
};

}  // namespace host
