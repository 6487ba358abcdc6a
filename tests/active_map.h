// An opened map as the activity tests watch it: which process function runs,
// what it announced of its outputs, and how often it asked to sleep.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "test_support.h"

namespace activity_testing {

using namespace testing_support;
using namespace sep;
using host::HostCall;
using tessel::Continuous;

// An opened map whose process functions are known by address.
struct ActiveMap : OpenedMap {
    ProcessEntry mapProcess;

    explicit ActiveMap(int16_t mode = Continuous) : OpenedMap(0, mode) { mapProcess = host.currentProcess(); }
    bool countingDown() const { return host.currentProcess() != mapProcess; }

    // The outputs' announcements since the last clearCalls, as (pin, status).
    std::vector<std::pair<int32_t, int32_t>> announcements() const
    {
        std::vector<std::pair<int32_t, int32_t>> seen;
        for (const HostCall& call : host.calls)
            if (call.opcode == SetPinStatus) seen.emplace_back(call.index, call.value);
        return seen;
    }
    int32_t sleepRequests() const { return host.countCalls(RequestSleep); }
    void clearAndSend(int32_t pin, int32_t status)
    {
        host.clearCalls();
        host.sendStatus(pin, status);
    }
};

using Announcements = std::vector<std::pair<int32_t, int32_t>>;

}  // namespace activity_testing
