// The probe module hosted by the emulator, as the framework's tests drive it:
// each test declares what it needs on the probe before opening it.
#pragma once

#include <cstdint>
#include <vector>

#include "host/emulator/hosted_module.h"
#include "probe_module.h"

namespace framework_testing {

using namespace sep;
using host::HostedModule;
using testing_support::ProbeModule;

// A hosted probe: the test configures `probe` before opening it.
struct HostedProbe {
    ProbeModule* probe = nullptr;
    HostedModule host;

    explicit HostedProbe(int32_t hostPinCount, bool withCallback = true)
        : host(
              [this](HostCallback callback, int32_t handle) {
                  probe = new ProbeModule(callback, handle);
                  return probe->getRecord();
              },
              HostedModule::kDefaultHandle, withCallback)
    {
        host.hostPinCount = hostPinCount;
    }
};

inline std::vector<int32_t> range(int32_t first, int32_t last)
{
    std::vector<int32_t> values;
    for (int32_t v = first; v <= last; ++v) values.push_back(v);
    return values;
}

}  // namespace framework_testing
