// The library's two exports and its entry notification.
#include "module_base.h"
#include "module_library.h"

#if defined(_WIN32)
#include <windows.h>

#include "thread_answer.h"
#endif

using namespace sep;

// Called by the host at any time, on any thread, any number of times, to
// learn what the library holds. `properties` is the host's; only the fields named in
// ModuleProperties are written, and nothing at all when it is null.
SEP_EXPORT int32_t SEP_ENTRY getModuleProperties(int32_t index, ModuleProperties* properties)
{
    if (!properties) return 0;
    properties->sdkVersion = kSdkVersion;
    if (index != kModuleIndex) return 0;
    fillLibraryTexts(properties);
    return 1;
}

// Creates one instance and returns its record, or null for another index or
// kind, or when memory runs out. The instance lives until the host sends Close.
// Any thread may make instances, several at once.
// `hostCallback` may be null; `hostHandle` is stored and never read.
SEP_EXPORT ModuleRecord* SEP_ENTRY makeModule(int32_t index, int32_t kind, HostCallback hostCallback,
                                              int32_t hostHandle)
{
    if (index != kModuleIndex || kind != kModuleObjectKind) return nullptr;
    ModuleBase* module = createModule(hostCallback, hostHandle);
    return module ? module->getRecord() : nullptr;
}

#if defined(_WIN32)
// Only the answer records: a thread that ends hands its record back, and
// unloading releases them all. Never reports failure.
extern "C" BOOL WINAPI __attribute__((force_align_arg_pointer)) DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_THREAD_DETACH) returnThreadAnswerRecord();
    if (reason == DLL_PROCESS_DETACH) releaseAnswerRecords();
    return TRUE;
}
#endif
