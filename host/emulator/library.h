// Loading a module library as a host does: the library and its two exports,
// the one this build produced, and a module object made from either.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "framework/boundary.h"

namespace host {

// A loaded module library and its two exports. Throws std::runtime_error when
// the library does not load or lacks an export.
class ModuleLibrary {
public:
    explicit ModuleLibrary(const std::string& path);
    ~ModuleLibrary();
    ModuleLibrary(const ModuleLibrary&) = delete;
    ModuleLibrary& operator=(const ModuleLibrary&) = delete;

    using GetModulePropertiesFunction = int32_t(SEP_CALL*)(int32_t index, sep::ModuleProperties* properties);
    using MakeModuleFunction = sep::ModuleRecord*(SEP_CALL*)(int32_t index, int32_t kind, sep::HostCallback callback,
                                                             int32_t hostHandle);

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

// Creates a module object: makeModule of a library, or a test's own factory.
using ModuleFactory = std::function<sep::ModuleRecord*(sep::HostCallback callback, int32_t hostHandle)>;

ModuleFactory factoryOf(const ModuleLibrary& library);

}  // namespace host
