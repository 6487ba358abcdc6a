// The numbers the script reads: samples that break arithmetic, pin indexes
// out of range, statuses no host sends, each as often as plain ones.
#include <cstring>
#include <iterator>

#include "fuzz_script.h"

using namespace sep;
using host::HostedModule;

namespace fuzz {

const uint32_t kEdgeCaseBits[] = {
    0x00000000, 0x80000000,              // +0, -0
    0x7FC00000, 0xFFC00000, 0x7F800001,  // quiet NaNs, signalling NaN
    0x7F800000, 0xFF800000,              // infinities
    0x00000001, 0x807FFFFF, 0x00800000,  // subnormals, smallest normal
    0x7F7FFFFF, 0xFF7FFFFF,              // largest finite
    0x3E4CCCCD, 0x3E4CCCCC, 0xBE4CCCCD,  // the guard bounds and just inside
    0x3E0F5C29, 0x3CF5C28F,              // usual a and b
    0x3F800000, 0xBF800000, 0x5F000000,  // +-1 (10 V), 2^63
};

float consumeSample(FuzzedDataProvider& input)
{
    uint32_t bits;
    if (input.ConsumeBool())
        bits = kEdgeCaseBits[input.ConsumeIntegralInRange<size_t>(0, std::size(kEdgeCaseBits) - 1)];
    else bits = input.ConsumeIntegral<uint32_t>();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

int32_t consumeIndex(FuzzedDataProvider& input)
{
    switch (input.ConsumeIntegralInRange<int>(0, 4)) {
    case 0: return input.ConsumeIntegralInRange<int32_t>(0, kDeclaredPins + 1);
    case 1: return input.ConsumeIntegralInRange<int32_t>(-3, 45);
    case 2: return input.ConsumeBool() ? INT32_MIN : INT32_MAX;
    default: return input.ConsumeIntegral<int32_t>();
    }
}

int32_t consumeStatus(FuzzedDataProvider& input)
{
    return input.ConsumeBool() ? input.ConsumeIntegralInRange<int32_t>(0, 2) : input.ConsumeIntegral<int32_t>();
}

}  // namespace fuzz
