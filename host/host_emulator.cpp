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
// Instances may live on different threads, one each, so the map is locked;
// an instance's own calls come from its own thread and need no lock.
std::map<const ModuleRecord*, HostedModule*>& registry()
{
    static std::map<const ModuleRecord*, HostedModule*> instances;
    return instances;
}

// Instances may live one per thread (the chart's workers): the registry and
// the violation log are shared, so each access takes this lock.
std::mutex hostLock;

std::vector<std::string>& violationLog()
{
    static std::vector<std::string> log;
    return log;
}

void recordViolation(std::string violation)
{
    const std::lock_guard<std::mutex> locked(hostLock);
    violationLog().push_back(std::move(violation));
}

std::string describe(const HostCall& call)
{
    char text[128];
    std::snprintf(text, sizeof text, "host call %d (index %d, value %d, pointer %d, floatValue bits 0x%08X)",
                  call.opcode, call.index, call.value, static_cast<int32_t>(call.pointer),
                  std::bit_cast<uint32_t>(call.floatValue));
    return text;
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

const std::vector<std::string>& hostCallViolations() { return violationLog(); }

std::vector<std::string> takeHostCallViolations()
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
        const std::lock_guard<std::mutex> locked(hostLock);
        registry().erase(record);
    }
    record = nullptr;
    return result;
}

void HostedModule::connect(int32_t bufferLength)
{
    pins.clear();
    buffers.clear();
    for (int32_t index = 0;; ++index) {
        PinProperties declaration{};
        if (!dispatch(sep::GetPinProperties, index, 0, &declaration)) break;
        pins.push_back(declaration);
    }
    buffers.resize(pins.size());
    for (size_t index = 0; index < pins.size(); ++index) {
        const PinProperties& pin = pins[index];
        if (!pin.variable) continue;
        if (pin.dataType == sep::Audio) {
            buffers[index].assign(bufferLength, 0.0f);
            *static_cast<float**>(pin.variable) = buffers[index].data();
        } else if (pin.dataType == sep::Enum) {
            const int16_t item = pin.defaultText ? static_cast<int16_t>(std::atoi(pin.defaultText)) : 0;
            *static_cast<int16_t*>(pin.variable) = item;
        }
    }
}

void HostedModule::connectAndOpen(int32_t bufferLength)
{
    connect(bufferLength);
    open();
}

float* HostedModule::buffer(int32_t pin)
{
    if (pin < 0 || static_cast<size_t>(pin) >= buffers.size() || buffers[pin].empty()) return nullptr;
    return buffers[pin].data();
}

float* HostedModule::requestedBuffer(int32_t pin)
{
    auto found = requestedBuffers.find(pin);
    return found == requestedBuffers.end() ? nullptr : found->second.data();
}

void HostedModule::setList(int32_t pin, int16_t item)
{
    *static_cast<int16_t*>(pins.at(pin).variable) = item;
}

void HostedModule::fill(int32_t pin, float value)
{
    std::fill(buffers.at(pin).begin(), buffers.at(pin).end(), value);
}

void HostedModule::sendEvent(const Event& event) { record->event(record->module, &event); }

void HostedModule::sendStatus(int32_t pin, int32_t status)
{
    Event event{};
    event.type = sep::PinStatusChange;
    event.value = status;
    event.target = pin;
    sendEvent(event);
}

void HostedModule::process(int32_t offset, int32_t count)
{
    record->process(record->module, offset, count);
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
    const auto broken = [&call](const std::string& rule) { recordViolation(describe(call) + ": " + rule); };
    const bool onlyZeros = call.index == 0 && call.value == 0 && call.pointer == 0;
    const int32_t pinLimit = std::max(hostPinCount, static_cast<int32_t>(pins.size()));
    const bool knownPin = call.index >= 0 && call.index < pinLimit;

    if (std::bit_cast<uint32_t>(call.floatValue) != 0) broken("floatValue must be 0");
    switch (call.opcode) {
    case sep::SetPinStatus:
        if (!knownPin) broken("no such pin");
        if (!lastSampleClock) {
            broken("a status announced before any GetSampleClock");
        } else if (call.pointer != *lastSampleClock) {
            broken("the clock is not the last GetSampleClock answer, " + std::to_string(*lastSampleClock));
        }
        break;
    case sep::GetPinBuffer:
        if (!knownPin) broken("no such pin");
        if (call.value != 0 || call.pointer != 0) broken("value and pointer must be 0");
        break;
    case sep::GetSampleClock:
    case sep::RequestSleep:
    case sep::GetPinCount:
    case sep::ProcessChanged:
        if (!onlyZeros) broken("index, value and pointer must be 0");
        break;
    default:
        broken("not an opcode a module sends");
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
        recordViolation(describe(call) + ": the record is no hosted instance's");
        return 0;
    }
    HostedModule& self = *found;
    self.check(call);
    self.calls.push_back(call);
    if (self.onCall) self.onCall(call);
    switch (opcode) {
    case sep::GetPinCount:
        return self.hostPinCount;
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
