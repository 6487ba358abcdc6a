// Many threads on one library, as the host interface allows: different
// instances driven at the same time on different threads. Each thread's
// GetProcessMember answer is its own, each thread's results are what a lone
// thread gets, and threads that come and go leave no records behind.
#include <array>
#include <atomic>
#include <functional>
#include <condition_variable>
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

const ProcessMemberInfo* askProcessMember(HostedModule& module)
{
    return reinterpret_cast<const ProcessMemberInfo*>(static_cast<intptr_t>(module.dispatch(GetProcessMember)));
}

// Starts `count` threads that each run `ask(i)` and then wait until `whileAsked`
// has run on this thread: every one of them holds its answer record meanwhile.
void askTogether(int32_t count, const std::function<void(int32_t)>& ask,
                 const std::function<void()>& whileAsked = [] {})
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

// --- instances side by side ----------------------------------------------------

namespace {

// One instance's life as a host drives it: settings, then blocks with status
// changes, a reload and a reset between them.
struct Script {
    const char* what;
    int16_t mode;
    float a;
    int16_t normalize;
    int32_t gatePeriod;  // samples per cycle of the Gate square wave
};

const Script kScripts[] = {
    {"continuous at the usual a", tessel::Continuous, 0.14f, 0, 2},
    {"continuous at a 1.2 V, normalized", tessel::Continuous, 0.12f, 1, 2},
    {"gated by a fast clock", tessel::Gated, 0.14f, 0, 4},
    {"gated by a slow clock, normalized", tessel::Gated, 0.13f, 1, 50},
};

constexpr int32_t kBlocks = 2000;
constexpr int32_t kBlockSize = 64;

// Everything the host sees of one script: each block's outputs (a digest of
// their bits), every host call, and how often GetProcessMember answered with
// another record than this thread's or named another process function.
struct Transcript {
    std::vector<uint64_t> blockDigests;
    std::vector<std::array<int32_t, 4>> calls;  // opcode, index, value, pointer
    int32_t wrongAnswers = 0;
    bool operator==(const Transcript&) const = default;
};

uint64_t digest(const float* x, const float* y, int32_t count)
{
    uint64_t hash = 14695981039346656037ull;
    for (int32_t i = 0; i < count; ++i) {
        for (uint32_t bits : {bitsOf(x[i]), bitsOf(y[i])}) hash = (hash ^ bits) * 1099511628211ull;
    }
    return hash;
}

void sendScriptEvents(HostedModule& module, const Script& script, int32_t block)
{
    switch (block) {
    case 100:
        module.sendStatus(tessel::GatePin, Streaming);
        break;
    case 150:
        module.fill(tessel::APin, script.a - 0.01f);
        module.sendStatus(tessel::APin, Streaming);  // reloads x0 and y0
        break;
    case 200:
        module.sendStatus(tessel::APin, Static);
        break;
    case 250:
        module.buffer(tessel::ResetPin)[10] = 0.5f;
        break;
    case 251:
        module.buffer(tessel::ResetPin)[10] = 0.0f;
        break;
    case 300:
        module.sendStatus(tessel::GatePin, Static);  // the countdown to sleep
        break;
    default:
        break;
    }
}

// Where an instance's process member lies in its object, the same for all.
intptr_t memberOffset(HostedModule& module, const ProcessMemberInfo* answer)
{
    return reinterpret_cast<intptr_t>(answer->member) - reinterpret_cast<intptr_t>(module.getRecord()->module);
}

intptr_t mapMemberOffset()
{
    static const intptr_t offset = [] {
        HostedModule module;
        return memberOffset(module, askProcessMember(module));
    }();
    return offset;
}

bool namesItsAsker(HostedModule& module, const ProcessMemberInfo* answer)
{
    return memberOffset(module, answer) == mapMemberOffset() && answer->member->code == module.currentProcess();
}

Transcript runScript(const Script& script, HostedModule& module)
{
    connectUsual(module, script.mode, kBlockSize, script.normalize);
    module.fill(tessel::APin, script.a);
    float* gate = module.buffer(tessel::GatePin);
    for (int32_t i = 0; i < kBlockSize; ++i) gate[i] = i % script.gatePeriod < script.gatePeriod / 2 ? 0.5f : 0.0f;
    module.dispatch(SetBlockSize, 0, kBlockSize);
    module.open();

    Transcript transcript;
    const ProcessMemberInfo* ownAnswer = askProcessMember(module);
    for (int32_t block = 0; block < kBlocks; ++block) {
        module.sampleClock = block * kBlockSize;
        sendScriptEvents(module, script, block);
        module.process(0, kBlockSize);
        transcript.blockDigests.push_back(
            digest(module.buffer(tessel::XPin), module.buffer(tessel::YPin), kBlockSize));
        const ProcessMemberInfo* answer = askProcessMember(module);
        if (answer != ownAnswer || !namesItsAsker(module, answer)) ++transcript.wrongAnswers;
    }
    for (const host::HostCall& call : module.calls)
        transcript.calls.push_back({call.opcode, call.index, call.value, static_cast<int32_t>(call.pointer)});
    return transcript;
}

// Makes, opens, runs and closes one instance, all on the calling thread;
// false when its GetProcessMember answer names another instance's process.
bool churnOnce()
{
    HostedModule module;
    connectUsual(module);
    module.open();
    module.process(0, kBlockSize);
    return namesItsAsker(module, askProcessMember(module));
}

}  // namespace

