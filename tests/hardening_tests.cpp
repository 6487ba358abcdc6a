// The built module library under a host that misbehaves in every way the
// host interface allows: bad event targets, short or absent pin arrays,
// failed allocations, repeated opens, null records and buffers, stacks
// aligned to 4 bytes only, and thousands of instances coming and going.
#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "test_support.h"

#if defined(_WIN32)
#include <windows.h>
#endif

using namespace testing_support;
using namespace sep;
using host::HostCall;
using host::HostedModule;
using host::builtModuleLibrary;
using tessel::MapPin;

// Calls `function` with `count` 32-bit arguments copied from `arguments`, with
// the stack pointer at `phase` (0..15) modulo 16 on the call instruction. The
// i386 ABIs of GCC expect phase 0; 32-bit Windows promises only multiples of 4.
// Restores the stack from its own frame, so callees that pop their arguments
// (stdcall) work too. Returns what the callee left in eax.
extern "C" uint32_t callAtStackPhase(const void* function, const uint32_t* arguments,
                                     uint32_t count, uint32_t phase) asm("tessel_call_at_stack_phase");

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

constexpr uint32_t kFirstX = 0x3DCCCCCD;  // first iterate from (0, 0): 0.1 and 0
constexpr float kSentinel = 1234.5f;

std::vector<uint32_t> outputBits(HostedModule& host, int32_t first, int32_t count)
{
    std::vector<uint32_t> bits;
    for (int32_t i = first; i < first + count; ++i) {
        bits.push_back(bitsOf(host.buffer(tessel::XPin)[i]));
        bits.push_back(bitsOf(host.buffer(tessel::YPin)[i]));
    }
    return bits;
}

std::vector<int32_t> announcedPins(const HostedModule& host)
{
    std::vector<int32_t> pins;
    for (const HostCall& call : host.calls)
        if (call.opcode == SetPinStatus) pins.push_back(call.index);
    return pins;
}

std::vector<int32_t> announcedStatuses(const HostedModule& host)
{
    std::vector<int32_t> statuses;
    for (const HostCall& call : host.calls)
        if (call.opcode == SetPinStatus) statuses.push_back(call.value);
    return statuses;
}

uint32_t wordOf(float value) { return bitsOf(value); }
uint32_t wordOf(const void* pointer) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer)); }
template <typename Function>
const void* codeOf(Function function)
{
    return reinterpret_cast<const void*>(function);
}

// The first `count` output pairs of a freshly opened instance with the usual inputs.
std::vector<uint32_t> referenceOrbit(int32_t count)
{
    HostedModule reference;
    connectUsual(reference, tessel::Continuous, count);
    reference.open();
    reference.process(0, count);
    return outputBits(reference, 0, count);
}

}  // namespace

// --- events aimed past the pin array --------------------------------------

TEST(HostileEvents, StatusChangesForPinsThatDoNotExistAreIgnored)
{
    HostedModule module;
    connectUsual(module, tessel::Gated);
    module.hostPinCount = 10;
    module.open();
    module.clearCalls();
    const ProcessEntry installed = module.currentProcess();
    for (int32_t target : {-1, -2, 10, 11, 1000, INT_MIN, INT_MAX}) {
        for (int32_t status : {Static, Transient, Streaming}) module.sendStatus(target, status);
    }
    EXPECT_TRUE(module.calls.empty()) << "no pin may react to an event outside 0..count-1";
    EXPECT_EQ(module.currentProcess(), installed);

    module.sendStatus(9, Static);
    EXPECT_EQ(announcedPins(module), (std::vector<int32_t>{6, 7})) << "the last pin still answers";
}

TEST(HostileEvents, StatusChangesBeforeOpenAreIgnored)
{
    HostedModule module;
    connectUsual(module);
    for (int32_t target : {0, 5, 9, -1, INT_MAX}) module.sendStatus(target, Streaming);
    EXPECT_TRUE(module.calls.empty());
    module.fill(tessel::XPin, kSentinel);
    module.process(0, 16);
    EXPECT_EQ(module.buffer(tessel::XPin)[0], kSentinel) << "still the empty process";
}

