// Records, opcodes and function types shared with the host. Every record is a
// sequence of little-endian 32-bit fields (one 16-bit pair in Event) on a
// 32-bit target; the asserts below pin each size and offset.
//
// Threads: the library starts none and takes no locks. Each entry runs on the
// thread of the host's call, tagged below:
//   [any thread]      the host may call it on any thread, at the same time as anything else
//   [instance-serial] calls for one instance (dispatcher, event and process entries)
//                     never overlap; calls for different instances may run at
//                     once on different threads, and one instance may move
//                     between threads from call to call
//   [nested]          the module calls the host only from inside one of the
//                     instance's own entries, on that call's thread
// The exports getModuleProperties and makeModule are [any thread].
#pragma once

#include <cstddef>
#include <cstdint>

static_assert(sizeof(void*) == 4, "the host boundary has 32-bit addresses");

#if defined(__wasm__)
// WebAssembly has one calling convention and no stack alignment to restore.
#define SEP_CALL
#define SEP_ENTRY
#else
// Every function type that crosses the boundary is C-callable with the 32-bit
// Windows C convention: arguments pushed right to left, removed by the caller.
// The underscored spellings, since <windows.h> defines `cdecl` as a macro.
#define SEP_CALL __attribute__((__cdecl__))

// Definitions of boundary functions: the host may call them with the stack
// aligned to 4 bytes only, so each one realigns it before SSE code runs.
#define SEP_ENTRY __attribute__((__cdecl__, __force_align_arg_pointer__))
#endif

#if defined(_WIN32)
#define SEP_EXPORT extern "C"  // exported by name through the .def file
#else
#define SEP_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace sep {

constexpr int32_t kSdkVersion = 2150;        // written into ModuleProperties
constexpr uint32_t kRecordTag = 0x5345504C;  // first word of every ModuleRecord
constexpr int32_t kRecordVersion = 1;

// makeModule's first two arguments: a library holds one module type, at index
// 0, and makes one kind of object, the module object.
constexpr int32_t kModuleIndex = 0;
constexpr int32_t kModuleObjectKind = 1;

struct ModuleRecord;
struct Event;

// The host's function: every call from a module into the host. `record` is the
// calling module's own record; the other arguments depend on `opcode`.
// [nested] never from a thread of the module's own.
using HostCallback = int32_t(SEP_CALL*)(ModuleRecord* record, int32_t opcode, int32_t index, int32_t value,
                                        void* pointer, float floatValue);

// Same argument list as HostCallback; the result is an integer or an address.
// [instance-serial] Close ends the instance, on whichever thread sends it.
using DispatcherEntry = int32_t(SEP_CALL*)(ModuleRecord* record, int32_t opcode, int32_t index, int32_t value,
                                           void* pointer, float floatValue);

// `module` is the record's `module` field; `event` is host-owned and only read
// during the call. [instance-serial]
using EventEntry = void(SEP_CALL*)(void* module, const Event* event);

// Called once per block. Sample i of the call is element offset + i of every
// pin buffer, for 0 <= i < count. [instance-serial] never overlaps the
// instance's dispatcher or event calls.
using ProcessEntry = void(SEP_CALL*)(void* module, int32_t offset, int32_t count);

// Filled by getModuleProperties in a record the host allocates (at least 24
// bytes). The words at 12 and 16 and anything past 23 stay as the host put them.
struct ModuleProperties {
    const char* name;        // static text, valid while the library is loaded
    const char* identifier;  // static text, same lifetime
    const char* about;       // static text, same lifetime
    int32_t hostWord12;      // the host's; never written
    int32_t hostWord16;      // the host's; never written
    int32_t sdkVersion;      // always kSdkVersion, written first on every call
};
static_assert(sizeof(ModuleProperties) == 24);
static_assert(offsetof(ModuleProperties, name) == 0);
static_assert(offsetof(ModuleProperties, identifier) == 4);
static_assert(offsetof(ModuleProperties, about) == 8);
static_assert(offsetof(ModuleProperties, sdkVersion) == 20);

// The host's only handle on an instance; embedded in the module object and
// released with it on Close. After construction only `process` changes.
struct ModuleRecord {
    uint32_t tag;                // kRecordTag
    int32_t version;             // kRecordVersion
    int32_t hostHandle;          // makeModule's fourth argument, never read here
    void* module;                // first argument of the event and process entries
    int32_t reserved1;           // 0
    DispatcherEntry dispatcher;  // commands by opcode
    ProcessEntry process;        // the current process function, called directly per block
    EventEntry event;            // pin status changes and other events
    int32_t reserved2[4];        // 0
};
static_assert(sizeof(ModuleRecord) == 48);
static_assert(offsetof(ModuleRecord, tag) == 0);
static_assert(offsetof(ModuleRecord, version) == 4);
static_assert(offsetof(ModuleRecord, hostHandle) == 8);
static_assert(offsetof(ModuleRecord, module) == 12);
static_assert(offsetof(ModuleRecord, reserved1) == 16);
static_assert(offsetof(ModuleRecord, dispatcher) == 20);
static_assert(offsetof(ModuleRecord, process) == 24);
static_assert(offsetof(ModuleRecord, event) == 28);
static_assert(offsetof(ModuleRecord, reserved2) == 32);

// The current process function as a member-function reference. The three
// adjustment words are always 0 here; the host may read the whole thing
// through GetProcessMember.
struct ProcessMember {
    ProcessEntry code;
    int32_t thisAdjust;
    int32_t vbaseOffset;
    int32_t vbaseIndex;

