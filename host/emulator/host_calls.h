// The check of every call a module makes into the host, against what the
// host interface fixes for its opcode, and the log of the calls that broke it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "framework/boundary.h"

namespace host {

// One call the module made into the host, with all six arguments.
struct HostCall {
    const sep::ModuleRecord* record;
    int32_t opcode;
    int32_t index;
    int32_t value;
    intptr_t pointer;
    float floatValue;
};

// What the host interface fixes for a call into the host.
enum class HostCallRule {
    FloatValueZero,       // floatValue is 0 in every call, bit for bit
    KnownPin,             // SetPinStatus, GetPinBuffer: a pin the host holds or the module declared
    ClockReadFirst,       // SetPinStatus comes after a GetSampleClock
    LastClock,            // SetPinStatus carries the host's last GetSampleClock answer
    BufferArgumentsZero,  // GetPinBuffer: value and pointer 0
    ArgumentsZero,        // GetSampleClock, RequestSleep, GetPinCount, ProcessChanged: index, value, pointer 0
    KnownOpcode,          // one of the six opcodes a module sends
    HostedRecord,         // the record is a hosted instance's
};

// One call that broke one rule.
struct HostCallViolation {
    HostCall call;
    HostCallRule rule;
    int32_t lastClock = 0;  // LastClock only: the answer the call should have carried

    std::string describe() const;  // "host call 0 (index 6, ...): no such pin"
};

// Checks one call of an instance whose pins are numbered below `pinLimit`
// and whose host last answered GetSampleClock with `lastClock`, if it did,
// and logs each rule the call breaks.
void checkHostCall(const HostCall& call, int32_t pinLimit, std::optional<int32_t> lastClock);
// Logs a call made with a record no host holds.
void noteUnhostedCall(const HostCall& call);

// Each broken rule is kept here, for all instances of the process on all
// threads, until taken: tests, the render tool and the benchmarks fail on
// any. Both hand out a copy made under the log's lock.
std::vector<HostCallViolation> hostCallViolations();
std::vector<HostCallViolation> takeHostCallViolations();

}  // namespace host
