// ModuleBase on its own, with a probe module that declares what each test
// needs: pin building, events, host calls, settings and process switching.
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "probe_module.h"
#include "test_support.h"

using namespace sep;
using namespace testing_support;
using host::HostCall;
using host::HostCallRule;
using host::HostCallViolation;
using host::HostedModule;

namespace {

// A hosted probe: the test configures `probe` before opening it.
struct HostedProbe {
    ProbeModule* probe = nullptr;
    HostedModule host;

    explicit HostedProbe(int32_t hostPinCount, bool withCallback = true)
        : host(
              [this](HostCallback callback, int32_t handle) {
                  probe = new ProbeModule(callback, handle);
                  return probe->getRecord();
              },
              HostedModule::kDefaultHandle, withCallback)
    {
        host.hostPinCount = hostPinCount;
    }
};

std::vector<int32_t> range(int32_t first, int32_t last)
{
    std::vector<int32_t> values;
    for (int32_t v = first; v <= last; ++v) values.push_back(v);
    return values;
}

}  // namespace

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
    for (Case c : {Case{Enum, true}, Case{Byte, true}, Case{Word32, true}, Case{Audio, true},
                   Case{1, false}, Case{2, false}, Case{3, false}, Case{7, false}, Case{-1, false}}) {
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

// --- events ----------------------------------------------------------------

TEST(PinEvents, TransientIsShownOnceThenFallsBack)
{
    HostedProbe hosted(10);
    hosted.host.open();
    ProbeModule& probe = *hosted.probe;
    hosted.host.sendStatus(3, Transient);
    ASSERT_EQ(probe.statusChanges.size(), 1u);
    EXPECT_EQ(probe.statusChanges[0].pin, 3);
    EXPECT_EQ(probe.statusChanges[0].status, Transient);
    EXPECT_EQ(probe.pin(3)->getStatus(), Static);
    EXPECT_TRUE(probe.forwarded.empty()) << "a status change is no forwarded event";

    for (int32_t kept : {int32_t{Streaming}, int32_t{Static}, 7, -3}) {
        hosted.host.sendStatus(4, kept);
        EXPECT_EQ(probe.statusChanges.back().status, kept);
        EXPECT_EQ(probe.pin(4)->getStatus(), kept);
    }
}

TEST(PinEvents, OtherPinsShowTheirLevelsDuringTheCall)
{
    HostedProbe hosted(10);
    hosted.host.open();
    ProbeModule& probe = *hosted.probe;
    hosted.host.sendStatus(0, Streaming);
    hosted.host.sendStatus(1, Transient);
    EXPECT_EQ(probe.pin(0)->getStatus(), Streaming);
    EXPECT_EQ(probe.pinStatus(0), Streaming);
    EXPECT_EQ(probe.pinStatus(1), Static);
    EXPECT_EQ(probe.pinStatus(10), Static) << "a pin the host did not give reads Static";
    EXPECT_EQ(probe.pinStatus(-1), Static);
}

TEST(PinEvents, ForwardedEventsReachTheHook)
{
    HostedProbe hosted(10);
    hosted.host.open();
    Event event{};
    event.timeStamp = 1234;
    event.type = Forwarded;
    event.value = -5;
    event.value16 = -2;
    // aimed at an offered member: a Forwarded event must not run it
    event.target = static_cast<int32_t>(reinterpret_cast<intptr_t>(&ProbeModule::memberCallTarget));
    hosted.host.sendEvent(event);
    ASSERT_EQ(hosted.probe->forwarded.size(), 1u);
    EXPECT_EQ(hosted.probe->forwarded[0], (std::vector<int32_t>{1234, -5, -2}));
    EXPECT_TRUE(hosted.probe->statusChanges.empty());
    EXPECT_EQ(hosted.probe->memberCalls, 0);
}

TEST(PinEvents, UnknownTypesDoNothing)
{
    HostedProbe hosted(10);
    hosted.host.open();
    hosted.host.clearCalls();
    for (int32_t type : {1, 3, 5, 20, 22, -1}) {
        Event event{};
        event.type = type;
        event.value = Streaming;
        event.target = 2;
        hosted.host.sendEvent(event);
    }
    EXPECT_TRUE(hosted.probe->statusChanges.empty());
    EXPECT_TRUE(hosted.probe->forwarded.empty());
    EXPECT_EQ(hosted.probe->pin(2)->getStatus(), Static);
    EXPECT_TRUE(hosted.host.calls.empty());
}

TEST(PinEvents, MemberCallRunsTheNamedFunctionOnTheModule)
{
    HostedProbe hosted(10);
    hosted.host.open();
    Event event{};
    event.type = MemberCall;
    event.target = static_cast<int32_t>(reinterpret_cast<intptr_t>(&ProbeModule::memberCallTarget));
    hosted.host.sendEvent(event);
    hosted.host.sendEvent(event);
    EXPECT_EQ(hosted.probe->memberCalls, 2);
    event.target = static_cast<int32_t>(reinterpret_cast<intptr_t>(&ProbeModule::notOffered));
    hosted.host.sendEvent(event);
    EXPECT_EQ(hosted.probe->memberCalls, 2) << "a member the module does not offer never runs";
}

TEST(PinEvents, OutputStatusReachesTheHostAndLeavesThePin)
{
    HostedProbe hosted(10);
    hosted.host.open();
    hosted.host.clearCalls();
    hosted.host.checkCalls = false;  // a clock of the test's choosing, not the host's
    hosted.probe->pin(6)->setOutputStatus(480, Streaming);
    ASSERT_EQ(hosted.host.calls.size(), 1u);
    const HostCall& call = hosted.host.calls[0];
    EXPECT_EQ(call.record, hosted.host.getRecord());
    EXPECT_EQ(call.opcode, SetPinStatus);
    EXPECT_EQ(call.index, 6);
    EXPECT_EQ(call.value, Streaming);
    EXPECT_EQ(call.pointer, 480);
    EXPECT_EQ(bitsOf(call.floatValue), 0u);
    EXPECT_EQ(hosted.probe->pin(6)->getStatus(), Static);
}

// --- settings, declarations through the dispatcher ---------------------------

TEST(ModuleSettings, StartAtDefaultsAndStoreWhatTheHostSendsBitForBit)
{
    HostedProbe hosted(10);
    ProbeModule& probe = *hosted.probe;
    EXPECT_EQ(bitsOf(probe.getSampleRate()), bitsOf(44100.0f));
    EXPECT_EQ(probe.getBlockSize(), 1024);
    for (uint32_t bits : {0x473B8000u, 0x80000000u, 0x00000001u, 0x7FC01234u, 0xFF800000u}) {
        EXPECT_EQ(hosted.host.dispatch(SetSampleRate, 7, 9, nullptr, floatFromBits(bits)), 0);
        EXPECT_EQ(bitsOf(probe.getSampleRate()), bits);
        EXPECT_EQ(probe.getBlockSize(), 1024) << "the value argument is not a block size";
    }
    for (int32_t size : {256, 0, -64, INT32_MAX}) {
        EXPECT_EQ(hosted.host.dispatch(SetBlockSize, 3, size, nullptr, 96000.0f), 0);
        EXPECT_EQ(probe.getBlockSize(), size);
        EXPECT_EQ(bitsOf(probe.getSampleRate()), 0xFF800000u) << "the float argument is not a rate";
    }
}

TEST(ModuleSettings, DispatchedDeclarationsUseTheHostsRecordUncleared)
{
    HostedProbe hosted(10);
    auto record = patterned<PinProperties>();
    EXPECT_EQ(hosted.host.dispatch(GetPinProperties, 2, 0, &record), 1);
    EXPECT_EQ(record.variable, &hosted.probe->variables[2]);
    EXPECT_EQ(record.defaultText, patterned<PinProperties>().defaultText);
    record = patterned<PinProperties>();
    EXPECT_EQ(hosted.host.dispatch(GetPinProperties, 10, 0, &record), 0);
    EXPECT_TRUE(sameBytes(record, patterned<PinProperties>()));
}

TEST(ModuleSettings, Opcodes8And12ReachTheirHooksWithTheArgumentsInOrder)
{
    struct Row {
        uint32_t opcode;
        int32_t index, value;
        intptr_t pointer;
        std::vector<intptr_t> hook;
    };
    const Row rows[] = {
        {Opcode8, 5, 6, 7, {Opcode8}},
        {Opcode12, 1, 2, 0x1234, {Opcode12, 2, 1, 0x1234}},
        {Opcode12, -7, INT32_MAX, 0, {Opcode12, INT32_MAX, -7, 0}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.opcode);
        HostedProbe hosted(10);
        EXPECT_EQ(hosted.host.dispatch(row.opcode, row.index, row.value, reinterpret_cast<void*>(row.pointer), 1.5f), 0);
        EXPECT_EQ(hosted.probe->dispatchedHooks, std::vector<std::vector<intptr_t>>{row.hook});
        EXPECT_TRUE(hosted.host.calls.empty());
    }
}

TEST(ModuleSettings, QueryClearsTheRecordFirst)
{
    HostedProbe hosted(10);
    auto record = patterned<PinProperties>();
    EXPECT_TRUE(hosted.probe->queryPinProperties(4, &record));
    EXPECT_EQ(record.defaultText, nullptr);
    EXPECT_EQ(record.flags, 0);
    EXPECT_EQ(record.reserved, 0);
    record = patterned<PinProperties>();
    EXPECT_FALSE(hosted.probe->queryPinProperties(-1, &record));
    EXPECT_TRUE(sameBytes(record, PinProperties{}));
}

// --- process switching -------------------------------------------------------

namespace {
void SEP_CALL otherProcess(void*, int32_t, int32_t) {}
void SEP_CALL thirdProcess(void*, int32_t, int32_t) {}
}  // namespace

TEST(ProcessSwitching, TellsTheHostOnlyOfRealChangesAfterTheRecordChanged)
{
    HostedProbe hosted(10);
    ProbeModule& probe = *hosted.probe;
    ProcessEntry seenByHost = nullptr;
    hosted.host.onCall = [&](const HostCall& call) {
        if (call.opcode == ProcessChanged) seenByHost = hosted.host.getRecord()->process;
    };
    EXPECT_EQ(hosted.host.getRecord()->process, &ModuleBase::emptyProcess);

    probe.setProcess(&ModuleBase::emptyProcess);
    EXPECT_TRUE(hosted.host.calls.empty());

    probe.setProcess(&otherProcess);
    ASSERT_EQ(hosted.host.countCalls(ProcessChanged), 1);
    EXPECT_EQ(seenByHost, &otherProcess);
    EXPECT_EQ(hosted.host.getRecord()->process, &otherProcess);
    EXPECT_EQ(probe.getProcessMember().code, &otherProcess);

    probe.setProcess(&otherProcess);
    EXPECT_EQ(hosted.host.countCalls(ProcessChanged), 1);
    probe.setProcess(ProcessMember{&otherProcess, 4, 0, 0});
    EXPECT_EQ(hosted.host.countCalls(ProcessChanged), 2) << "an adjustment word differs";
    EXPECT_EQ(probe.getProcessMember().thisAdjust, 4);
    probe.setProcess(&thirdProcess);
    EXPECT_EQ(hosted.host.countCalls(ProcessChanged), 3);
    EXPECT_EQ(seenByHost, &thirdProcess);
}

TEST(ProcessSwitching, NullCodesAreEqualWhateverTheirAdjustments)
{
    EXPECT_EQ((ProcessMember{nullptr, 1, 2, 3}), (ProcessMember{nullptr, 0, 0, 0}));
    EXPECT_FALSE((ProcessMember{&otherProcess, 0, 0, 1}) == (ProcessMember{&otherProcess, 0, 0, 0}));
    EXPECT_FALSE((ProcessMember{&otherProcess, 0, 0, 0}) == (ProcessMember{&thirdProcess, 0, 0, 0}));
}

TEST(ModuleLifetime, CloseDestroysTheObjectOpenedOrNot)
{
    const int before = liveProbes;
    lifeEvents.clear();
    {
        HostedProbe unopened(10);
        EXPECT_EQ(liveProbes, before + 1);
        EXPECT_EQ(unopened.host.close(), 1);
        EXPECT_EQ(liveProbes, before);
        EXPECT_EQ(lifeEvents, (std::vector<std::string>{"closed", "destroyed"}));
        EXPECT_TRUE(unopened.host.calls.empty());
    }
    HostedProbe opened(12);
    opened.probe->repeatLast = true;
    opened.host.open();
    opened.host.clearCalls();
    EXPECT_EQ(opened.host.close(), 1);
    EXPECT_EQ(liveProbes, before);
    EXPECT_TRUE(opened.host.calls.empty()) << "destruction calls nothing in the host";
}

// --- the framework without the map ---------------------------------------------

TEST(ProbeLibrary, LoadsAndOpensThroughTheFrameworksEntryPoints)
{
    const host::ModuleLibrary library(host::loadablePath(TESSEL_PROBE_MODULE_PATH));
    auto properties = patterned<ModuleProperties>();
    ASSERT_EQ(library.getModuleProperties(kModuleIndex, &properties), 1);
    EXPECT_STREQ(properties.name, "Probe");
    EXPECT_EQ(properties.sdkVersion, kSdkVersion);
    EXPECT_EQ(library.makeModule(kModuleIndex, 2, nullptr, 0), nullptr);

    HostedModule hosted(library);
    ASSERT_TRUE(hosted.valid());
    EXPECT_EQ(hosted.getRecord()->tag, kRecordTag);
    hosted.hostPinCount = 5;
    hosted.open();
    std::vector<int32_t> asked;
    for (const HostCall& call : hosted.calls)
        if (call.opcode == GetPinBuffer) asked.push_back(call.index);
    EXPECT_EQ(asked, (std::vector<int32_t>{3, 4})) << "the pins past the last declaration repeat it";
    EXPECT_EQ(hosted.close(), 1);
}

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
    EXPECT_EQ(seen[0].describe(), "host call 0 (index 2, value 2, pointer 7, floatValue bits 0x00000000): "
                                  "the clock is not the last GetSampleClock answer, 480");
    EXPECT_EQ(host::hostCallViolations().size(), 1u);
    EXPECT_EQ(host::takeHostCallViolations().size(), 1u);
    EXPECT_TRUE(host::hostCallViolations().empty());
}

TEST(ModuleLifetime, ClosingReleasesThePinArrays)
{
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
    const auto heapInUse = [] {
        const struct mallinfo2 heap = mallinfo2();
        return heap.uordblks + heap.hblkhd;
    };
    constexpr size_t kPins = 1 << 16;  // arrays of well over a megabyte
    const size_t before = heapInUse();
    {
        HostedProbe hosted(kPins);
        hosted.probe->declared = 0;
        hosted.host.open();
        hosted.host.open();  // replaces the first array
        ASSERT_GE(heapInUse(), before + kPins * sizeof(Pin)) << "the heap statistics see the array";
        ASSERT_LT(heapInUse(), before + 2 * kPins * sizeof(Pin)) << "the first array is released";
    }
    EXPECT_LT(heapInUse(), before + kPins * sizeof(Pin) / 2);
#else
    GTEST_SKIP() << "reads glibc's heap statistics; the sanitizer build checks leaks itself";
#endif
}