TEST(HostileEvents, ThePinCountIsTheOneGivenAtOpen)
{
    HostedModule module;
    connectUsual(module, tessel::Gated);
    module.hostPinCount = 3;
    module.open();
    module.hostPinCount = 10;  // the host's answer later on changes nothing
    module.clearCalls();
    for (int32_t target : {3, 4, 5, 9}) module.sendStatus(target, Streaming);
    EXPECT_TRUE(module.calls.empty());
    module.sendStatus(2, Streaming);
    EXPECT_EQ(announcedPins(module), (std::vector<int32_t>{6, 7}));
}

TEST(HostileEvents, MemberCallsRunNothingTheModuleDoesNotOffer)
{
    // The map module offers no member: aimed at its own entries, at text
    // inside the library or at any number, a MemberCall must run nothing.
    const host::ModuleLibrary& library = builtModuleLibrary();
    HostedModule module;
    connectUsual(module);
    module.open();
    module.process(0, 8);
    module.clearCalls();
    const ModuleRecord before = *module.getRecord();
    ModuleProperties properties{};
    library.getModuleProperties(0, &properties);

    const auto address = [](const void* code) { return static_cast<int32_t>(wordOf(code)); };
    const int32_t targets[] = {
        address(codeOf(before.process)),    address(codeOf(before.dispatcher)),
        address(codeOf(before.event)),      address(codeOf(library.makeModule)),
        address(codeOf(library.getModuleProperties)), address(properties.about),
        address(codeOf(before.process)) + 16, 0, 1, -1, INT_MIN, INT_MAX, 0x10000,
    };
    Event event{};
    event.type = MemberCall;
    for (int32_t target : targets) {
        event.target = target;
        module.sendEvent(event);
    }
    EXPECT_TRUE(module.calls.empty());
    EXPECT_TRUE(sameBytes(before, *module.getRecord()));
    module.process(8, 8);
    const std::vector<uint32_t> reference = referenceOrbit(16);
    EXPECT_EQ(outputBits(module, 8, 8), std::vector<uint32_t>(reference.begin() + 16, reference.end()))
        << "the map goes on as if nothing had been sent";
}

// --- negative counts --------------------------------------------------------

TEST(NegativeCounts, AreNoWorkInEitherProcessFunction)
{
    // Below zero is a host error: nothing read or written, the pending load
    // kept, and the sleep countdown neither taken back nor postponed.
    for (int32_t count : {-1, -100, INT_MIN}) {
        SCOPED_TRACE(count);
        HostedModule module;
        connectUsual(module, tessel::Gated);
        module.dispatch(SetBlockSize, 0, 8);
        module.open();
        module.fill(tessel::XPin, kSentinel);
        module.fill(tessel::YPin, kSentinel);
        module.process(0, count);
        EXPECT_EQ(module.buffer(tessel::XPin)[0], kSentinel);

        module.sendStatus(tessel::GatePin, Static);  // processCountdown, 8 samples to go
        module.clearCalls();
        module.process(0, count);
        module.process(0, 7);
        EXPECT_EQ(module.countCalls(RequestSleep), 0) << "the countdown was postponed";
        module.process(7, 1);
        EXPECT_EQ(module.countCalls(RequestSleep), 1);
        module.process(0, count);
        EXPECT_EQ(module.countCalls(RequestSleep), 2) << "run out: asked again, as for a count of 0";
        EXPECT_EQ(module.buffer(tessel::XPin)[8], kSentinel);
        EXPECT_EQ(module.buffer(tessel::XPin)[0], 0.0f) << "the load waited for a real call";
    }
}

// --- fewer pins than the module declares ------------------------------------

