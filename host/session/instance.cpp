#include "instance.h"

#include <algorithm>
#include <cstdlib>
#include <new>

namespace host {

bool Instance::connect(int32_t bufferLength)
{
    pins.clear();
    buffers.clear();
    length = 0;
    for (int32_t index = 0;; ++index) {
        sep::PinProperties declaration{};
        if (!dispatch(sep::GetPinProperties, index, 0, &declaration)) break;
        pins.push_back(declaration);
    }
    buffers.resize(pins.size());
    for (size_t index = 0; index < pins.size(); ++index) {
        const sep::PinProperties& pin = pins[index];
        if (!pin.variable) continue;
        if (pin.dataType == sep::Audio) {
            buffers[index].reset(new (std::nothrow) float[size_t(bufferLength)]());
            if (!buffers[index]) {
                pins.clear();
                buffers.clear();
                return false;
            }
            *static_cast<float**>(pin.variable) = buffers[index].get();
        } else if (pin.dataType == sep::Enum) {
            const int16_t item = pin.defaultText ? static_cast<int16_t>(std::atoi(pin.defaultText)) : 0;
            *static_cast<int16_t*>(pin.variable) = item;
        }
    }
    length = bufferLength;
    return true;
}

void Instance::sendStatus(int32_t pin, int32_t status)
{
    sep::Event event{};
    event.type = sep::PinStatusChange;
    event.value = status;
    event.target = pin;
    sendEvent(event);
}

float* Instance::buffer(int32_t pin)
{
    if (pin < 0 || static_cast<size_t>(pin) >= buffers.size()) return nullptr;
    return buffers[pin].get();
}

void Instance::fill(int32_t pin, float value)
{
    if (float* samples = buffer(pin)) std::fill_n(samples, length, value);
}

int16_t* Instance::list(int32_t pin)
{
    if (pin < 0 || static_cast<size_t>(pin) >= pins.size()) return nullptr;
    const sep::PinProperties& declaration = pins[pin];
    if (declaration.dataType != sep::Enum) return nullptr;
    return static_cast<int16_t*>(declaration.variable);
}

void Instance::setList(int32_t pin, int16_t item)
{
    if (int16_t* variable = list(pin)) *variable = item;
}

}  // namespace host
