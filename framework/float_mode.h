// The floating-point mode a process function computes in, whatever the host's
// thread holds: many hosts run audio threads with flush-to-zero and
// denormals-are-zero, some with another rounding mode, and either would change
// the module's bits. Only the SSE unit matters: the module has no x87 code.
// Where the arithmetic has no modes (WebAssembly: always round to nearest, no
// flushing), there is nothing to set.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

namespace sep {

#if defined(__SSE2__)

// Round to nearest, every exception masked, no flushing: the IEEE default.
constexpr uint32_t kDefaultMxcsr = 0x1F80;

// While in scope, the thread computes in the default mode; on leaving, the
// caller's MXCSR is back exactly as it was, flags included (the arithmetic
// sets flags the caller may not have had). Leave the scope before calling the
// host, so that the host runs in its own mode.
//
// Both writes are unconditional: reading MXCSR again on the way out waits for
// every pending SSE operation's flags, which costs more than the write it
// might save, and a test on the way in saves nothing measurable.
class DefaultFloatMode {
public:
    DefaultFloatMode() : callers(_mm_getcsr()) { _mm_setcsr(kDefaultMxcsr); }
    ~DefaultFloatMode() { _mm_setcsr(callers); }
    DefaultFloatMode(const DefaultFloatMode&) = delete;
    DefaultFloatMode& operator=(const DefaultFloatMode&) = delete;

private:
    const uint32_t callers;
};

#else

// The arithmetic is always in the IEEE default mode: nothing to set or restore.
class DefaultFloatMode {
public:
    DefaultFloatMode() {}
    DefaultFloatMode(const DefaultFloatMode&) = delete;
    DefaultFloatMode& operator=(const DefaultFloatMode&) = delete;
};

#endif

}  // namespace sep
