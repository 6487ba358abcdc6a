// Every entry of the built library called on a stack aligned to 4 bytes only,
// as 32-bit Windows promises, gives what it gives on an aligned one.
#include <cstring>
#include <initializer_list>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include "hardening_support.h"
#include "test_support.h"

using namespace testing_support;
using namespace sep;
using namespace hardening;
using host::builtModuleLibrary;
using host::HostCall;
using host::HostedModule;

// Calls `function` with `count` 32-bit arguments copied from `arguments`, with
// the stack pointer at `phase` (0..15) modulo 16 on the call instruction. The
// i386 ABIs of GCC expect phase 0; 32-bit Windows promises only multiples of 4.
// Restores the stack from its own frame, so callees that pop their arguments
// (stdcall) work too. Returns what the callee left in eax.
extern "C" uint32_t callAtStackPhase(const void* function, const uint32_t* arguments, uint32_t count,
                                     uint32_t phase) asm("tessel_call_at_stack_phase");

asm(R"(
    .text
    .p2align 4
    .globl tessel_call_at_stack_phase
)"
#if !defined(_WIN32)
    R"(
    .hidden tessel_call_at_stack_phase
    .type tessel_call_at_stack_phase, @function
)"
#endif
    R"(
tessel_call_at_stack_phase:
    pushl %ebp
    movl %esp, %ebp
    pushl %esi
    pushl %edi
    pushl %ebx
    movl 12(%ebp), %esi
    movl 16(%ebp), %ecx
    leal 64(,%ecx,4), %edx
    movl %esp, %edi
    subl %edx, %edi
    andl $-16, %edi
    addl 20(%ebp), %edi
    movl %edi, %esp
    xorl %ebx, %ebx
1:
    cmpl %ecx, %ebx
    jae 2f
    movl (%esi,%ebx,4), %eax
    movl %eax, (%esp,%ebx,4)
    incl %ebx
    jmp 1b
2:
    call *8(%ebp)
    leal -12(%ebp), %esp
    popl %ebx
    popl %edi
    popl %esi
    popl %ebp
    ret
)");

namespace {

// The phase of the stack pointer inside the host's callback: fixed relative to
// the stack the module calls it with, so it shows whether the module realigned.
__attribute__((noinline)) uint32_t stackPhaseHere()
{
    uint32_t sp;
    asm volatile("movl %%esp, %0" : "=r"(sp));
    return sp & 15u;
}

// Everything a host can observe of one session with the module, except the
// addresses that differ from instance to instance.
struct Transcript {
    std::vector<int64_t> words;
    void add(int64_t word) { words.push_back(word); }
    void addCalls(HostedModule& host)
    {
        for (const HostCall& call : host.calls) {
            add(call.opcode);
            add(call.index);
            add(call.value);
            add(call.pointer);
            add(bitsOf(call.floatValue));
        }
        host.clearCalls();
    }
    void addOutputs(HostedModule& host, int32_t first, int32_t count)
    {
        for (uint32_t bits : outputBits(host, first, count)) add(bits);
    }
};

// A host that calls the built library's entries through the trampoline at
// one stack phase, and writes down everything it sees.
struct PhasedHost {
    uint32_t phase;
    Transcript transcript;
    const host::ModuleLibrary& library = builtModuleLibrary();

