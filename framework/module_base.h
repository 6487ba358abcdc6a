#pragma once

#include <span>

#include "boundary.h"
#include "pin.h"

namespace sep {

// Base of every module object. It embeds the record the host holds, turns the
// host's commands and events into virtual calls, builds the pins on open and
// is the one road back into the host (callHost).
class ModuleBase {
public:
    ModuleBase(HostCallback callback, int32_t hostHandle);
    ModuleBase(const ModuleBase&) = delete;
    ModuleBase& operator=(const ModuleBase&) = delete;

    // The virtual operations, in the order of their slots. Every default does
    // nothing or answers false; a module overrides what it needs.
    virtual ~ModuleBase();
    virtual void onPlugStateChange(Pin* pin);
    virtual void handleEvent(const Event* event);
    virtual int32_t dispatch(uint32_t opcode, int32_t index, int32_t value, void* pointer, float floatValue);
    virtual void open();  // builds the pins; an override calls this first
    virtual void close();
    virtual void reservedHook(int32_t first, int32_t second);
    virtual void setSampleRate(float rate);
    virtual void setBlockSize(int32_t size);
    virtual float getSampleRate() const;
    virtual int32_t getBlockSize() const;
    virtual bool getPinProperties(int32_t index, PinProperties* properties);
    virtual bool reservedQueryA(int32_t word);
    virtual bool reservedQueryB(int32_t word);
    virtual void onOpcode8();
    virtual void onEventType2(int32_t timeStamp, int32_t value, int16_t value16);
    virtual void onOpcode12(int32_t value, int32_t index, void* pointer);

    ModuleRecord* getRecord() { return &record; }
    const ModuleRecord* getRecord() const { return &record; }
    const ProcessMember& getProcessMember() const { return processMember; }

    // Calls the host with this module's record first; 0 without a callback.
    int32_t callHost(int32_t opcode, int32_t index, int32_t value, void* pointer, float floatValue);
    int32_t getSampleClock();

    // Announces the status of output pin `index` to the host. Works by index,
    // so it needs no Pin object.
    void setOutputStatus(int32_t index, int32_t clock, int32_t status);

    // The pin array as built by open; index must be below getPinCount().
    Pin* pin(int32_t index) { return &pins[index]; }
    int32_t getPinCount() const { return pinCount; }

    // The status of pin `index`, or Static for a pin the host did not give us.
    int32_t pinStatus(int32_t index) const;

    // Clears the record, then asks getPinProperties.
    bool queryPinProperties(int32_t index, PinProperties* properties);

    // Installs a process function: rewrites the record's `process`, then tells
    // the host with ProcessChanged. Nothing happens if it is already installed.
    void setProcess(ProcessMember member);
    void setProcess(ProcessEntry code) { setProcess(ProcessMember{code, 0, 0, 0}); }

    // The process function of a module that has not been opened.
    static void SEP_ENTRY emptyProcess(void* module, int32_t offset, int32_t count);

protected:
    // Names the parameterless members a MemberCall event may run; the table is
    // the module's and must outlive it. Without one, every MemberCall is ignored.
    void offerMemberCalls(std::span<const MemberCallFunction> members) { memberCalls = members; }

private:
    void buildPins();
    void releasePins();

    HostCallback hostCallback;  // may be null: every host call then answers 0
    ModuleRecord record;
    float sampleRate;
    int32_t blockSize;
    Pin* pins;  // owned; null until open, released with the object
    ProcessMember processMember;
    int32_t pinCount;                                 // elements in `pins`; 0 while there is none
    std::span<const MemberCallFunction> memberCalls;  // the only targets a MemberCall may run
};

// Two of the record's three entries (the third is the process function
// itself). They refuse a null record, module or event; the rest of a host's
// misuse is met where it lands: in dispatch, handleEvent, pin building and the
// module's process functions.
int32_t SEP_ENTRY dispatcherEntry(ModuleRecord* record, int32_t opcode, int32_t index, int32_t value, void* pointer,
                                  float floatValue);
void SEP_ENTRY eventEntry(void* module, const Event* event);

}  // namespace sep
