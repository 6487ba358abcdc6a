// The map module with its x output 1 mV high wherever it is not zero: it
// keeps the host interface but does not make the map's states, so the chart
// judges it hosted, and its exponents come out otherwise.
#include "generator/map_module.h"

namespace {

sep::HostCallback hostCallback;
sep::DispatcherEntry moduleDispatcher;
// The instance's own process function and x output variable; each instance
// lives on one thread.
thread_local sep::ProcessEntry moduleProcess;
thread_local float** xOutput;

constexpr float kOffset = 1e-4f;  // 1 mV in the signal scale

void SEP_ENTRY processOffset(void* module, int32_t offset, int32_t count)
{
    moduleProcess(module, offset, count);
    float* x = *xOutput + offset;
    for (int32_t i = 0; i < count; ++i)
        if (x[i] != 0.0f) x[i] += kOffset;
}

int32_t SEP_CALL callHost(sep::ModuleRecord* record, int32_t opcode, int32_t index, int32_t value, void* pointer,
                          float floatValue)
{
    if (opcode == sep::ProcessChanged) {
        moduleProcess = record->process;
        record->process = &processOffset;
    }
    return hostCallback(record, opcode, index, value, pointer, floatValue);
}

int32_t SEP_ENTRY dispatch(sep::ModuleRecord* record, int32_t opcode, int32_t index, int32_t value, void* pointer,
                           float floatValue)
{
    const int32_t result = moduleDispatcher(record, opcode, index, value, pointer, floatValue);
    if (opcode == sep::GetPinProperties && index == tessel::XPin && result)
        xOutput = static_cast<float**>(static_cast<sep::PinProperties*>(pointer)->variable);
    return result;
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
    sep::ModuleRecord* record = (new tessel::MapModule(&callHost, hostHandle))->getRecord();
    moduleDispatcher = record->dispatcher;
    record->dispatcher = &dispatch;
    return record;
}
