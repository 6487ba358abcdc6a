#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "generator/map_module.h"
#include "host/host_emulator.h"

namespace testing_support {

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

// An opened instance of the built module with its pins connected; inputs at
// the usual values (a 1.4 V, b 0.3 V), everything else 0, Normalize off.
struct OpenedMap {
    host::HostedModule host;

    explicit OpenedMap(int16_t normalize = 0, int16_t mode = tessel::Continuous)
    {
        host.connect();
        host.fill(tessel::APin, floatFromBits(0x3E0F5C29));
        host.fill(tessel::BPin, floatFromBits(0x3CF5C28F));
        host.setList(tessel::NormalizePin, normalize);
        host.setList(tessel::ModePin, mode);
        host.open();
        host.clearCalls();
    }
    float* in(tessel::MapPin pin) { return host.buffer(pin); }
    float x(int32_t i) { return host.buffer(tessel::XPin)[i]; }
    float y(int32_t i) { return host.buffer(tessel::YPin)[i]; }
    uint32_t xBits(int32_t i) { return bitsOf(x(i)); }
    uint32_t yBits(int32_t i) { return bitsOf(y(i)); }
};

}  // namespace testing_support
