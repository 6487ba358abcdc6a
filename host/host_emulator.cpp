#include "host_emulator.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <stdexcept>
#include <utility>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

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

// Guards the registry and the violation log, which every thread may reach:
// nothing reads or writes either without it, and the log is handed out only
// as a copy.
std::mutex hostLock;

std::vector<HostCallViolation>& violationLog()
{
    static std::vector<HostCallViolation> log;
    return log;
}

void recordViolation(const HostCall& call, HostCallRule rule, int32_t lastClock = 0)
{
    const std::lock_guard<std::mutex> locked(hostLock);
    violationLog().push_back({call, rule, lastClock});
}

const char* ruleText(HostCallRule rule)
{
    switch (rule) {
    case HostCallRule::FloatValueZero:
        return "floatValue must be 0";
    case HostCallRule::KnownPin:
        return "no such pin";
    case HostCallRule::ClockReadFirst:
        return "a status announced before any GetSampleClock";
    case HostCallRule::LastClock:
        return "the clock is not the last GetSampleClock answer, ";
    case HostCallRule::BufferArgumentsZero:
        return "value and pointer must be 0";
    case HostCallRule::ArgumentsZero:
        return "index, value and pointer must be 0";
    case HostCallRule::KnownOpcode:
        return "not an opcode a module sends";
    case HostCallRule::HostedRecord:
        return "the record is no hosted instance's";
    }
    return "an unknown rule";
}

void* openLibrary(const std::string& path, std::string& error)
{
#if defined(_WIN32)
    HMODULE library = LoadLibraryA(path.c_str());
    if (!library) error = "error " + std::to_string(GetLastError());
    return reinterpret_cast<void*>(library);
#else
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) error = dlerror();
    return library;
#endif
}

void* findSymbol(void* library, const char* name)
{
#if defined(_WIN32)
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
#else
    return dlsym(library, name);
#endif
}

void closeLibrary(void* library)
{
#if defined(_WIN32)
    FreeLibrary(static_cast<HMODULE>(library));
#else
    dlclose(library);
#endif
}

}  // namespace

std::string HostCallViolation::describe() const
{
    char text[128];
    std::snprintf(text, sizeof text, "host call %d (index %d, value %d, pointer %d, floatValue bits 0x%08X): ",
                  call.opcode, call.index, call.value, static_cast<int32_t>(call.pointer),
                  std::bit_cast<uint32_t>(call.floatValue));
    std::string described = std::string(text) + ruleText(rule);
    if (rule == HostCallRule::LastClock) described += std::to_string(lastClock);
    return described;
}

std::vector<HostCallViolation> hostCallViolations()
{
    const std::lock_guard<std::mutex> locked(hostLock);
    return violationLog();
}

std::vector<HostCallViolation> takeHostCallViolations()
{
    const std::lock_guard<std::mutex> locked(hostLock);
    return std::exchange(violationLog(), {});
}

ModuleLibrary::ModuleLibrary(const std::string& path)
{
    std::string error;
    handle = openLibrary(path, error);
    if (!handle) throw std::runtime_error("cannot load module library " + path + ": " + error);
    getModuleProperties =
        reinterpret_cast<GetModulePropertiesFunction>(findSymbol(handle, "getModuleProperties"));
    makeModule = reinterpret_cast<MakeModuleFunction>(findSymbol(handle, "makeModule"));
    if (!getModuleProperties || !makeModule) {
        closeLibrary(handle);
        throw std::runtime_error(path + " is not a module library: it lacks getModuleProperties or makeModule");
    }
}

ModuleLibrary::~ModuleLibrary() { closeLibrary(handle); }

void* ModuleLibrary::symbol(const char* name) const { return findSymbol(handle, name); }

std::string loadablePath(std::string buildPath)
{
#if defined(_WIN32)
    // Built on Linux, run under Wine: its Z: drive is the Linux root.
    if (buildPath.starts_with('/')) {
        std::replace(buildPath.begin(), buildPath.end(), '/', '\\');
        buildPath = "Z:" + buildPath;
    }
#endif
    return buildPath;
}

const std::string& builtModulePath()
{
    static const std::string path = [] {
        if (const char* fromEnvironment = std::getenv("TESSEL_MODULE")) return std::string(fromEnvironment);
        return loadablePath(TESSEL_MODULE_PATH);
    }();
    return path;
}

