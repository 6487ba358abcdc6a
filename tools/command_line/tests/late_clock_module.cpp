// The map module with one host call argument off: every status is announced
// with the host's clock plus one. A host that checks its calls refuses it.
#include "generator/map_module.h"

namespace {

sep::HostCallback hostCallback;  // the last instance's; the tool hosts one at a time

int32_t SEP_CALL callHostLate(sep::ModuleRecord* record, int32_t opcode, int32_t index, int32_t value, void* pointer,
                              float floatValue)
{
    if (opcode == sep::SetPinStatus) pointer = reinterpret_cast<void*>(reinterpret_cast<intptr_t>(pointer) + 1);
    return hostCallback(record, opcode, index, value, pointer, floatValue);
}

}  // namespace

SEP_EXPORT int32_t SEP_ENTRY getModuleProperties(int32_t, sep::ModuleProperties* properties)
{
    properties->sdkVersion = sep::kSdkVersion;
    return tessel::MapModule::fillModuleTexts(properties) ? 1 : 0;
}

SEP_EXPORT sep::ModuleRecord* SEP_ENTRY makeModule(int32_t, int32_t, sep::HostCallback callback, int32_t hostHandle)
{
    hostCallback = callback;
    return (new tessel::MapModule(&callHostLate, hostHandle))->getRecord();
}
