// The built module library (libtessel-map.so, or Module.sep under Wine) seen
// from the host: exports, identity, record and dispatcher.
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test_support.h"

using namespace testing_support;
using namespace sep;
using host::builtModuleLibrary;
using host::HostedModule;

namespace {

constexpr char kAboutAfterContactLine[] =
    "\n\nEquation:\n\tx(n+1)=1+y(n)-a*[x(n)]^2\n\ty(n+1)=b*x(n)\n\nQuick Help:\nGate - Does one "
    "iteration per positive zero crossing\nReset - Restart iteration at x0, y0\nx0 - initial "
    "x\ny0 - initial y\na - constant (usually 1.4)\nb - constant (usually 0.3)\nMode -\n\t"
    "'Continuous' iterates at sample rate\n\t'Gated' iterates upon gate signal\nNormalize -\n\tIf "
    "'On', amplifies output to around +5V/-5V\n\tNote: 'y' is usually less than 'x'";

// The host's record may be longer than the module's view of it.
struct HostPropertiesRecord {
    ModuleProperties properties;
    uint32_t tail[4];
};

HostPropertiesRecord askProperties(int32_t index, int32_t* result)
{
    auto record = patterned<HostPropertiesRecord>();
    *result = builtModuleLibrary().getModuleProperties(index, &record.properties);
    return record;
}

}  // namespace

TEST(ModuleIdentity, IndexZeroGivesTextsAndVersionAndLeavesHostWords)
{
    int32_t result = 0;
    const auto record = askProperties(0, &result);
    const auto untouched = patterned<HostPropertiesRecord>();
    EXPECT_EQ(result, 1);
    EXPECT_STREQ(record.properties.name, "Tessel Map");
    EXPECT_STREQ(record.properties.identifier, "ZQ Tessel Map2");
    EXPECT_EQ(record.properties.sdkVersion, 2150);
    EXPECT_EQ(record.properties.hostWord12, untouched.properties.hostWord12);
    EXPECT_EQ(record.properties.hostWord16, untouched.properties.hostWord16);
    EXPECT_EQ(std::memcmp(record.tail, untouched.tail, sizeof record.tail), 0);
}

TEST(ModuleIdentity, AboutTextHasVersionLineAndExactHelp)
{
    int32_t result = 0;
    const std::string about = askProperties(0, &result).properties.about;
    ASSERT_EQ(result, 1);
    const size_t first = about.find('\n');
    const size_t second = about.find('\n', first + 1);
    const size_t third = about.find('\n', second + 1);
    ASSERT_NE(third, std::string::npos);
    EXPECT_EQ(about.substr(0, first), "Tessel Map v1.2");
    EXPECT_GT(second - first, 1u) << "credit line is empty";
    EXPECT_GT(third - second, 1u) << "contact line is empty";
    EXPECT_EQ(about.substr(third), kAboutAfterContactLine);
    EXPECT_EQ(about.find('\r'), std::string::npos);
}

TEST(ModuleIdentity, OtherIndexesWriteOnlyTheVersion)
{
    for (int32_t index : {1, 2, -1, INT_MIN, INT_MAX}) {
        int32_t result = -7;
        const auto record = askProperties(index, &result);
        auto expected = patterned<HostPropertiesRecord>();
        expected.properties.sdkVersion = 2150;
        EXPECT_EQ(result, 0) << index;
        EXPECT_TRUE(sameBytes(record, expected)) << index;
    }
}

TEST(ModuleIdentity, TextsKeepTheirAddresses)
{
    int32_t result = 0;
    const auto first = askProperties(0, &result);
    const auto second = askProperties(0, &result);
    EXPECT_EQ(first.properties.name, second.properties.name);
    EXPECT_EQ(first.properties.identifier, second.properties.identifier);
    EXPECT_EQ(first.properties.about, second.properties.about);
}

TEST(MakeModule, RefusesOtherIndexesAndKinds)
{
    const auto make = builtModuleLibrary().makeModule;
    EXPECT_EQ(make(1, 1, nullptr, 0), nullptr);
    EXPECT_EQ(make(-1, 1, nullptr, 0), nullptr);
    EXPECT_EQ(make(0, 0, nullptr, 0), nullptr);
    EXPECT_EQ(make(0, 2, nullptr, 0), nullptr);
    EXPECT_EQ(make(0, -1, nullptr, 0), nullptr);
}