const ModuleLibrary& builtModuleLibrary()
{
    static const ModuleLibrary library(builtModulePath());
    return library;
}

ModuleFactory factoryOf(const ModuleLibrary& library)
{
    return [&library](HostCallback callback, int32_t hostHandle) {
        return library.makeModule(sep::kModuleIndex, sep::kModuleObjectKind, callback, hostHandle);
    };
}

HostedModule::HostedModule(const ModuleFactory& factory, int32_t hostHandle, bool withCallback)
{
    record = factory(withCallback ? &HostedModule::callback : nullptr, hostHandle);
    if (!record) return;
    const std::lock_guard<std::mutex> locked(hostLock);
    registry()[record] = this;
}

HostedModule::~HostedModule()
{
    if (record) close();
}

int32_t HostedModule::dispatch(int32_t opcode, int32_t index, int32_t value, void* pointer,
                               float floatValue)
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
        const std::lock_guard<std::mutex> locked(hostLock);
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

void HostedModule::process(int32_t offset, int32_t count)
{
    record->process(record->module, offset, count);
}

int32_t HostedModule::pinCount() const
{
    return hostPinCount.value_or(static_cast<int32_t>(declarations().size()));
}

int32_t HostedModule::countCalls(int32_t opcode) const
{
    return static_cast<int32_t>(std::count_if(calls.begin(), calls.end(),
                                              [opcode](const HostCall& c) { return c.opcode == opcode; }));
}

// Each opcode the module may send, with the arguments it must carry: a pin
// the host holds or the module declared, the clock the host gave last, and 0
// in every argument that is not named, floatValue included, bit for bit. A
// status value may be any int32.
void HostedModule::check(const HostCall& call) const
{
    if (!checkCalls) return;
    const auto broken = [&call](HostCallRule rule) { recordViolation(call, rule); };
    const bool onlyZeros = call.index == 0 && call.value == 0 && call.pointer == 0;
    const int32_t pinLimit = std::max(pinCount(), static_cast<int32_t>(declarations().size()));
    const bool knownPin = call.index >= 0 && call.index < pinLimit;

    if (std::bit_cast<uint32_t>(call.floatValue) != 0) broken(HostCallRule::FloatValueZero);
    switch (call.opcode) {
    case sep::SetPinStatus:
        if (!knownPin) broken(HostCallRule::KnownPin);
        if (!lastSampleClock) {
            broken(HostCallRule::ClockReadFirst);
        } else if (call.pointer != *lastSampleClock) {
            recordViolation(call, HostCallRule::LastClock, *lastSampleClock);
        }
        break;
    case sep::GetPinBuffer:
        if (!knownPin) broken(HostCallRule::KnownPin);
        if (call.value != 0 || call.pointer != 0) broken(HostCallRule::BufferArgumentsZero);
        break;
    case sep::GetSampleClock:
    case sep::RequestSleep:
    case sep::GetPinCount:
    case sep::ProcessChanged:
        if (!onlyZeros) broken(HostCallRule::ArgumentsZero);
        break;
    default:
        broken(HostCallRule::KnownOpcode);
        break;
    }
}

int32_t SEP_CALL HostedModule::callback(ModuleRecord* record, int32_t opcode, int32_t index,
                                        int32_t value, void* pointer, float floatValue)
{
    const HostCall call{record, opcode, index, value, reinterpret_cast<intptr_t>(pointer), floatValue};
    HostedModule* found = nullptr;
    {
        const std::lock_guard<std::mutex> locked(hostLock);
        const auto entry = registry().find(record);
        if (entry != registry().end()) found = entry->second;
    }
    if (!found) {
        recordViolation(call, HostCallRule::HostedRecord);
        return 0;
    }
    HostedModule& self = *found;
    self.check(call);
    self.calls.push_back(call);
    if (self.onCall) self.onCall(call);
    switch (opcode) {
    case sep::GetPinCount:
        return self.pinCount();
    case sep::GetSampleClock:
        self.lastSampleClock = self.sampleClock;
        return self.sampleClock;
    case sep::GetPinBuffer: {
        std::vector<float>& requested = self.requestedBuffers[index];
        requested.assign(kBufferLength, 0.0f);
        return static_cast<int32_t>(reinterpret_cast<intptr_t>(requested.data()));
    }
    default:
        return 0;
    }
}

}  // namespace host
