#include "hosted_module.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace host {

namespace {

// The callback receives only the record; this finds the hosted instance.
// Instances may be driven on different threads at once (the chart's workers,
// the thread tests), so the map is shared and locked. What an instance keeps
// of its own (its call log, its last clock) needs no lock: a host never runs
// two calls for one instance at the same time.
std::map<const ModuleRecord*, HostedModule*>& registry()
{
    static std::map<const ModuleRecord*, HostedModule*> instances;
    return instances;
}

// Guards the registry, which every thread may reach.
std::mutex registryLock;

}  // namespace

HostedModule::HostedModule(const ModuleFactory& factory, int32_t hostHandle, bool withCallback)
{
    record = factory(withCallback ? &HostedModule::callback : nullptr, hostHandle);
    if (!record) return;
    const std::lock_guard<std::mutex> locked(registryLock);
    registry()[record] = this;
}

HostedModule::~HostedModule()
{
    if (record) close();
}

int32_t HostedModule::dispatch(int32_t opcode, int32_t index, int32_t value, void* pointer, float floatValue)
{
    return record->dispatcher(record, opcode, index, value, pointer, floatValue);
}

int32_t HostedModule::close()
{
    // The record lives until the module has run its close and destructor;
    // a host call from them is still checked.
    const int32_t result = dispatch(sep::Close);
    {
        // Once Close has freed the module, another thread's new instance may
        // already have its address, and its entry is that instance's.
        const std::lock_guard<std::mutex> locked(registryLock);
        const auto entry = registry().find(record);
        if (entry != registry().end() && entry->second == this) registry().erase(entry);
    }
    record = nullptr;
    return result;
}

void HostedModule::connectAndOpen(int32_t bufferLength)
{
    connect(bufferLength);
    open();
}

float* HostedModule::requestedBuffer(int32_t pin)
{
    auto found = requestedBuffers.find(pin);
    return found == requestedBuffers.end() ? nullptr : found->second.data();
}

void HostedModule::sendEvent(const Event& event)
{
    events.push_back(event);
    record->event(record->module, &event);
}

void HostedModule::process(int32_t offset, int32_t count) { record->process(record->module, offset, count); }

int32_t HostedModule::pinCount() const { return hostPinCount.value_or(static_cast<int32_t>(declarations().size())); }

int32_t HostedModule::countCalls(int32_t opcode) const
{
    return static_cast<int32_t>(
        std::count_if(calls.begin(), calls.end(), [opcode](const HostCall& c) { return c.opcode == opcode; }));
}

int32_t SEP_CALL HostedModule::callback(ModuleRecord* record, int32_t opcode, int32_t index, int32_t value,
                                        void* pointer, float floatValue)
{
    const HostCall call{record, opcode, index, value, reinterpret_cast<intptr_t>(pointer), floatValue};
    HostedModule* found = nullptr;
    {
        const std::lock_guard<std::mutex> locked(registryLock);
        const auto entry = registry().find(record);
        if (entry != registry().end()) found = entry->second;
    }
    if (!found) {
        noteUnhostedCall(call);
        return 0;
    }
    HostedModule& self = *found;
    if (self.checkCalls)
        checkHostCall(call, std::max(self.pinCount(), static_cast<int32_t>(self.declarations().size())),
                      self.lastSampleClock);
    self.calls.push_back(call);
    if (self.onCall) self.onCall(call);
    switch (opcode) {
    case sep::GetPinCount: return self.pinCount();
    case sep::GetSampleClock: self.lastSampleClock = self.sampleClock; return self.sampleClock;
    case sep::GetPinBuffer: {
        std::vector<float>& requested = self.requestedBuffers[index];
        requested.assign(kBufferLength, 0.0f);
        return static_cast<int32_t>(reinterpret_cast<intptr_t>(requested.data()));
    }
    default: return 0;
    }
}

}  // namespace host
