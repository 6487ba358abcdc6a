// The host's process calls: blocks anywhere in the buffers or outside them,
// in any floating-point mode, touching nothing but the block asked for.
#include <cstring>
#include <vector>

#include <xmmintrin.h>

#include "framework/float_mode.h"

#include "fuzz_script.h"

using namespace sep;
using host::HostedModule;

namespace fuzz {

namespace {

// The host's thread may hold any floating-point mode; the module must hand it
// back exactly, flags included.
void processInMode(HostedModule& host, int32_t offset, int32_t count, uint32_t mode)
{
    _mm_setcsr(mode);
    host.process(offset, count);
    const uint32_t after = _mm_getcsr();
    _mm_setcsr(kDefaultMxcsr);
    REQUIRE(after == mode);
}

}  // namespace

void process(Slot& slot, FuzzedDataProvider& input)
{
    HostedModule& host = *slot.host;
    const size_t before = host.calls.size();
    const uint32_t mode = input.ConsumeBool() ? kDefaultMxcsr : input.ConsumeIntegral<uint16_t>();
    if (!slot.bufferLength || slot.bufferNulled || input.ConsumeIntegralInRange<int>(0, 15) == 0) {
        // Without all eight buffers, or with no samples asked for, nothing may be
        // touched, wherever the block would lie.
        const int32_t offset = input.ConsumeIntegral<int32_t>();
        const int32_t count = !slot.bufferLength || slot.bufferNulled
                                  ? input.ConsumeIntegral<int32_t>()
                                  : -input.ConsumeIntegralInRange<int32_t>(0, INT32_MAX);
        std::vector<float> x, y;
        if (slot.bufferLength) {
            if (float* out = host.buffer(tessel::XPin)) x.assign(out, out + slot.bufferLength);
            if (float* out = host.buffer(tessel::YPin)) y.assign(out, out + slot.bufferLength);
        }
        processInMode(host, offset, count, mode);
        if (slot.bufferLength) {
            if (float* out = host.buffer(tessel::XPin))
                REQUIRE(std::memcmp(out, x.data(), x.size() * sizeof(float)) == 0);
            if (float* out = host.buffer(tessel::YPin))
                REQUIRE(std::memcmp(out, y.data(), y.size() * sizeof(float)) == 0);
        }
    } else {
        const int32_t offset = input.ConsumeIntegralInRange<int32_t>(0, slot.bufferLength);
        const int32_t count = input.ConsumeIntegralInRange<int32_t>(0, slot.bufferLength - offset);
        float* x = host.buffer(tessel::XPin);
        float* y = host.buffer(tessel::YPin);
        const uint32_t marker = 0x7FC0DEAD;
        auto mark = [&](int32_t i) {
            if (i >= 0 && i < slot.bufferLength) {
                std::memcpy(&x[i], &marker, 4);
                std::memcpy(&y[i], &marker, 4);
            }
        };
        auto marked = [&](int32_t i) {
            return i < 0 || i >= slot.bufferLength ||
                   (std::memcmp(&x[i], &marker, 4) == 0 && std::memcmp(&y[i], &marker, 4) == 0);
        };
        mark(offset - 1);
        mark(offset + count);
        processInMode(host, offset, count, mode);
        REQUIRE(marked(offset - 1) && marked(offset + count));
    }
    for (size_t i = before; i < host.calls.size(); ++i) REQUIRE(host.calls[i].opcode == RequestSleep);
}

}  // namespace fuzz
