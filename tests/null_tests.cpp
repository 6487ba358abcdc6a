// Null records, entries and buffers from the host: every such call answers
// safely and writes nothing.
#include <vector>

#include <gtest/gtest.h>

#include "hardening_support.h"
#include "test_support.h"

using namespace testing_support;
using namespace sep;
using namespace hardening;
using host::builtModuleLibrary;
using host::HostCall;
using host::HostedModule;

// --- null records and buffers --------------------------------------------------

TEST(NullRecords, GetModulePropertiesWithoutARecordAnswersZero)
{
    const auto getModuleProperties = builtModuleLibrary().getModuleProperties;
    for (int32_t index : {0, 1, -1, INT_MIN, INT_MAX}) EXPECT_EQ(getModuleProperties(index, nullptr), 0) << index;
}

TEST(NullRecords, EntriesGivenNullAnswerSafely)
{
    HostedModule module;
    module.connectAndOpen();
    module.clearCalls();
    const ModuleRecord& record = *module.getRecord();
    EXPECT_EQ(record.dispatcher(nullptr, sep::GetProcessMember, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(module.dispatch(sep::GetPinProperties, 0, 0, nullptr), 0);
    record.event(nullptr, nullptr);
    record.event(record.module, nullptr);
    const ProcessEntry processMap = record.process;
    record.process(nullptr, 0, 16);
    module.setList(tessel::ModePin, tessel::Gated);
    module.dispatch(SetBlockSize, 0, 0);  // so the countdown has run out at once
    module.sendStatus(tessel::GatePin, sep::Static);
    ASSERT_NE(record.process, processMap) << "the countdown is installed";
    module.clearCalls();
    record.process(nullptr, 0, 16);
    EXPECT_TRUE(module.calls.empty());
}

TEST(NullBuffers, PinVariablesStartZeroed)
{
    // Leave the heap full of instances whose variables held addresses, so a
    // new instance cannot come up zeroed by luck.
    for (int round = 0; round < 8; ++round) {
        HostedModule dirty;
        connectUsual(dirty);
        dirty.setList(tessel::ModePin, 0x5A5A);
        dirty.setList(tessel::NormalizePin, 0x5A5A);
    }
    for (int round = 0; round < 8; ++round) {
        HostedModule module;
        for (int32_t pin = 0; pin < tessel::MapPinCount; ++pin) {
            PinProperties declaration{};
            ASSERT_EQ(module.dispatch(GetPinProperties, pin, 0, &declaration), 1);
            if (pin < tessel::ModePin) {
                EXPECT_EQ(*static_cast<float* const*>(declaration.variable), nullptr) << pin;
            } else {
                EXPECT_EQ(*static_cast<const int16_t*>(declaration.variable), 0) << pin;
            }
        }
    }
}

TEST(NullBuffers, UnconnectedOpenedInstanceWritesNothing)
{
    HostedModule module;
    module.hostPinCount = tessel::MapPinCount;  // a host holding the pins without reading them
    module.open();
    module.clearCalls();
    const ModuleRecord before = *module.getRecord();
    module.process(0, 64);
    module.process(1000, 1 << 20);
    EXPECT_TRUE(module.calls.empty());
    EXPECT_TRUE(sameBytes(before, *module.getRecord()));
}

TEST(NullBuffers, AnyNullBufferMakesTheCallANoOp)
{
    const std::vector<uint32_t> reference = referenceOrbit(16);
    for (int32_t pin = tessel::GatePin; pin <= tessel::YPin; ++pin) {
        SCOPED_TRACE(pin);
        HostedModule module;
        connectUsual(module);
        module.open();
        auto* variable = static_cast<float**>(module.declarations()[pin].variable);
        float* const connected = *variable;

        // Before the first block: the pending load of x0 and y0 must wait.
        *variable = nullptr;
        module.fill(tessel::XPin, kSentinel);
        module.fill(tessel::YPin, kSentinel);
        module.clearCalls();
        module.process(0, 8);
        module.process(100, 8);
        EXPECT_EQ(module.buffer(tessel::XPin)[0], kSentinel);
        EXPECT_EQ(module.buffer(tessel::YPin)[100], kSentinel);
        EXPECT_TRUE(module.calls.empty());
        *variable = connected;
        module.process(0, 8);

        // In the middle of a run: the state must not move either.
        *variable = nullptr;
        module.process(8, 8);
        EXPECT_EQ(module.buffer(tessel::XPin)[8], kSentinel);
        *variable = connected;
        module.process(8, 8);
        EXPECT_EQ(outputBits(module, 0, 16), reference);
    }
}