TEST(SideBySide, EachThreadGetsWhatALoneThreadGets)
{
    // Two threads per script; the instances are made on this thread and
    // closed on theirs.
    constexpr int32_t kCopies = 2;
    constexpr int32_t kLeastChurn = 20;
    mapMemberOffset();
    std::vector<Transcript> alone;
    for (const Script& script : kScripts) {
        HostedModule module;
        alone.push_back(runScript(script, module));
    }
    for (size_t i = 0; i < alone.size(); ++i) {
        ASSERT_EQ(alone[i].wrongAnswers, 0);
        for (size_t j = 0; j < i; ++j) ASSERT_NE(alone[i].blockDigests, alone[j].blockDigests) << "scripts tell apart";
    }

    for (const bool churn : {false, true}) {
        SCOPED_TRACE(churn ? "while another thread makes and closes instances" : "side by side");
        std::vector<std::unique_ptr<HostedModule>> modules;
        for (int32_t i = 0; i < kCopies * static_cast<int32_t>(std::size(kScripts)); ++i)
            modules.push_back(std::make_unique<HostedModule>());
        std::vector<Transcript> together(modules.size());
        std::atomic<bool> workersDone = false;
        std::atomic<int32_t> churned = 0, churnFaults = 0;

        std::thread churner;
        if (churn) {
            churner = std::thread([&] {
                while (!workersDone || churned < kLeastChurn) {
                    if (!churnOnce()) ++churnFaults;
                    ++churned;
                }
            });
        }
        std::vector<std::thread> workers;
        for (size_t i = 0; i < modules.size(); ++i) {
            workers.emplace_back([&, i] {
                together[i] = runScript(kScripts[i % std::size(kScripts)], *modules[i]);
                modules[i].reset();
            });
        }
        for (std::thread& worker : workers) worker.join();
        workersDone = true;
        if (churner.joinable()) churner.join();

        for (size_t i = 0; i < together.size(); ++i) {
            SCOPED_TRACE(kScripts[i % std::size(kScripts)].what);
            EXPECT_TRUE(together[i] == alone[i % std::size(kScripts)]);
            EXPECT_EQ(together[i].wrongAnswers, 0);
        }
        EXPECT_EQ(churnFaults, 0);
    }
}

TEST(SideBySide, TheHostKeepsEveryThreadsBrokenCalls)
{
    // Threads whose modules break a rule while this one keeps looking at the
    // log: every violation is kept, and each copy holds whole records.
    constexpr int32_t kThreads = 4;
    constexpr int32_t kCallsEach = 500;
    constexpr int32_t kNoOpcode = 23;
    std::atomic<int32_t> running = kThreads;
    std::atomic<int32_t> wrongRecords = 0;
    std::vector<std::thread> threads;
    for (int32_t t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            ProbeModule* probe = nullptr;
            HostedModule module([&probe](HostCallback callback, int32_t handle) {
                probe = new ProbeModule(callback, handle);
                return probe->getRecord();
            });
            for (int32_t i = 0; i < kCallsEach; ++i) probe->callHost(kNoOpcode, i, 0, nullptr, 0.0f);
            --running;
        });
    }
    while (running > 0) {
        for (const host::HostCallViolation& violation : host::hostCallViolations())
            if (violation.rule != host::HostCallRule::KnownOpcode || violation.call.opcode != kNoOpcode) ++wrongRecords;
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrongRecords, 0);
    EXPECT_EQ(host::takeHostCallViolations().size(), static_cast<size_t>(kThreads * kCallsEach));
}