TEST(ShortPinArrays, OpenStillAnnouncesBothOutputsByIndex)
{
    for (int32_t count : {0, -1, 3, 7}) {
        SCOPED_TRACE(count);
        HostedModule module;
        connectUsual(module);
        module.hostPinCount = count;
        module.sampleClock = 96;
        module.open();
        EXPECT_EQ(announcedPins(module), (std::vector<int32_t>{6, 7}));
        EXPECT_EQ(announcedStatuses(module), (std::vector<int32_t>{Streaming, Streaming}));
        for (const HostCall& call : module.calls) {
            if (call.opcode == SetPinStatus) {
                EXPECT_EQ(call.pointer, 96);
            }
        }
        module.process(0, 4);
        EXPECT_EQ(bitsOf(module.buffer(tessel::XPin)[0]), kFirstX) << "the map runs without pins";
    }
}

TEST(ShortPinArrays, MissingPinsReadAsStatic)
{
    // Gated with only Gate and Reset present: their statuses decide, and
    // x0, y0, a and b, absent, never count as streaming.
    HostedModule module;
    connectUsual(module, tessel::Gated);
    module.hostPinCount = 2;
    module.open();
    module.clearCalls();

    module.sendStatus(tessel::GatePin, Static);
    EXPECT_EQ(announcedStatuses(module), (std::vector<int32_t>{Static, Static}));
    module.clearCalls();
    module.sendStatus(tessel::ResetPin, Transient);
    EXPECT_EQ(announcedStatuses(module), (std::vector<int32_t>{Streaming, Streaming}));
    module.clearCalls();
    module.sendStatus(tessel::GatePin, Transient);
    EXPECT_EQ(announcedStatuses(module), (std::vector<int32_t>{Transient, Transient}))
        << "Reset, back to Static after its Transient, must not lift the status";

    HostedModule onlyGate;
    connectUsual(onlyGate, tessel::Gated);
    onlyGate.hostPinCount = 1;
    onlyGate.open();
    onlyGate.clearCalls();
    onlyGate.sendStatus(tessel::GatePin, Transient);
    EXPECT_EQ(announcedStatuses(onlyGate), (std::vector<int32_t>{Transient, Transient}))
        << "a missing Reset pin is Static";
}

TEST(ShortPinArrays, MissingInputPinsNeverReinitialise)
{
    // With three pins, a status change on Reset must not restart the map:
    // the absent x0, y0, a and b pins read Static.
    HostedModule module;
    connectUsual(module);
    module.hostPinCount = 3;
    module.open();
    module.process(0, 8);
    module.sendStatus(tessel::ResetPin, Streaming);
    module.sendStatus(tessel::X0Pin, Static);
    module.process(8, 8);
    const std::vector<uint32_t> reference = referenceOrbit(16);
    EXPECT_EQ(outputBits(module, 0, 16), reference);
}

TEST(ShortPinArrays, WithoutACallbackTheModuleRunsAlone)
{
    HostedModule module(host::factoryOf(builtModuleLibrary()), HostedModule::kDefaultHandle, false);
    ASSERT_TRUE(module.valid());
    connectUsual(module, tessel::Gated);
    module.open();
    for (int32_t target = -1; target <= 10; ++target) module.sendStatus(target, Streaming);
    module.setList(tessel::ModePin, tessel::Continuous);
    module.process(0, 16);
    EXPECT_EQ(outputBits(module, 0, 16), referenceOrbit(16));
    EXPECT_TRUE(module.calls.empty());
}

// --- allocation failure -----------------------------------------------------

