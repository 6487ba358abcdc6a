// The built module library's pins as the host reads them: each declaration
// through the dispatcher, and what Open asks for and announces.
#include <climits>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "test_support.h"

using namespace testing_support;
using namespace sep;
using host::builtModuleLibrary;
using host::HostedModule;

// --- pin declarations -------------------------------------------------------

namespace {

struct ExpectedPin {
    const char* name;
    int32_t direction;
    int32_t dataType;
    const char* defaultText;  // null: left as the host put it
    const char* rangeText;
};

const ExpectedPin kExpectedPins[] = {
    {"Gate", 0, 5, "0", nullptr},       {"Reset", 0, 5, "0", nullptr},   {"x0", 0, 5, "0", "2,-2,2,-2"},
    {"y0", 0, 5, "0", "2,-2,2,-2"},     {"a", 0, 5, "1.4", "4,-1,4,-1"}, {"b", 0, 5, "0.3", "1,-1,1,-1"},
    {"x", 1, 5, nullptr, nullptr},      {"y", 1, 5, nullptr, nullptr},   {"Mode", 0, 0, "0", "Continuous,Gated"},
    {"Normalize", 3, 0, "1", "Off,On"},
};

}  // namespace

TEST(PinDeclarations, EachRowWritesItsFieldsAndNoOthers)
{
    HostedModule module;
    const auto pattern = patterned<PinProperties>();
    auto* object = static_cast<const char*>(module.getRecord()->module);
    for (int32_t index = 0; index < 10; ++index) {
        SCOPED_TRACE(index);
        const ExpectedPin& expected = kExpectedPins[index];
        auto record = patterned<PinProperties>();
        ASSERT_EQ(module.dispatch(GetPinProperties, index, 0, &record), 1);
        EXPECT_STREQ(record.name, expected.name);
        EXPECT_EQ(record.direction, expected.direction);
        EXPECT_EQ(record.dataType, expected.dataType);
        if (expected.defaultText) EXPECT_STREQ(record.defaultText, expected.defaultText);
        else EXPECT_EQ(record.defaultText, pattern.defaultText);
        if (expected.rangeText) EXPECT_STREQ(record.rangeText, expected.rangeText);
        else EXPECT_EQ(record.rangeText, pattern.rangeText);
        EXPECT_EQ(record.flags, pattern.flags);
        EXPECT_EQ(record.reserved, pattern.reserved);
        // The variable is a field of this very object.
        auto* variable = static_cast<const char*>(record.variable);
        EXPECT_GT(variable, object);
        EXPECT_LT(variable, object + 1024);
    }
}

TEST(PinDeclarations, VariablesAreTheModuleFieldsInOrder)
{
    HostedModule module;
    std::vector<char*> variables;
    for (int32_t index = 0; index < 10; ++index) {
        PinProperties record{};
        module.dispatch(GetPinProperties, index, 0, &record);
        variables.push_back(static_cast<char*>(record.variable));
    }
    for (int32_t index = 1; index < 8; ++index) EXPECT_EQ(variables[index] - variables[index - 1], 4);
    EXPECT_EQ(variables[8] - variables[7], 4);
    EXPECT_EQ(variables[9] - variables[8], 2) << "list indexes are 16-bit";
}

TEST(PinDeclarations, IndexesOutsideTheTableLeaveTheRecordAlone)
{
    HostedModule module;
    for (int32_t index : {10, 11, -1, INT_MIN, INT_MAX}) {
        auto record = patterned<PinProperties>(0x3C);
        EXPECT_EQ(module.dispatch(GetPinProperties, index, 0, &record), 0) << index;
        EXPECT_TRUE(sameBytes(record, patterned<PinProperties>(0x3C))) << index;
    }
}

TEST(PinDeclarations, TextsKeepTheirAddresses)
{
    HostedModule module;
    for (int32_t index = 0; index < 10; ++index) {
        PinProperties first{}, second{};
        module.dispatch(GetPinProperties, index, 0, &first);
        module.dispatch(GetPinProperties, index, 0, &second);
        EXPECT_TRUE(sameBytes(first, second)) << index;
    }
}

// --- opening and closing ----------------------------------------------------

TEST(OpenSequence, AsksPinCountInstallsTheMapAndAnnouncesBothOutputs)
{
    HostedModule module;
    module.connect();
    module.sampleClock = 480;
    const sep::ProcessEntry before = module.currentProcess();
    sep::ProcessEntry processWhenTold = nullptr;
    module.onCall = [&](const host::HostCall& call) {
        if (call.opcode == ProcessChanged) processWhenTold = module.currentProcess();
    };
    EXPECT_EQ(module.dispatch(Open), 0);

    const ModuleRecord* record = module.getRecord();
    ASSERT_EQ(module.calls.size(), 6u);
    const int32_t expected[6][4] = {
        {GetPinCount, 0, 0, 0},    {ProcessChanged, 0, 0, 0}, {GetSampleClock, 0, 0, 0},
        {SetPinStatus, 6, 2, 480}, {GetSampleClock, 0, 0, 0}, {SetPinStatus, 7, 2, 480},
    };
    for (size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        const host::HostCall& call = module.calls[i];
        EXPECT_EQ(call.record, record);
        EXPECT_EQ(call.opcode, expected[i][0]);
        EXPECT_EQ(call.index, expected[i][1]);
        EXPECT_EQ(call.value, expected[i][2]);
        EXPECT_EQ(call.pointer, expected[i][3]);
        EXPECT_EQ(bitsOf(call.floatValue), 0u);
    }
    EXPECT_NE(module.currentProcess(), before);
    EXPECT_EQ(processWhenTold, module.currentProcess()) << "the record changes before the host hears of it";
}

TEST(OpenSequence, BindsPinsWithoutAskingForBuffers)
{
    HostedModule module;
    module.connectAndOpen();
    EXPECT_EQ(module.countCalls(GetPinBuffer), 0);
    EXPECT_EQ(module.close(), 1);
}
