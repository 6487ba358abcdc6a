// What the tests of a misbehaving host read back from the module: its output
// bits, the pins and statuses it announced, and the orbit it should have made.
#pragma once

#include <cstdint>
#include <vector>

#include "test_support.h"

namespace hardening {

using namespace testing_support;
using host::HostCall;
using host::HostedModule;
using namespace sep;

constexpr uint32_t kFirstX = 0x3DCCCCCD;  // first iterate from (0, 0): 0.1 and 0
constexpr float kSentinel = 1234.5f;

inline std::vector<uint32_t> outputBits(HostedModule& host, int32_t first, int32_t count)
{
    std::vector<uint32_t> bits;
    for (int32_t i = first; i < first + count; ++i) {
        bits.push_back(bitsOf(host.buffer(tessel::XPin)[i]));
        bits.push_back(bitsOf(host.buffer(tessel::YPin)[i]));
    }
    return bits;
}

inline std::vector<int32_t> announcedPins(const HostedModule& host)
{
    std::vector<int32_t> pins;
    for (const HostCall& call : host.calls)
        if (call.opcode == SetPinStatus) pins.push_back(call.index);
    return pins;
}

inline std::vector<int32_t> announcedStatuses(const HostedModule& host)
{
    std::vector<int32_t> statuses;
    for (const HostCall& call : host.calls)
        if (call.opcode == SetPinStatus) statuses.push_back(call.value);
    return statuses;
}

inline uint32_t wordOf(float value) { return bitsOf(value); }
inline uint32_t wordOf(const void* pointer) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer)); }
template <typename Function>
const void* codeOf(Function function)
{
    return reinterpret_cast<const void*>(function);
}

// The first `count` output pairs of a freshly opened instance with the usual inputs.
inline std::vector<uint32_t> referenceOrbit(int32_t count)
{
    HostedModule reference;
    connectUsual(reference, tessel::Continuous, count);
    reference.open();
    reference.process(0, count);
    return outputBits(reference, 0, count);
}

}  // namespace hardening
