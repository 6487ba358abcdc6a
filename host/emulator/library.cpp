#include "library.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace host {

namespace {

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
    getModuleProperties = reinterpret_cast<GetModulePropertiesFunction>(findSymbol(handle, "getModuleProperties"));
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
    return [&library](sep::HostCallback callback, int32_t hostHandle) {
        return library.makeModule(sep::kModuleIndex, sep::kModuleObjectKind, callback, hostHandle);
    };
}

}  // namespace host
