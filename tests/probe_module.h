// A test-only module on the framework alone: it declares what each test asks
// for (counts, data types, bound or not, RepeatLast) and records what the
// framework does to it.
#pragma once

#include <string>
#include <vector>

#include "framework/module_base.h"

namespace testing_support {

using namespace sep;

inline int liveProbes = 0;                   // probes constructed and not yet destroyed
inline std::vector<std::string> lifeEvents;  // what the probes' close and destructor saw, in order

class ProbeModule final : public ModuleBase {
public:
    struct StatusSeen {
        int32_t pin;
        int32_t status;
    };

    ProbeModule(HostCallback callback, int32_t handle) : ModuleBase(callback, handle)
    {
        ++liveProbes;
        offerMemberCalls(kOfferedMembers);
    }
    ~ProbeModule() override
    {
        --liveProbes;
        lifeEvents.push_back("destroyed");
    }

    // What the probe declares: `declared` pins of `dataType`, bound to the
    // probe's own variables when `bound`; the last one may carry RepeatLast.
    int32_t declared = 10;
    int32_t dataType = Audio;
    bool bound = true;
    bool repeatLast = false;

    std::vector<int32_t> queries;
    std::vector<StatusSeen> statusChanges;
    std::vector<std::vector<int32_t>> forwarded;
    std::vector<std::vector<intptr_t>> dispatchedHooks;  // opcode, then the hook's arguments
    int32_t variables[16] = {};

    bool getPinProperties(int32_t index, PinProperties* properties) override
    {
        queries.push_back(index);
        if (index < 0 || index >= declared) return false;
        properties->variable = bound ? &variables[index] : nullptr;
        properties->dataType = dataType;
        properties->name = "probe";
        if (repeatLast && index == declared - 1) properties->flags = RepeatLast;
        return true;
    }
    void onPlugStateChange(Pin* pin) override { statusChanges.push_back({pin->getIndex(), pin->getStatus()}); }
    void onEventType2(int32_t timeStamp, int32_t value, int16_t value16) override
    {
        forwarded.push_back({timeStamp, value, value16});
    }

    void onOpcode8() override { dispatchedHooks.push_back({Opcode8}); }
    void onOpcode12(int32_t value, int32_t index, void* pointer) override
    {
        dispatchedHooks.push_back({Opcode12, value, index, reinterpret_cast<intptr_t>(pointer)});
    }
    void close() override { lifeEvents.push_back("closed"); }

    static void SEP_CALL memberCallTarget(void* module) { ++static_cast<ProbeModule*>(module)->memberCalls; }
    static void SEP_CALL notOffered(void* module) { ++static_cast<ProbeModule*>(module)->memberCalls; }
    static constexpr MemberCallFunction kOfferedMembers[] = {&memberCallTarget};
    int32_t memberCalls = 0;
};

}  // namespace testing_support