    uint32_t call(const void* function, std::initializer_list<uint32_t> arguments) const
    {
        return callAtStackPhase(function, arguments.begin(), static_cast<uint32_t>(arguments.size()), phase);
    }
};

// getModuleProperties for the module, for an index past it, and without a record.
void askProperties(PhasedHost& host)
{
    ModuleProperties properties = patterned<ModuleProperties>();
    host.transcript.add(host.call(codeOf(host.library.getModuleProperties), {0, wordOf(&properties)}));
    host.transcript.add(std::strcmp(properties.name, "Tessel Map"));
    host.transcript.add(properties.sdkVersion);
    host.transcript.add(properties.hostWord12);
    host.transcript.add(host.call(codeOf(host.library.getModuleProperties), {7, wordOf(&properties)}));
    host.transcript.add(host.call(codeOf(host.library.getModuleProperties), {0, 0}));
}

// One instance's record entries, called through the trampoline, each call's
// callbacks written down after it.
struct PhasedInstance {
    PhasedHost& host;
    HostedModule& module;
    ModuleRecord* record = module.getRecord();
    uint32_t recordWord = wordOf(record);
    uint32_t moduleWord = wordOf(record->module);

    uint32_t dispatch(int32_t opcode, int32_t index, int32_t value, uint32_t pointer, float floatValue)
    {
        const uint32_t result = host.call(codeOf(record->dispatcher),
                                          {recordWord, static_cast<uint32_t>(opcode), static_cast<uint32_t>(index),
                                           static_cast<uint32_t>(value), pointer, wordOf(floatValue)});
        host.transcript.addCalls(module);
        return result;
    }
    void process(int32_t offset, int32_t count)
    {
        host.call(codeOf(record->process), {moduleWord, static_cast<uint32_t>(offset), static_cast<uint32_t>(count)});
        host.transcript.addCalls(module);
    }
    void status(int32_t pin, int32_t value)
    {
        Event event{};
        event.type = PinStatusChange;
        event.target = pin;
        event.value = value;
        host.call(codeOf(record->event), {moduleWord, wordOf(&event)});
        host.transcript.addCalls(module);
    }
};

// Rate, block size, a declaration and the hooks' opcodes, then a block before Open.
void prepare(PhasedInstance& instance)
{
    Transcript& transcript = instance.host.transcript;
    transcript.add(instance.record->tag);
    transcript.add(instance.record->hostHandle);
    connectUsual(instance.module, tessel::Continuous, 512);
    instance.module.fill(tessel::XPin, kSentinel);
    transcript.add(instance.dispatch(SetSampleRate, 0, 0, 0, 48000.0f));
    transcript.add(instance.dispatch(SetBlockSize, 0, 256, 0, 0.0f));
    PinProperties declaration{};
    transcript.add(instance.dispatch(GetPinProperties, tessel::APin, 0, wordOf(&declaration), 0.0f));
    transcript.add(static_cast<const char*>(declaration.variable) - static_cast<const char*>(instance.record->module));
    transcript.add(std::strcmp(declaration.name, "a"));
    transcript.add(instance.dispatch(Opcode8, 0, 0, 0, 0.0f));
    transcript.add(instance.dispatch(Opcode12, 1, 2, 0, 0.0f));
    transcript.add(instance.dispatch(9, 1, 2, 0, 0.0f));

    instance.process(0, 64);  // still the empty process
    transcript.addOutputs(instance.module, 0, 64);
}

// Open, then blocks in both process functions between status changes and a
// member call, through to the sleep request and a Reset; then Close.
void openRunAndClose(PhasedInstance& instance)
{
    Transcript& transcript = instance.host.transcript;
    HostedModule& module = instance.module;
    transcript.add(instance.dispatch(Open, 0, 0, 0, 0.0f));
    const auto* info = reinterpret_cast<const ProcessMemberInfo*>(
        static_cast<uintptr_t>(instance.dispatch(GetProcessMember, 0, 0, 0, 0.0f)));
    transcript.add(info->format);
    transcript.add(info->member->code == instance.record->process);

    instance.process(0, 64);
    instance.process(64, 192);
    module.setList(tessel::NormalizePin, 1);
    instance.status(tessel::APin, Streaming);  // reloads x0 and y0
    instance.process(256, 128);
    module.setList(tessel::ModePin, tessel::Gated);
    instance.status(tessel::GatePin, Static);  // installs the countdown
    instance.process(384, 100);
    instance.process(484, 28);
    instance.process(0, 200);  // asks for sleep
    instance.status(-1, Streaming);
    Event memberCall{};
    memberCall.type = MemberCall;
    instance.host.call(codeOf(instance.record->event), {instance.moduleWord, wordOf(&memberCall)});
    instance.status(tessel::ResetPin, Streaming);
    instance.process(200, 50);
    transcript.addOutputs(module, 0, 512);
    transcript.add(module.close());
}

// Close itself through the misaligned entry, on an instance without callback.
void openAndCloseBare(PhasedHost& host)
{
    const uint32_t bare = host.call(codeOf(host.library.makeModule), {0, 1, 0, 0});
    if (bare == 0) return;
    auto* bareRecord = reinterpret_cast<ModuleRecord*>(static_cast<uintptr_t>(bare));
    host.transcript.add(host.call(codeOf(bareRecord->dispatcher), {bare, Open, 0, 0, 0, 0}));
    host.transcript.add(host.call(codeOf(bareRecord->dispatcher), {bare, Close, 0, 0, 0, 0}));
}

#if defined(_WIN32)
// The library's own entry point, as Windows calls it when a thread starts and ends.
void attachAndDetachThread(PhasedHost& host)
{
    HMODULE image = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCSTR>(codeOf(host.library.makeModule)), &image);
    host.transcript.add(image != nullptr);
    if (!image) return;
    const auto* base = reinterpret_cast<const char*>(image);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
    const void* entry = base + nt->OptionalHeader.AddressOfEntryPoint;
    host.transcript.add(host.call(entry, {wordOf(image), DLL_THREAD_ATTACH, 0}));
    host.transcript.add(host.call(entry, {wordOf(image), DLL_THREAD_DETACH, 0}));
}
#endif

