// Many threads on one library, as the host interface allows: different
// instances driven at the same time on different threads. Each thread's
// GetProcessMember answer is its own, and each thread's results are what a
// lone thread gets.
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "probe_module.h"
#include "test_support.h"

using namespace sep;
using namespace testing_support;
using host::HostedModule;

namespace {

const host::ModuleLibrary& probeLibrary()
{
    static const host::ModuleLibrary library(host::loadablePath(TESSEL_PROBE_MODULE_PATH));
    return library;
}

// Every way a host meets the framework: the map library, the probe library
// (the framework's entry points with another module) and the framework linked
// into this executable, which has no entry notification of its own.
struct Library {
    const char* what;
    host::ModuleFactory factory;
};

std::vector<Library> everyLibrary()
{
    return {
        {"the map library", host::factoryOf(host::builtModuleLibrary())},
        {"the probe library", host::factoryOf(probeLibrary())},
        {"the framework linked in",
         [](HostCallback callback, int32_t handle) { return (new ProbeModule(callback, handle))->getRecord(); }},
    };
}

const ProcessMemberInfo* askProcessMember(HostedModule& module)
{
    return reinterpret_cast<const ProcessMemberInfo*>(static_cast<intptr_t>(module.dispatch(GetProcessMember)));
}

}  // namespace

TEST(ThreadAnswers, AnotherThreadsRequestLeavesThisThreadsAnswer)
{
    for (const Library& library : everyLibrary()) {
        SCOPED_TRACE(library.what);
        HostedModule first(library.factory), second(library.factory);
        const ProcessMemberInfo* firstAnswer = nullptr;
        const ProcessMember* firstMember = nullptr;
        const ProcessMemberInfo* secondAnswer = nullptr;
        const ProcessMember* secondMember = nullptr;

        // Thread A asks and waits (the join is its barrier) while thread B asks.
        firstAnswer = askProcessMember(first);
        firstMember = firstAnswer->member;
        std::thread([&] {
            secondAnswer = askProcessMember(second);
            secondMember = secondAnswer->member;
        }).join();

        ASSERT_NE(firstMember, secondMember);
        EXPECT_EQ(firstAnswer->member, firstMember) << "thread A reads back its own instance's member";
        EXPECT_EQ(firstAnswer->member->code, first.getRecord()->process);
        EXPECT_NE(firstAnswer, secondAnswer) << "each thread has an answer record of its own";
        EXPECT_EQ(askProcessMember(second), firstAnswer) << "one record per thread, whichever instance asks";
        EXPECT_EQ(firstAnswer->member, secondMember);
    }
}
