#include "pin.h"

#include "module_base.h"

namespace sep {

void Pin::attach(ModuleBase* owner, int32_t pinIndex)
{
    module = owner;
    index = pinIndex;
    status = Static;
}

void Pin::init(int32_t pinDataType, void* variable)
{
    dataType = pinDataType;
    valueAddress = variable;
    ownValue.word = 0;
    if (variable) return;

    switch (pinDataType) {
    case Enum:
        ownValue.listIndex = 0;
        valueAddress = &ownValue;
        break;
    case Byte:
        ownValue.byte = 0;
        valueAddress = &ownValue;
        break;
    case Audio:
        // The host answers with the buffer's address as its 32-bit return value.
        // NOLINTNEXTLINE(performance-no-int-to-ptr)
        ownValue.buffer = reinterpret_cast<float*>(
            static_cast<intptr_t>(module->callHost(GetPinBuffer, index, 0, nullptr, 0.0f)));
        valueAddress = &ownValue;
        break;
    case Word32: valueAddress = &ownValue; break;
    default: break;
    }
}

void Pin::setStatus(int32_t newStatus)
{
    status = newStatus;
    module->onPlugStateChange(this);
    if (newStatus == Transient) status = Static;
}

void Pin::setOutputStatus(int32_t clock, int32_t newStatus) { module->setOutputStatus(index, clock, newStatus); }

}  // namespace sep
