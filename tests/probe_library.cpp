// The probe as a module library of its own, linked with the framework's entry
// points and nothing of the map module: it declares three Audio pins, the last
// with RepeatLast, so a host with more pins sees each of the rest ask for a
// buffer of its own. On Windows it exports one more function, a test hook
// that counts the library's GetProcessMember answer records.
#include <new>

#include "framework/module_library.h"
#include "probe_module.h"

namespace {
const char kProbeName[] = "Probe";
const char kProbeIdentifier[] = "ZQ Probe";
const char kProbeAbout[] = "A test-only module";
}  // namespace

namespace sep {

void fillLibraryTexts(ModuleProperties* properties)
{
    properties->name = kProbeName;
    properties->identifier = kProbeIdentifier;
    properties->about = kProbeAbout;
}

ModuleBase* createModule(HostCallback callback, int32_t hostHandle)
{
    auto* probe = new (std::nothrow) testing_support::ProbeModule(callback, hostHandle);
    if (!probe) return nullptr;
    probe->declared = 3;
    probe->repeatLast = true;
    return probe;
}

}  // namespace sep

#if defined(_WIN32)
#include "framework/thread_answer.h"

// Test-only export: the GetProcessMember answer records the library's threads
// hold now, and how many it allocated beyond its pool.
SEP_EXPORT void SEP_ENTRY probeAnswerRecordCount(int32_t* inUse, int32_t* allocated)
{
    const sep::AnswerRecordCount count = sep::countAnswerRecords();
    *inUse = count.inUse;
    *allocated = count.allocated;
}
#endif
