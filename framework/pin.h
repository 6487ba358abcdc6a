#pragma once

#include "boundary.h"

namespace sep {

class ModuleBase;

// One per host pin, owned by the module's pin array, which every Open builds
// anew. Each pin is given its place by attach; one the module declares, or
// that a RepeatLast declaration covers, is then bound once by init.
class Pin {
public:
    Pin() = default;
    Pin(const Pin&) = delete;
    Pin& operator=(const Pin&) = delete;
    virtual ~Pin() = default;

    // Gives a pin its place before anything else: owner and index, status
    // Static, no value. A pin the module declares nothing for stays like this.
    void attach(ModuleBase* owner, int32_t pinIndex);

    // After attach: binds the pin to the module field `variable`, or, when that
    // is null, to storage of its own chosen by `dataType` (Audio asks the host
    // for a buffer).
    void init(int32_t pinDataType, void* variable);

    int32_t getStatus() const { return status; }

    // Stores the host's new status and tells the module; Transient is shown to
    // the module during that call only and falls back to Static after it.
    void setStatus(int32_t newStatus);

    // Announces this output's status to the host; the pin's own status is untouched.
    void setOutputStatus(int32_t clock, int32_t newStatus);

    ModuleBase* getModule() const { return module; }
    int32_t getIndex() const { return index; }
    int32_t getDataType() const { return dataType; }
    void* getValueAddress() const { return valueAddress; }
    const void* getOwnValue() const { return &ownValue; }

private:
    void* valueAddress = nullptr;  // the bound variable, else &ownValue, else null
    ModuleBase* module = nullptr;
    int32_t index = -1;
    int32_t status = Static;
    int32_t dataType = -1;
    union OwnValue {
        int16_t listIndex;
        uint8_t byte;
        float* buffer;
        int32_t word;
    } ownValue{};
};

}  // namespace sep
