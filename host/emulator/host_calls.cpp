#include "host_calls.h"

#include <bit>
#include <cstdio>
#include <mutex>
#include <utility>

namespace host {

namespace {

// Every thread may reach the log: nothing reads or writes it without this
// lock, and it is handed out only as a copy.
std::mutex logLock;

std::vector<HostCallViolation>& violationLog()
{
    static std::vector<HostCallViolation> log;
    return log;
}

void recordViolation(const HostCall& call, HostCallRule rule, int32_t lastClock = 0)
{
    const std::lock_guard<std::mutex> locked(logLock);
    violationLog().push_back({call, rule, lastClock});
}

const char* ruleText(HostCallRule rule)
{
    switch (rule) {
    case HostCallRule::FloatValueZero: return "floatValue must be 0";
    case HostCallRule::KnownPin: return "no such pin";
    case HostCallRule::ClockReadFirst: return "a status announced before any GetSampleClock";
    case HostCallRule::LastClock: return "the clock is not the last GetSampleClock answer, ";
    case HostCallRule::BufferArgumentsZero: return "value and pointer must be 0";
    case HostCallRule::ArgumentsZero: return "index, value and pointer must be 0";
    case HostCallRule::KnownOpcode: return "not an opcode a module sends";
    case HostCallRule::HostedRecord: return "the record is no hosted instance's";
    }
    return "an unknown rule";
}

}  // namespace

std::string HostCallViolation::describe() const
{
    char text[128];
    std::snprintf(text, sizeof text,
                  "host call %d (index %d, value %d, pointer %d, floatValue bits 0x%08X): ", call.opcode, call.index,
                  call.value, static_cast<int32_t>(call.pointer), std::bit_cast<uint32_t>(call.floatValue));
    std::string described = std::string(text) + ruleText(rule);
    if (rule == HostCallRule::LastClock) described += std::to_string(lastClock);
    return described;
}

std::vector<HostCallViolation> hostCallViolations()
{
    const std::lock_guard<std::mutex> locked(logLock);
    return violationLog();
}

std::vector<HostCallViolation> takeHostCallViolations()
{
    const std::lock_guard<std::mutex> locked(logLock);
    return std::exchange(violationLog(), {});
}

// Each opcode the module may send, with the arguments it must carry: a pin
// the host holds or the module declared, the clock the host gave last, and 0
// in every argument that is not named, floatValue included, bit for bit. A
// status value may be any int32.
void checkHostCall(const HostCall& call, int32_t pinLimit, std::optional<int32_t> lastClock)
{
    const auto broken = [&call](HostCallRule rule) { recordViolation(call, rule); };
    const bool onlyZeros = call.index == 0 && call.value == 0 && call.pointer == 0;
    const bool knownPin = call.index >= 0 && call.index < pinLimit;

    if (std::bit_cast<uint32_t>(call.floatValue) != 0) broken(HostCallRule::FloatValueZero);
    switch (call.opcode) {
    case sep::SetPinStatus:
        if (!knownPin) broken(HostCallRule::KnownPin);
        if (!lastClock) {
            broken(HostCallRule::ClockReadFirst);
        } else if (call.pointer != *lastClock) {
            recordViolation(call, HostCallRule::LastClock, *lastClock);
        }
        break;
    case sep::GetPinBuffer:
        if (!knownPin) broken(HostCallRule::KnownPin);
        if (call.value != 0 || call.pointer != 0) broken(HostCallRule::BufferArgumentsZero);
        break;
    case sep::GetSampleClock:
    case sep::RequestSleep:
    case sep::GetPinCount:
    case sep::ProcessChanged:
        if (!onlyZeros) broken(HostCallRule::ArgumentsZero);
        break;
    default: broken(HostCallRule::KnownOpcode); break;
    }
}

void noteUnhostedCall(const HostCall& call) { recordViolation(call, HostCallRule::HostedRecord); }

}  // namespace host