TEST(MakeModule, EachCallMakesANewInstance)
{
    HostedModule first, second;
    ASSERT_TRUE(first.valid());
    ASSERT_TRUE(second.valid());
    EXPECT_NE(first.getRecord(), second.getRecord());
    EXPECT_NE(first.getRecord()->module, second.getRecord()->module);
}

TEST(ModuleRecordLayout, ReadsAsConstructed)
{
    HostedModule module(host::factoryOf(builtModuleLibrary()), 0x13572468);
    const ModuleRecord& record = *module.getRecord();
    EXPECT_EQ(record.tag, 0x5345504Cu);
    EXPECT_EQ(record.version, 1);
    EXPECT_EQ(record.hostHandle, 0x13572468);
    EXPECT_NE(record.module, nullptr);
    EXPECT_EQ(record.reserved1, 0);
    EXPECT_NE(record.dispatcher, nullptr);
    EXPECT_NE(record.process, nullptr);
    EXPECT_NE(record.event, nullptr);
    for (int32_t word : record.reserved2) EXPECT_EQ(word, 0);
    EXPECT_TRUE(module.calls.empty()) << "construction must not call the host";
}

TEST(ModuleRecordLayout, UnopenedProcessWritesNothing)
{
    HostedModule module;
    module.connect();
    module.fill(tessel::XPin, 7.0f);
    module.fill(tessel::YPin, -7.0f);
    module.fill(tessel::GatePin, 1.0f);
    module.process(0, 64);
    for (int32_t i = 0; i < HostedModule::kBufferLength; ++i) {
        ASSERT_EQ(module.buffer(tessel::XPin)[i], 7.0f);
        ASSERT_EQ(module.buffer(tessel::YPin)[i], -7.0f);
    }
    EXPECT_TRUE(module.calls.empty());
}

TEST(Dispatcher, UnhandledOpcodesAnswerZeroAndChangeNothing)
{
    HostedModule module;
    module.connect();
    const ModuleRecord before = *module.getRecord();
    uint32_t scratch[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    for (uint32_t opcode : {4u, 5u, 7u, 9u, 10u, 11u, 14u, 22u, 100u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        EXPECT_EQ(module.dispatch(static_cast<int32_t>(opcode), 3, 4, scratch, 1.5f), 0) << opcode;
    }
    EXPECT_TRUE(sameBytes(before, *module.getRecord()));
    EXPECT_EQ(scratch[0], 1u);
    EXPECT_TRUE(module.calls.empty());
}

TEST(Dispatcher, SettingsAndHooksAnswerZeroWithoutHostCalls)
{
    HostedModule module;
    EXPECT_EQ(module.dispatch(SetSampleRate, 0, 0, nullptr, 48000.0f), 0);
    EXPECT_EQ(module.dispatch(SetBlockSize, 0, 256), 0);
    EXPECT_EQ(module.dispatch(Opcode8), 0);
    EXPECT_EQ(module.dispatch(Opcode12, 1, 2, nullptr), 0);
    EXPECT_TRUE(module.calls.empty());
}

TEST(Dispatcher, ProcessMemberInfoIsSharedAndNamesTheLastAsker)
{
    HostedModule first, second;
    auto* firstInfo = reinterpret_cast<ProcessMemberInfo*>(static_cast<intptr_t>(first.dispatch(GetProcessMember)));
    ASSERT_NE(firstInfo, nullptr);
    EXPECT_EQ(firstInfo->format, 1);
    EXPECT_EQ(firstInfo->memberSize, 16);
    EXPECT_EQ(firstInfo->reserved, 0);
    ProcessMember* firstMember = firstInfo->member;
    EXPECT_EQ(firstMember->code, first.getRecord()->process);

    second.connectAndOpen();
    auto* secondInfo = reinterpret_cast<ProcessMemberInfo*>(static_cast<intptr_t>(second.dispatch(GetProcessMember)));
    EXPECT_EQ(secondInfo, firstInfo);
    EXPECT_NE(secondInfo->member, firstMember);
    EXPECT_EQ(secondInfo->member->code, second.getRecord()->process);
    EXPECT_EQ(secondInfo->member->thisAdjust, 0);
    EXPECT_EQ(secondInfo->member->vbaseOffset, 0);
    EXPECT_EQ(secondInfo->member->vbaseIndex, 0);
    EXPECT_NE(second.getRecord()->process, first.getRecord()->process)
        << "an opened instance runs its map, a new one the empty process";
}

TEST(Dispatcher, CloseReturnsOneOnANeverOpenedInstance)
{
    HostedModule module;
    EXPECT_EQ(module.close(), 1);
    EXPECT_TRUE(module.calls.empty());
}
