#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "generator/map_pins.h"
#include "host/emulator/hosted_module.h"

namespace testing_support {

constexpr uint32_t kUsualA = 0x3E0F5C29;  // 1.4 V
constexpr uint32_t kUsualB = 0x3CF5C28F;  // 0.3 V

inline uint32_t bitsOf(float value) { return std::bit_cast<uint32_t>(value); }
inline float floatFromBits(uint32_t bits) { return std::bit_cast<float>(bits); }

// Fills a record with a recognisable byte pattern so untouched fields show.
template <typename Record>
Record patterned(uint8_t pattern = 0xA5)
{
    Record record;
    std::memset(static_cast<void*>(&record), pattern, sizeof record);
    return record;
}

template <typename Record>
bool sameBytes(const Record& a, const Record& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Connects an instance's pins: a and b at the usual values, every other
// input 0, and the given settings.
inline void connectUsual(host::HostedModule& host, int16_t mode = tessel::Continuous,
                         int32_t length = host::HostedModule::kBufferLength, int16_t normalize = 0)
{
    host.connect(length);
    host.fill(tessel::APin, floatFromBits(kUsualA));
    host.fill(tessel::BPin, floatFromBits(kUsualB));
    host.setList(tessel::ModePin, mode);
    host.setList(tessel::NormalizePin, normalize);
}

// The dispatcher's answer to GetProcessMember: the address of this thread's
// answer record, in the dispatcher's 32-bit result.
inline const sep::ProcessMemberInfo* askProcessMember(host::HostedModule& module)
{
    return reinterpret_cast<const sep::ProcessMemberInfo*>(
        static_cast<intptr_t>(module.dispatch(sep::GetProcessMember)));
}

// An opened instance of the built module, connected with the usual inputs.
struct OpenedMap {
    host::HostedModule host;

    explicit OpenedMap(int16_t normalize = 0, int16_t mode = tessel::Continuous)
    {
        connectUsual(host, mode, host::HostedModule::kBufferLength, normalize);
        host.open();
        host.clearCalls();
    }

    // With a = 0 and b = 0.1 the third new x is 0.1 + 0.1, exactly the
    // guard's bound: after these four samples the map has stopped itself.
    void runUntilTheGuardStops()
    {
        host.fill(tessel::APin, 0.0f);
        host.fill(tessel::BPin, floatFromBits(0x3DCCCCCD));
        host.process(0, 4);
    }
    float* in(tessel::MapPin pin) { return host.buffer(pin); }
    float x(int32_t i) { return host.buffer(tessel::XPin)[i]; }
    float y(int32_t i) { return host.buffer(tessel::YPin)[i]; }
    uint32_t xBits(int32_t i) { return bitsOf(x(i)); }
    uint32_t yBits(int32_t i) { return bitsOf(y(i)); }
};

}  // namespace testing_support
