// The emulator's check of every call a module makes to its host: each
// argument the interface fixes is flagged when wrong, and only then.
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "hosted_probe.h"
#include "test_support.h"

using namespace sep;
using namespace testing_support;
using namespace framework_testing;
using host::HostCall;
using host::HostCallRule;
using host::HostCallViolation;
using host::HostedModule;

// --- the emulator's check of every host call ------------------------------------

TEST(HostCallCheck, FlagsEveryArgumentTheInterfaceFixes)
{
    struct Row {
        const char* what;
        int32_t opcode, index, value, pointer;
        float floatValue;
        bool clockRead;  // the host answered GetSampleClock (with 480) before the call
        std::optional<HostCallRule> broken;
    };
    constexpr std::optional<HostCallRule> kKept;
    const Row rows[] = {
        {"a status at the clock read", SetPinStatus, 6, Streaming, 480, 0.0f, true, kKept},
        {"any status value", SetPinStatus, 9, INT32_MIN, 480, 0.0f, true, kKept},
        {"a clock the host did not give", SetPinStatus, 6, Streaming, 481, 0.0f, true, HostCallRule::LastClock},
        {"a status before any clock", SetPinStatus, 6, Streaming, 0, 0.0f, false, HostCallRule::ClockReadFirst},
        {"a status for no pin", SetPinStatus, 10, Streaming, 480, 0.0f, true, HostCallRule::KnownPin},
        {"a status for pin -1", SetPinStatus, -1, Streaming, 480, 0.0f, true, HostCallRule::KnownPin},
        {"a status with a float", SetPinStatus, 6, Streaming, 480, 1.0f, true, HostCallRule::FloatValueZero},
        {"the last declared pin's buffer", GetPinBuffer, 9, 0, 0, 0.0f, false, kKept},
        {"a buffer for no pin", GetPinBuffer, 10, 0, 0, 0.0f, false, HostCallRule::KnownPin},
        {"a buffer for pin -1", GetPinBuffer, -1, 0, 0, 0.0f, false, HostCallRule::KnownPin},
        {"a buffer with a value", GetPinBuffer, 2, 1, 0, 0.0f, false, HostCallRule::BufferArgumentsZero},
        {"a buffer with a pointer", GetPinBuffer, 2, 0, 4, 0.0f, false, HostCallRule::BufferArgumentsZero},
        {"a buffer with -0.0", GetPinBuffer, 2, 0, 0, -0.0f, false, HostCallRule::FloatValueZero},
        {"the clock", GetSampleClock, 0, 0, 0, 0.0f, false, kKept},
        {"the clock of a pin", GetSampleClock, 1, 0, 0, 0.0f, false, HostCallRule::ArgumentsZero},
        {"sleep", RequestSleep, 0, 0, 0, 0.0f, false, kKept},
        {"sleep with a value", RequestSleep, 0, 1, 0, 0.0f, false, HostCallRule::ArgumentsZero},
        {"sleep with a pointer", RequestSleep, 0, 0, 1, 0.0f, false, HostCallRule::ArgumentsZero},
        {"sleep with a float", RequestSleep, 0, 0, 0, 0.5f, false, HostCallRule::FloatValueZero},
        {"the pin count", GetPinCount, 0, 0, 0, 0.0f, false, kKept},
        {"the pin count of a pin", GetPinCount, 3, 0, 0, 0.0f, false, HostCallRule::ArgumentsZero},
        {"a process change", ProcessChanged, 0, 0, 0, 0.0f, false, kKept},
        {"a process change with a value", ProcessChanged, 0, -1, 0, 0.0f, false, HostCallRule::ArgumentsZero},
        {"opcode 1", 1, 0, 0, 0, 0.0f, false, HostCallRule::KnownOpcode},
        {"opcode 23", 23, 0, 0, 0, 0.0f, false, HostCallRule::KnownOpcode},
        {"opcode -1", -1, 0, 0, 0, 0.0f, false, HostCallRule::KnownOpcode},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        // The host holds 3 pins and the module declared 10: both count.
        HostedProbe hosted(3);
        hosted.host.connect();
        hosted.host.sampleClock = 480;
        if (row.clockRead) hosted.probe->getSampleClock();
        hosted.probe->callHost(row.opcode, row.index, row.value,
                               reinterpret_cast<void*>(static_cast<intptr_t>(row.pointer)), row.floatValue);
        const std::vector<HostCallViolation> violations = host::takeHostCallViolations();
        ASSERT_EQ(violations.size(), row.broken ? 1u : 0u);
        EXPECT_EQ(hosted.host.calls.size(), row.clockRead ? 2u : 1u) << "the call still reaches the host";
        if (!row.broken) continue;
        EXPECT_EQ(violations[0].rule, *row.broken);
        EXPECT_EQ(violations[0].call.opcode, row.opcode);
        EXPECT_EQ(violations[0].call.index, row.index);
        EXPECT_EQ(violations[0].call.value, row.value);
        EXPECT_EQ(violations[0].call.pointer, row.pointer);
        EXPECT_EQ(bitsOf(violations[0].call.floatValue), bitsOf(row.floatValue));
    }
}

TEST(HostCallCheck, ARelaxedInstanceIsNotCheckedAndStrangeRecordsAlwaysAre)
{
    HostedProbe hosted(10);
    hosted.host.checkCalls = false;
    hosted.probe->callHost(RequestSleep, 1, 2, nullptr, 3.0f);
    hosted.probe->setOutputStatus(6, 480, Streaming);
    EXPECT_TRUE(host::takeHostCallViolations().empty());

    HostCallback callback = nullptr;
    HostedModule module([&](HostCallback given, int32_t handle) {
        callback = given;
        return (new ProbeModule(given, handle))->getRecord();
    });
    ModuleRecord stranger{};
    EXPECT_EQ(callback(&stranger, GetPinCount, 0, 0, nullptr, 0.0f), 0);
    const std::vector<HostCallViolation> violations = host::takeHostCallViolations();
    ASSERT_EQ(violations.size(), 1u);
    EXPECT_EQ(violations[0].rule, HostCallRule::HostedRecord);
    EXPECT_EQ(violations[0].call.record, &stranger);
    EXPECT_TRUE(module.calls.empty());
}

TEST(HostCallCheck, AViolationDescribesItselfAndLookingTakesNothing)
{
    HostedProbe hosted(3);
    hosted.host.sampleClock = 480;
    hosted.probe->getSampleClock();
    hosted.probe->setOutputStatus(2, 7, Streaming);
    const std::vector<HostCallViolation> seen = host::hostCallViolations();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].lastClock, 480);
    EXPECT_EQ(seen[0].describe(),
              "host call 0 (index 2, value 2, pointer 7, floatValue bits 0x00000000): "
              "the clock is not the last GetSampleClock answer, 480");
    EXPECT_EQ(host::hostCallViolations().size(), 1u);
    EXPECT_EQ(host::takeHostCallViolations().size(), 1u);
    EXPECT_TRUE(host::hostCallViolations().empty());
}
