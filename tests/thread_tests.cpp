// Many threads on one library, as the host interface allows: each thread's
// GetProcessMember answer is its own, and threads that come and go leave no
// records behind.
#include <array>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#elif defined(__GLIBC__)
#include <malloc.h>
#endif

#include "probe_module.h"
#include "test_support.h"

using namespace sep;
using namespace testing_support;
using host::HostedModule;

namespace {

// std::latch can wait forever in the posix MinGW runtime under Wine (a wake-up
// goes missing); this one waits on a condition variable.
class Latch {
public:
    explicit Latch(int32_t count) : left(count) {}
    void countDown()
    {
        const std::lock_guard<std::mutex> locked(lock);
        if (--left == 0) reached.notify_all();
    }
    void wait()
    {
        std::unique_lock<std::mutex> locked(lock);
        reached.wait(locked, [this] { return left == 0; });
    }

private:
    std::mutex lock;
    std::condition_variable reached;
    int32_t left;
};

std::unique_ptr<host::ModuleLibrary> loadProbeLibrary()
{
    return std::make_unique<host::ModuleLibrary>(host::loadablePath(TESSEL_PROBE_MODULE_PATH));
}

// Starts `count` threads that each run `ask(i)` and then wait until `whileAsked`
// has run on this thread: every one of them holds its answer record meanwhile.
void askTogether(
    int32_t count, const std::function<void(int32_t)>& ask, const std::function<void()>& whileAsked = [] {})
{
    Latch asked(count), released(1);
    std::vector<std::thread> threads;
    for (int32_t i = 0; i < count; ++i) {
        threads.emplace_back([&, i] {
            ask(i);
            asked.countDown();
            released.wait();
        });
    }
    asked.wait();
    whileAsked();
    released.countDown();
    for (std::thread& thread : threads) thread.join();
}

// What a library's threads hold of its answer records: counted by the probe
// library's test hook on Windows, where records are the library's to manage.
struct RecordCount {
    int32_t inUse = 0;
    int32_t allocated = 0;
    bool operator==(const RecordCount&) const = default;
};

RecordCount recordsOf([[maybe_unused]] const host::ModuleLibrary& library)
{
    RecordCount count;
#if defined(_WIN32)
    using CountFunction = void(SEP_CALL*)(int32_t*, int32_t*);
    const auto countRecords = reinterpret_cast<CountFunction>(library.symbol("probeAnswerRecordCount"));
    if (!countRecords) ADD_FAILURE() << "the probe library lacks its test hook";
    if (countRecords) countRecords(&count.inUse, &count.allocated);
#endif
    return count;
}

}  // namespace

// --- one answer record per thread -----------------------------------------------

