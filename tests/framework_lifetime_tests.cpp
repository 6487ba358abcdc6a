// ModuleBase's process switching and lifetime through the probe, and the
// framework's entry points in a library without the map.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "hosted_probe.h"
#include "test_support.h"

using namespace sep;
using namespace testing_support;
using namespace framework_testing;
using host::HostCall;
using host::HostedModule;

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
