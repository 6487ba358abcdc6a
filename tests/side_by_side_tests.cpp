// Different instances driven at the same time on different threads, as the
// host interface allows: each thread's results are what a lone thread gets.
#include <array>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "probe_module.h"
#include "test_support.h"

using namespace sep;
using namespace testing_support;
using host::HostedModule;

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
    case 100: module.sendStatus(tessel::GatePin, Streaming); break;
    case 150:
        module.fill(tessel::APin, script.a - 0.01f);
        module.sendStatus(tessel::APin, Streaming);  // reloads x0 and y0
        break;
    case 200: module.sendStatus(tessel::APin, Static); break;
    case 250: module.buffer(tessel::ResetPin)[10] = 0.5f; break;
    case 251: module.buffer(tessel::ResetPin)[10] = 0.0f; break;
    case 300:
        module.sendStatus(tessel::GatePin, Static);  // the countdown to sleep
        break;
    default: break;
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
        transcript.blockDigests.push_back(digest(module.buffer(tessel::XPin), module.buffer(tessel::YPin), kBlockSize));
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