TEST(ThreadAnswers, AnotherThreadsRequestLeavesThisThreadsAnswer)
{
    // The map library, the probe library (the framework's entry points with
    // another module) and the framework linked into this executable, which has
    // no entry notification of its own.
    const auto probeLibrary = loadProbeLibrary();
    const struct {
        const char* what;
        host::ModuleFactory factory;
    } libraries[] = {
        {"the map library", host::factoryOf(host::builtModuleLibrary())},
        {"the probe library", host::factoryOf(*probeLibrary)},
        {"the framework linked in",
         [](HostCallback callback, int32_t handle) { return (new ProbeModule(callback, handle))->getRecord(); }},
    };
    for (const auto& library : libraries) {
        SCOPED_TRACE(library.what);
        HostedModule first(library.factory), second(library.factory);
        const ProcessMemberInfo* secondAnswer = nullptr;
        const ProcessMember* secondMember = nullptr;

        // Thread A asks and waits (the join is its barrier) while thread B asks.
        const ProcessMemberInfo* firstAnswer = askProcessMember(first);
        const ProcessMember* firstMember = firstAnswer->member;
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

TEST(ThreadAnswers, ShortLivedThreadsHandTheirRecordsBack)
{
    // A thousand threads, eight at a time, each asking once; before them, more
    // threads at once than any small pool holds, twice. Records are reused:
    // none stays taken once its thread has ended, and none is allocated twice.
    constexpr int32_t kShortLived = 1000;
    constexpr int32_t kAtOnce = 8;
    constexpr int32_t kCrowd = 40;
    const auto library = loadProbeLibrary();
    std::array<std::unique_ptr<HostedModule>, 4> modules;
    std::array<const ProcessMember*, 4> members{};
    for (size_t i = 0; i < modules.size(); ++i) {
        modules[i] = std::make_unique<HostedModule>(host::factoryOf(*library));
        members[i] = askProcessMember(*modules[i])->member;
    }
    std::atomic<int32_t> wrongAnswers = 0;
    const auto ask = [&](int32_t i) {
        if (askProcessMember(*modules[i % modules.size()])->member != members[i % modules.size()]) ++wrongAnswers;
    };
    [[maybe_unused]] const RecordCount before = recordsOf(*library);

    RecordCount crowded;
    askTogether(kCrowd, ask, [&] { crowded = recordsOf(*library); });
    [[maybe_unused]] const RecordCount afterCrowd = recordsOf(*library);
    askTogether(kCrowd, ask);
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
    const auto heapInUse = [] {
        const struct mallinfo2 heap = mallinfo2();
        return heap.uordblks + heap.hblkhd;
    };
    const size_t heapBefore = heapInUse();
#endif
    for (int32_t wave = 0; wave < kShortLived / kAtOnce; ++wave) askTogether(kAtOnce, ask);

    EXPECT_EQ(wrongAnswers, 0);
#if defined(_WIN32)
    EXPECT_EQ(crowded.inUse, before.inUse + kCrowd);
    EXPECT_GT(crowded.allocated, before.allocated) << "beyond the pool, records are allocated";
    EXPECT_EQ(afterCrowd, (RecordCount{before.inUse, crowded.allocated}));
    EXPECT_EQ(recordsOf(*library), afterCrowd) << "the records of ended threads are taken again";
#elif defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
    EXPECT_LT(heapInUse(), heapBefore + kShortLived * sizeof(ProcessMemberInfo) / 2);
#endif
}

TEST(ThreadAnswers, UnloadingTheLibraryUnderLivingAskersThenLoadingItAgain)
{
    constexpr int32_t kAskers = 3;
    auto library = loadProbeLibrary();
    auto module = std::make_unique<HostedModule>(host::factoryOf(*library));
    Latch asked(kAskers), reloaded(1);
    std::array<const ProcessMember*, kAskers> membersSeen{};
    std::unique_ptr<HostedModule> again;

    std::vector<std::thread> askers;
    for (int32_t i = 0; i < kAskers; ++i) {
        askers.emplace_back([&, i] {
            askProcessMember(*module);
            asked.countDown();
            reloaded.wait();
            membersSeen[i] = askProcessMember(*again)->member;
        });
    }
    asked.wait();
    module.reset();
    library.reset();
    library = loadProbeLibrary();
    EXPECT_EQ(recordsOf(*library), RecordCount{}) << "the library starts afresh";
    again = std::make_unique<HostedModule>(host::factoryOf(*library));
    const ProcessMember* member = askProcessMember(*again)->member;
    reloaded.countDown();
    for (std::thread& asker : askers) asker.join();

    for (const ProcessMember* seen : membersSeen) EXPECT_EQ(seen, member);
#if defined(_WIN32)
    EXPECT_EQ(recordsOf(*library).inUse, 1) << "only this thread still holds a record";
#endif
}

#if defined(_WIN32)
TEST(ThreadAnswers, LeaveTheHostsLastError)
{
    HostedModule module;
    const auto askAndRead = [&module] {
        SetLastError(0x2A2A);
        askProcessMember(module);
        return GetLastError();
    };
    DWORD onFirstRequest = 0;
    std::thread([&] { onFirstRequest = askAndRead(); }).join();
    EXPECT_EQ(onFirstRequest, 0x2A2Au);
    EXPECT_EQ(askAndRead(), 0x2A2Au);
    EXPECT_EQ(askAndRead(), 0x2A2Au) << "once the thread holds its record";
}
#endif