Transcript sessionAtStackPhase(uint32_t phase)
{
    PhasedHost host{phase, {}};
    askProperties(host);
    HostedModule module([&host](HostCallback callback, int32_t handle) {
        return reinterpret_cast<ModuleRecord*>(static_cast<uintptr_t>(host.call(
            codeOf(host.library.makeModule), {0, 1, wordOf(codeOf(callback)), static_cast<uint32_t>(handle)})));
    });
    if (!module.valid()) return host.transcript;
    module.onCall = [&host](const HostCall&) { host.transcript.add(1000 + stackPhaseHere()); };
    PhasedInstance instance{host, module};
    prepare(instance);
    openRunAndClose(instance);
    openAndCloseBare(host);
#if defined(_WIN32)
    attachAndDetachThread(host);
#endif
    return host.transcript;
}

}  // namespace

TEST(StackAlignment, TheTrampolineSetsThePhaseItIsAskedFor)
{
    for (uint32_t phase : {0u, 4u, 8u, 12u}) {
        // stackPhaseHere's frame is fixed, so phases differ exactly as asked.
        const uint32_t seen = callAtStackPhase(codeOf(&stackPhaseHere), nullptr, 0, phase);
        const uint32_t aligned = callAtStackPhase(codeOf(&stackPhaseHere), nullptr, 0, 0);
        EXPECT_EQ((seen - aligned) & 15u, phase);
    }
}

TEST(StackAlignment, EveryEntryGivesTheSameResultsOnAFourByteAlignedStack)
{
    const Transcript aligned = sessionAtStackPhase(0);
    ASSERT_GT(aligned.words.size(), 1200u);
    EXPECT_EQ(aligned.words[0], 1) << "getModuleProperties answered";
    for (uint32_t phase : {4u, 8u, 12u}) {
        const Transcript misaligned = sessionAtStackPhase(phase);
        ASSERT_EQ(misaligned.words.size(), aligned.words.size()) << phase;
        for (size_t i = 0; i < aligned.words.size(); ++i)
            ASSERT_EQ(misaligned.words[i], aligned.words[i]) << "phase " << phase << ", word " << i;
    }
}
