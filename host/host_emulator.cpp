#include "host_emulator.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <mutex>
#include <stdexcept>

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

std::mutex registryLock;

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
    const std::lock_guard<std::mutex> locked(registryLock);
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
    {
        const std::lock_guard<std::mutex> locked(registryLock);
        registry().erase(record);
    }
    const int32_t result = dispatch(sep::Close);
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

int32_t SEP_CALL HostedModule::callback(ModuleRecord* record, int32_t opcode, int32_t index,
                                        int32_t value, void* pointer, float floatValue)
{
    HostedModule* found = nullptr;
    {
        const std::lock_guard<std::mutex> locked(registryLock);
        const auto entry = registry().find(record);
        if (entry != registry().end()) found = entry->second;
    }
    if (!found) return 0;
    HostedModule& self = *found;
    const HostCall call{record, opcode, index, value, reinterpret_cast<intptr_t>(pointer), floatValue};
    self.calls.push_back(call);
    if (self.onCall) self.onCall(call);
    switch (opcode) {
    case sep::GetPinCount:
        return self.hostPinCount;
    case sep::GetSampleClock:
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