    // Equal when the code words match and either both are null or the
    // adjustment words match as well.
    friend bool operator==(const ProcessMember& a, const ProcessMember& b)
    {
        if (a.code != b.code) return false;
        if (a.code == nullptr) return true;
        return a.thisAdjust == b.thisAdjust && a.vbaseOffset == b.vbaseOffset && a.vbaseIndex == b.vbaseIndex;
    }
};
static_assert(sizeof(ProcessMember) == 16);
static_assert(offsetof(ProcessMember, code) == 0);
static_assert(offsetof(ProcessMember, thisAdjust) == 4);
static_assert(offsetof(ProcessMember, vbaseOffset) == 8);
static_assert(offsetof(ProcessMember, vbaseIndex) == 12);

// The answer to GetProcessMember: one record per thread, rewritten on each of
// that thread's requests, so `member` names the instance this thread asked
// last. Valid until this thread asks again or ends; no other thread's request
// changes it.
struct ProcessMemberInfo {
    int32_t format;         // 1
    int32_t memberSize;     // sizeof(ProcessMember)
    ProcessMember* member;  // lives as long as that instance
    int32_t reserved;       // 0
};
static_assert(sizeof(ProcessMemberInfo) == 16);
static_assert(offsetof(ProcessMemberInfo, format) == 0);
static_assert(offsetof(ProcessMemberInfo, memberSize) == 4);
static_assert(offsetof(ProcessMemberInfo, member) == 8);
static_assert(offsetof(ProcessMemberInfo, reserved) == 12);

// One pin's declaration. Filled by a module's getPinProperties; read by the
// framework when it builds the pins and by the host. Texts are static.
struct PinProperties {
    void* variable;     // module field the host writes (buffer address or list index), or null
    int32_t direction;  // PinDirection; read only by the host
    int32_t dataType;   // PinDataType; decides an unbound pin's own storage
    const char* name;
    const char* defaultText;  // or null
    const char* rangeText;    // "upper,lower,upper,lower" for audio, item names for lists; or null
    int32_t flags;            // PinFlags; only RepeatLast is read here
    int32_t reserved;
};
static_assert(sizeof(PinProperties) == 32);
static_assert(offsetof(PinProperties, variable) == 0);
static_assert(offsetof(PinProperties, direction) == 4);
static_assert(offsetof(PinProperties, dataType) == 8);
static_assert(offsetof(PinProperties, name) == 12);
static_assert(offsetof(PinProperties, defaultText) == 16);
static_assert(offsetof(PinProperties, rangeText) == 20);
static_assert(offsetof(PinProperties, flags) == 24);
static_assert(offsetof(PinProperties, reserved) == 28);

// Passed by the host to the event entry; only the first 20 bytes are read.
struct Event {
    int32_t timeStamp;  // Forwarded: first argument of onEventType2
    int32_t type;       // EventType; other codes are ignored
    int32_t value;      // PinStatusChange: the new PinStatus; Forwarded: second argument
    int16_t value16;    // Forwarded: third argument
    int16_t unused;
    int32_t target;  // PinStatusChange: pin index; MemberCall: code address of an offered member
    int32_t reserved;
};
static_assert(sizeof(Event) == 24);
static_assert(offsetof(Event, timeStamp) == 0);
static_assert(offsetof(Event, type) == 4);
static_assert(offsetof(Event, value) == 8);
static_assert(offsetof(Event, value16) == 12);
static_assert(offsetof(Event, target) == 16);
static_assert(offsetof(Event, reserved) == 20);

// A parameterless member of a module, reached through a MemberCall event
// whose `target` is its code address; only members the module offers run.
using MemberCallFunction = void(SEP_CALL*)(void* module);

// All [instance-serial], through the dispatcher entry.
enum DispatcherOpcode : uint32_t {
    Open = 0,              // builds the pins, installs the process function
    Close = 1,             // the instance's last call: the record is gone when it returns
    SetSampleRate = 2,     // before or after Open
    SetBlockSize = 3,      // before or after Open
    GetPinProperties = 6,  // before or after Open
    Opcode8 = 8,
    Opcode12 = 12,
    GetProcessMember = 13,  // answer per thread, valid until that thread's next request
};

// All [nested]: sent on the thread of the instance's call that sends them.
enum HostOpcode : int32_t {
    SetPinStatus = 0,     // from Open and status events; index: output pin, value: PinStatus, pointer: sample clock
    GetSampleClock = 3,   // from Open and status events; result: the host's sample clock
    GetPinBuffer = 7,     // from Open; index: pin; result: address of its sample buffer
    RequestSleep = 10,    // from a process call, the last block before sleep
    GetPinCount = 14,     // from Open; result: pins the host holds for this instance; <= 0 means none
    ProcessChanged = 22,  // from Open and status events: the record's `process` has just been rewritten
};

// Only the host reads a pin's direction; Setting files a pin among the
// module's settings rather than its inputs.
enum PinDirection : int32_t { Input = 0, Output = 1, Setting = 3 };

enum PinDataType : int32_t { Enum = 0, Byte = 4, Audio = 5, Word32 = 6 };

enum PinFlags : int32_t { RepeatLast = 0x08 };

enum PinStatus : int32_t { Static = 0, Transient = 1, Streaming = 2 };

enum EventType : int32_t { PinStatusChange = 0, Forwarded = 2, MemberCall = 21 };

}  // namespace sep
