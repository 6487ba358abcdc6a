// ModuleBase on its own, with a probe module that declares what each test
// needs: how the pin array is built from the declarations and the host's count.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "hosted_probe.h"
#include "test_support.h"

using namespace sep;
using namespace testing_support;
using namespace framework_testing;
using host::HostCall;
using host::HostedModule;

// --- pin building --------------------------------------------------------

TEST(PinBuilding, TenCountedTenDeclaredBindsAllToTheirVariables)
{
    HostedProbe hosted(10);
    hosted.host.open();
    ProbeModule& probe = *hosted.probe;
    std::vector<int32_t> expected = range(0, 10);
    expected.push_back(9);
    EXPECT_EQ(probe.queries, expected);
    ASSERT_EQ(probe.getPinCount(), 10);
    for (int32_t i = 0; i < 10; ++i) {
        EXPECT_EQ(probe.pin(i)->getValueAddress(), &probe.variables[i]);
        EXPECT_EQ(probe.pin(i)->getIndex(), i);
        EXPECT_EQ(probe.pin(i)->getDataType(), Audio);
        EXPECT_EQ(probe.pin(i)->getModule(), &probe);
        EXPECT_EQ(*static_cast<const int32_t*>(probe.pin(i)->getOwnValue()), 0);
    }
    EXPECT_EQ(hosted.host.countCalls(GetPinBuffer), 0);
}

TEST(PinBuilding, RepeatLastBindsTheRestToBuffersOfTheirOwn)
{
    HostedProbe hosted(12);
    hosted.probe->repeatLast = true;
    hosted.host.open();
    ProbeModule& probe = *hosted.probe;
    ASSERT_EQ(probe.getPinCount(), 12);
    std::vector<int32_t> asked;
    for (const HostCall& call : hosted.host.calls)
        if (call.opcode == GetPinBuffer) asked.push_back(call.index);
    EXPECT_EQ(asked, (std::vector<int32_t>{10, 11}));
    for (int32_t i : {10, 11}) {
        const Pin& pin = *probe.pin(i);
        EXPECT_EQ(pin.getIndex(), i);
        EXPECT_EQ(pin.getDataType(), Audio);
        EXPECT_EQ(pin.getValueAddress(), pin.getOwnValue());
        EXPECT_EQ(*static_cast<float* const*>(pin.getOwnValue()), hosted.host.requestedBuffer(i));
    }
}

TEST(PinBuilding, WithoutRepeatLastTheRestStayUnbound)
{
    HostedProbe hosted(12);
    hosted.host.open();
    ProbeModule& probe = *hosted.probe;
    ASSERT_EQ(probe.getPinCount(), 12);
    for (int32_t i : {10, 11}) {
        EXPECT_EQ(probe.pin(i)->getValueAddress(), nullptr);
        EXPECT_EQ(probe.pin(i)->getStatus(), Static);
        EXPECT_EQ(probe.pin(i)->getIndex(), i);
    }
    EXPECT_EQ(hosted.host.countCalls(GetPinBuffer), 0);
    // An event for an unbound pin still reaches the module safely.
    hosted.host.sendStatus(11, Streaming);
    ASSERT_EQ(probe.statusChanges.size(), 1u);
    EXPECT_EQ(probe.statusChanges[0].pin, 11);
}

TEST(PinBuilding, FewerCountedThanDeclaredBindsOnlyTheCount)
{
    HostedProbe hosted(8);
    hosted.host.open();
    std::vector<int32_t> expected = range(0, 8);
    expected.push_back(7);
    EXPECT_EQ(hosted.probe->queries, expected);
    EXPECT_EQ(hosted.probe->getPinCount(), 8);
    EXPECT_EQ(hosted.probe->pin(7)->getValueAddress(), &hosted.probe->variables[7]);
}