TEST(PinAllocationFailure, OpenGoesOnWithoutPins)
{
    // INT32_MAX pins overflow a 32-bit size; 0x08000000 pins of 28 bytes or
    // more do not, but no 32-bit process can hold them.
    for (int32_t count : {INT_MAX, 0x08000000}) {
        SCOPED_TRACE(count);
        HostedModule module;
        connectUsual(module, tessel::Gated);
        module.hostPinCount = count;
        module.open();
        EXPECT_EQ(announcedPins(module), (std::vector<int32_t>{6, 7}));
        EXPECT_EQ(module.countCalls(GetPinBuffer), 0);
        module.clearCalls();
        for (int32_t target : {0, 1, 9, 10, count - 1}) module.sendStatus(target, Static);
        EXPECT_TRUE(module.calls.empty()) << "no pin was built, so none can change";
        module.setList(tessel::ModePin, tessel::Continuous);
        module.process(0, 16);
        EXPECT_EQ(outputBits(module, 0, 16), referenceOrbit(16));
    }
}

// --- opening twice -----------------------------------------------------------

TEST(SecondOpen, BuildsAFreshPinArray)
{
    HostedModule module;
    connectUsual(module, tessel::Gated);
    module.open();
    module.sendStatus(tessel::ResetPin, Streaming);
    module.open();
    module.clearCalls();
    module.sendStatus(tessel::GatePin, Static);
    EXPECT_EQ(announcedStatuses(module), (std::vector<int32_t>{Static, Static}))
        << "the Reset status of the old pins must be gone";
}

TEST(SecondOpen, ASmallerArrayReplacesALargerOne)
{
    HostedModule module;
    connectUsual(module, tessel::Gated);
    module.hostPinCount = 10;
    module.open();
    module.hostPinCount = 2;
    module.open();
    module.clearCalls();
    for (int32_t target : {2, 5, 9}) module.sendStatus(target, Streaming);
    EXPECT_TRUE(module.calls.empty()) << "pins of the old array are gone";
    module.hostPinCount = 0;
    module.open();
    module.clearCalls();
    module.sendStatus(0, Streaming);
    EXPECT_TRUE(module.calls.empty());
    module.hostPinCount = 12;
    module.open();
    module.clearCalls();
    module.sendStatus(11, Streaming);
    EXPECT_EQ(announcedPins(module), (std::vector<int32_t>{6, 7}));
}

TEST(SecondOpen, RestartsTheMapEveryTime)
{
    HostedModule module;
    connectUsual(module);
    const std::vector<uint32_t> reference = referenceOrbit(8);
    for (int round = 0; round < 200; ++round) {
        module.hostPinCount = round % 13 - 1;
        module.open();
        module.process(0, 8);
        ASSERT_EQ(outputBits(module, 0, 8), reference) << round;
    }
}

// --- null records and buffers --------------------------------------------------

TEST(NullRecords, GetModulePropertiesWithoutARecordAnswersZero)
{
    const auto getModuleProperties = builtModuleLibrary().getModuleProperties;
    for (int32_t index : {0, 1, -1, INT_MIN, INT_MAX}) EXPECT_EQ(getModuleProperties(index, nullptr), 0) << index;
}

