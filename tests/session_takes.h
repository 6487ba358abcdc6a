// A take as the session's tests describe it, the inputs patched into it as
// signals, and the status events the session sent the module.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/session/signals/signal.h"
#include "host/session/source.h"
#include "host/session/volts_text.h"
#include "test_support.h"

namespace session_testing {

using host::HostedModule;

struct Take {
    std::string name;
    int32_t rate;
    int64_t samples;
    double gateHz;  // 0: Continuous
    float a, b, x0, y0;
    int16_t normalize;
    std::vector<int64_t> resets;
    uint64_t digest;    // FNV-1a of every sample's x and y bits, little-endian, interleaved
    int64_t stoppedAt;  // -1: runs to the end
};

inline void PrintTo(const Take& take, std::ostream* os) { *os << take.name; }

// The inputs as a host converts the volts given on its command line.
inline float volts(double value) { return host::signalFromVolts(value); }

struct Announced {
    int32_t pin;
    int32_t status;
    bool operator==(const Announced&) const = default;
};

inline std::vector<Announced> announced(const HostedModule& module)
{
    std::vector<Announced> events;
    for (const sep::Event& event : module.events) events.push_back({event.target, event.value});
    return events;
}

// A signal in the tool's grammar, as a source over the whole take.
inline host::SignalSource patched(const std::string& text, const Take& take)
{
    const host::SignalParse parse = host::parseSignal(text, {take.rate, take.samples});
    EXPECT_TRUE(parse.ok()) << text << ": " << parse.error;
    return host::SignalSource(parse.signal, take.samples);
}

}  // namespace session_testing