TEST(PinBuilding, NothingDeclaredAsksForZeroAndMinusOne)
{
    HostedProbe hosted(3);
    hosted.probe->declared = 0;
    hosted.probe->repeatLast = true;
    hosted.host.open();
    EXPECT_EQ(hosted.probe->queries, (std::vector<int32_t>{0, -1}));
    ASSERT_EQ(hosted.probe->getPinCount(), 3);
    for (int32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(hosted.probe->pin(i)->getValueAddress(), nullptr);
        EXPECT_EQ(hosted.probe->pin(i)->getIndex(), i) << "every pin has its place";
        EXPECT_EQ(hosted.probe->pin(i)->getModule(), hosted.probe);
        hosted.host.sendStatus(i, Streaming);
        ASSERT_EQ(hosted.probe->statusChanges.size(), size_t(i) + 1);
        EXPECT_EQ(hosted.probe->statusChanges.back().pin, i);
    }
    EXPECT_EQ(hosted.host.countCalls(GetPinBuffer), 0);
}

TEST(PinBuilding, TheBaseModuleDeclaresNoPinAndAnswersEveryQueryFalse)
{
    ModuleBase* bare = nullptr;
    HostedModule module([&](HostCallback callback, int32_t handle) {
        bare = new ModuleBase(callback, handle);
        return bare->getRecord();
    });
    auto record = patterned<PinProperties>();
    EXPECT_EQ(module.dispatch(GetPinProperties, 0, 0, &record), 0);
    EXPECT_TRUE(sameBytes(record, patterned<PinProperties>()));
    module.hostPinCount = 2;
    module.open();
    ASSERT_EQ(bare->getPinCount(), 2);
    for (int32_t i = 0; i < 2; ++i) EXPECT_EQ(bare->pin(i)->getValueAddress(), nullptr) << i;
    for (int32_t word : {0, 1, -1, INT32_MAX}) {
        EXPECT_FALSE(bare->reservedQueryA(word)) << word;
        EXPECT_FALSE(bare->reservedQueryB(word)) << word;
    }
}

TEST(PinBuilding, NoPinsCountedBuildsNoArray)
{
    for (int32_t count : {0, -1, -100}) {
        HostedProbe hosted(count);
        hosted.host.open();
        EXPECT_EQ(hosted.probe->queries, (std::vector<int32_t>{0, -1})) << count;
        EXPECT_EQ(hosted.probe->getPinCount(), 0) << count;
    }
}

TEST(PinBuilding, UnboundPinsKeepValuesByDataType)
{
    struct Case {
        int32_t dataType;
        bool ownStorage;
    };
    for (Case c : {Case{Enum, true}, Case{Byte, true}, Case{Word32, true}, Case{Audio, true}, Case{1, false},
                   Case{2, false}, Case{3, false}, Case{7, false}, Case{-1, false}}) {
        HostedProbe hosted(2);
        hosted.probe->bound = false;
        hosted.probe->dataType = c.dataType;
        hosted.host.open();
        const Pin& pin = *hosted.probe->pin(1);
        SCOPED_TRACE(c.dataType);
        if (c.ownStorage) {
            EXPECT_EQ(pin.getValueAddress(), pin.getOwnValue());
        } else {
            EXPECT_EQ(pin.getValueAddress(), nullptr);
        }
        if (c.dataType == Enum) {
            EXPECT_EQ(*static_cast<const int16_t*>(pin.getValueAddress()), 0);
        }
        if (c.dataType == Byte) {
            EXPECT_EQ(*static_cast<const uint8_t*>(pin.getValueAddress()), 0);
        }
        if (c.dataType == Word32) {
            EXPECT_EQ(*static_cast<const int32_t*>(pin.getValueAddress()), 0);
        }
        EXPECT_EQ(hosted.host.countCalls(GetPinBuffer), c.dataType == Audio ? 2 : 0);
    }
}

TEST(PinBuilding, WithoutCallbackEveryHostCallAnswersZero)
{
    HostedProbe hosted(10, false);
    ProbeModule& probe = *hosted.probe;
    EXPECT_EQ(probe.callHost(GetPinCount, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(probe.callHost(GetSampleClock, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(probe.getSampleClock(), 0);
    hosted.host.open();
    EXPECT_EQ(probe.getPinCount(), 0);
    EXPECT_TRUE(hosted.host.calls.empty());
}