TEST(NullRecords, EntriesGivenNullAnswerSafely)
{
    HostedModule module;
    module.connectAndOpen();
    module.clearCalls();
    const ModuleRecord& record = *module.getRecord();
    EXPECT_EQ(record.dispatcher(nullptr, sep::GetProcessMember, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(module.dispatch(sep::GetPinProperties, 0, 0, nullptr), 0);
    record.event(nullptr, nullptr);
    record.event(record.module, nullptr);
    const ProcessEntry processMap = record.process;
    record.process(nullptr, 0, 16);
    module.setList(tessel::ModePin, tessel::Gated);
    module.dispatch(SetBlockSize, 0, 0);  // so the countdown has run out at once
    module.sendStatus(tessel::GatePin, sep::Static);
    ASSERT_NE(record.process, processMap) << "the countdown is installed";
    module.clearCalls();
    record.process(nullptr, 0, 16);
    EXPECT_TRUE(module.calls.empty());
}

TEST(NullBuffers, PinVariablesStartZeroed)
{
    // Leave the heap full of instances whose variables held addresses, so a
    // new instance cannot come up zeroed by luck.
    for (int round = 0; round < 8; ++round) {
        HostedModule dirty;
        connectUsual(dirty);
        dirty.setList(tessel::ModePin, 0x5A5A);
        dirty.setList(tessel::NormalizePin, 0x5A5A);
    }
    for (int round = 0; round < 8; ++round) {
        HostedModule module;
        for (int32_t pin = 0; pin < tessel::MapPinCount; ++pin) {
            PinProperties declaration{};
            ASSERT_EQ(module.dispatch(GetPinProperties, pin, 0, &declaration), 1);
            if (pin < tessel::ModePin) {
                EXPECT_EQ(*static_cast<float* const*>(declaration.variable), nullptr) << pin;
            } else {
                EXPECT_EQ(*static_cast<const int16_t*>(declaration.variable), 0) << pin;
            }
        }
    }
}

TEST(NullBuffers, UnconnectedOpenedInstanceWritesNothing)
{
    HostedModule module;
    module.hostPinCount = tessel::MapPinCount;  // a host holding the pins without reading them
    module.open();
    module.clearCalls();
    const ModuleRecord before = *module.getRecord();
    module.process(0, 64);
    module.process(1000, 1 << 20);
    EXPECT_TRUE(module.calls.empty());
    EXPECT_TRUE(sameBytes(before, *module.getRecord()));
}

TEST(NullBuffers, AnyNullBufferMakesTheCallANoOp)
{
    const std::vector<uint32_t> reference = referenceOrbit(16);
    for (int32_t pin = tessel::GatePin; pin <= tessel::YPin; ++pin) {
        SCOPED_TRACE(pin);
        HostedModule module;
        connectUsual(module);
        module.open();
        auto* variable = static_cast<float**>(module.declarations()[pin].variable);
        float* const connected = *variable;

        // Before the first block: the pending load of x0 and y0 must wait.
        *variable = nullptr;
        module.fill(tessel::XPin, kSentinel);
        module.fill(tessel::YPin, kSentinel);
        module.clearCalls();
        module.process(0, 8);
        module.process(100, 8);
        EXPECT_EQ(module.buffer(tessel::XPin)[0], kSentinel);
        EXPECT_EQ(module.buffer(tessel::YPin)[100], kSentinel);
        EXPECT_TRUE(module.calls.empty());
        *variable = connected;
        module.process(0, 8);

        // In the middle of a run: the state must not move either.
        *variable = nullptr;
        module.process(8, 8);
        EXPECT_EQ(module.buffer(tessel::XPin)[8], kSentinel);
        *variable = connected;
        module.process(8, 8);
        EXPECT_EQ(outputBits(module, 0, 16), reference);
    }
}

// --- many instances -------------------------------------------------------------

TEST(InstanceChurn, TenThousandInstancesInterleaved)
{
    // Every instance runs Continuous from x0 = y0 = 0 with the usual a and b,
    // so each output sample is a known element of one orbit; reloads come only
    // from open and from a Streaming x0, y0, a or b, which the test tracks.
    constexpr int32_t kInstances = 10000;
    constexpr int32_t kSlots = 7;
    constexpr int32_t kLength = 64;
    constexpr int32_t kOrbitLength = 4096;
    const std::vector<uint32_t> orbit = referenceOrbit(kOrbitLength);
    ProcessEntry processMap = nullptr;

    struct Slot {
        std::unique_ptr<HostedModule> host;
        std::array<int32_t, tessel::MapPinCount + 2> status{};  // pins 10 and 11 exist when counted
        int32_t pins = 0;
        int32_t position = 0;  // orbit index of the next sample
    };
    std::array<Slot, kSlots> slots;
    std::minstd_rand random(20261207);
    auto pick = [&random](int32_t n) { return static_cast<int32_t>(random() % static_cast<uint32_t>(n)); };
    const int32_t pinCounts[] = {10, 10, 12, 8, 3, 0, -1};

    int32_t created = 0;
    int64_t samples = 0;
    while (created < kInstances) {
        Slot& slot = slots[pick(kSlots)];
        if (!slot.host) {
            slot.host = std::make_unique<HostedModule>();
            ASSERT_TRUE(slot.host->valid());
            connectUsual(*slot.host, tessel::Continuous, kLength);
            slot.pins = pinCounts[pick(7)];
            slot.host->hostPinCount = slot.pins;
            slot.host->open();
            if (!processMap) processMap = slot.host->currentProcess();
            slot.status.fill(Static);
            slot.position = 0;
            ++created;
            continue;
        }
        switch (pick(6)) {
        case 0:
        case 1:
        case 2: {
            const int32_t count = 1 + pick(kLength);
            if (slot.position + count > kOrbitLength) {
                slot.host->open();
                slot.status.fill(Static);
                slot.position = 0;
            }
            slot.host->process(0, count);
            for (int32_t i = 0; i < count; ++i) {
                ASSERT_EQ(bitsOf(slot.host->buffer(tessel::XPin)[i]), orbit[2 * (slot.position + i)]) << created;
                ASSERT_EQ(bitsOf(slot.host->buffer(tessel::YPin)[i]), orbit[2 * (slot.position + i) + 1])
                    << created;
            }
            slot.position += count;
            samples += count;
            break;
        }
        case 3:
        case 4: {
            const int32_t pin = pick(tessel::MapPinCount + 4) - 1;
            const int32_t status = pick(3);
            slot.host->sendStatus(pin, status);
            if (pin >= 0 && pin < slot.pins) {
                slot.status[pin] = status;
                if (std::max({slot.status[tessel::X0Pin], slot.status[tessel::Y0Pin],
                              slot.status[tessel::APin], slot.status[tessel::BPin]}) > Transient)
                    slot.position = 0;
                if (status == Transient) slot.status[pin] = Static;
            }
            ASSERT_EQ(slot.host->currentProcess(), processMap) << "Continuous never winds down";
            break;
        }
        default:
            ASSERT_EQ(slot.host->close(), 1);
            slot.host.reset();
            break;
        }
    }
    for (Slot& slot : slots) slot.host.reset();
    EXPECT_GT(samples, int64_t{kInstances} * kLength / 2);
}

// --- stacks aligned to 4 bytes ----------------------------------------------------

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

Transcript sessionAtStackPhase(uint32_t phase)
{
    Transcript transcript;
    auto call = [phase](const void* function, std::initializer_list<uint32_t> arguments) {
        return callAtStackPhase(function, arguments.begin(), static_cast<uint32_t>(arguments.size()), phase);
    };
    const host::ModuleLibrary& library = builtModuleLibrary();

    ModuleProperties properties = patterned<ModuleProperties>();
    transcript.add(call(codeOf(library.getModuleProperties), {0, wordOf(&properties)}));
    transcript.add(std::strcmp(properties.name, "Tessel Map"));
    transcript.add(properties.sdkVersion);
    transcript.add(properties.hostWord12);
    transcript.add(call(codeOf(library.getModuleProperties), {7, wordOf(&properties)}));
    transcript.add(call(codeOf(library.getModuleProperties), {0, 0}));

    HostedModule module(
        [&](HostCallback callback, int32_t handle) {
            return reinterpret_cast<ModuleRecord*>(static_cast<uintptr_t>(call(
                codeOf(library.makeModule), {0, 1, wordOf(codeOf(callback)), static_cast<uint32_t>(handle)})));
        });
    if (!module.valid()) return transcript;
    module.onCall = [&](const HostCall&) { transcript.add(1000 + stackPhaseHere()); };
    ModuleRecord* record = module.getRecord();
    const uint32_t recordWord = wordOf(record);
    const uint32_t moduleWord = wordOf(record->module);
    auto dispatch = [&](int32_t opcode, int32_t index, int32_t value, uint32_t pointer, float floatValue) {
        const uint32_t result = call(codeOf(record->dispatcher),
                                     {recordWord, static_cast<uint32_t>(opcode), static_cast<uint32_t>(index),
                                      static_cast<uint32_t>(value), pointer, wordOf(floatValue)});
        transcript.addCalls(module);
        return result;
    };
    auto process = [&](int32_t offset, int32_t count) {
        call(codeOf(record->process), {moduleWord, static_cast<uint32_t>(offset), static_cast<uint32_t>(count)});
        transcript.addCalls(module);
    };
    auto status = [&](int32_t pin, int32_t value) {
        Event event{};
        event.type = PinStatusChange;
        event.target = pin;
        event.value = value;
        call(codeOf(record->event), {moduleWord, wordOf(&event)});
        transcript.addCalls(module);
    };

    transcript.add(record->tag);
    transcript.add(record->hostHandle);
    connectUsual(module, tessel::Continuous, 512);
    module.fill(tessel::XPin, kSentinel);
    transcript.add(dispatch(SetSampleRate, 0, 0, 0, 48000.0f));
    transcript.add(dispatch(SetBlockSize, 0, 256, 0, 0.0f));
    PinProperties declaration{};
    transcript.add(dispatch(GetPinProperties, tessel::APin, 0, wordOf(&declaration), 0.0f));
    transcript.add(static_cast<const char*>(declaration.variable) - static_cast<const char*>(record->module));
    transcript.add(std::strcmp(declaration.name, "a"));
    transcript.add(dispatch(Opcode8, 0, 0, 0, 0.0f));
    transcript.add(dispatch(Opcode12, 1, 2, 0, 0.0f));
    transcript.add(dispatch(9, 1, 2, 0, 0.0f));

    process(0, 64);  // still the empty process
    transcript.addOutputs(module, 0, 64);

    transcript.add(dispatch(Open, 0, 0, 0, 0.0f));
    const auto* info = reinterpret_cast<const ProcessMemberInfo*>(
        static_cast<uintptr_t>(dispatch(GetProcessMember, 0, 0, 0, 0.0f)));
    transcript.add(info->format);
    transcript.add(info->member->code == record->process);

    process(0, 64);
    process(64, 192);
    module.setList(tessel::NormalizePin, 1);
    status(tessel::APin, Streaming);  // reloads x0 and y0
    process(256, 128);
    module.setList(tessel::ModePin, tessel::Gated);
    status(tessel::GatePin, Static);  // installs the countdown
    process(384, 100);
    process(484, 28);
    process(0, 200);  // asks for sleep
    status(-1, Streaming);
    Event memberCall{};
    memberCall.type = MemberCall;
    call(codeOf(record->event), {moduleWord, wordOf(&memberCall)});
    status(tessel::ResetPin, Streaming);
    process(200, 50);
    transcript.addOutputs(module, 0, 512);
    transcript.add(module.close());

    // Close itself through the misaligned entry, on an instance without callback.
    const uint32_t bare = call(codeOf(library.makeModule), {0, 1, 0, 0});
    if (bare != 0) {
        auto* bareRecord = reinterpret_cast<ModuleRecord*>(static_cast<uintptr_t>(bare));
        transcript.add(call(codeOf(bareRecord->dispatcher), {bare, Open, 0, 0, 0, 0}));
        transcript.add(call(codeOf(bareRecord->dispatcher), {bare, Close, 0, 0, 0, 0}));
    }

#if defined(_WIN32)
    // The library's own entry point, as Windows calls it when a thread starts and ends.
    HMODULE image = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCSTR>(codeOf(library.makeModule)), &image);
    transcript.add(image != nullptr);
    if (image) {
        const auto* base = reinterpret_cast<const char*>(image);
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
        const void* entry = base + nt->OptionalHeader.AddressOfEntryPoint;
        transcript.add(call(entry, {wordOf(image), DLL_THREAD_ATTACH, 0}));
        transcript.add(call(entry, {wordOf(image), DLL_THREAD_DETACH, 0}));
    }
#endif
    return transcript;
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
