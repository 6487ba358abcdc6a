#include "module_base.h"

#include <cstring>
#include <new>

#include "thread_answer.h"

namespace sep {

ModuleBase::ModuleBase(HostCallback callback, int32_t hostHandle)
    : hostCallback(callback),
      record{},
      sampleRate(44100.0f),
      blockSize(1024),
      pins(nullptr),
      processMember{&ModuleBase::emptyProcess, 0, 0, 0},
      pinCount(0)
{
    record.tag = kRecordTag;
    record.version = kRecordVersion;
    record.hostHandle = hostHandle;
    record.module = this;
    record.dispatcher = &dispatcherEntry;
    record.process = processMember.code;
    record.event = &eventEntry;
}

ModuleBase::~ModuleBase() { releasePins(); }

void ModuleBase::onPlugStateChange(Pin*) {}

void ModuleBase::handleEvent(const Event* event)
{
    switch (event->type) {
    case PinStatusChange:
        // The host numbers pins from 0 to the count it gave at open; anything
        // else, or an event before open, has no pin to land on.
        if (event->target >= 0 && event->target < pinCount) pin(event->target)->setStatus(event->value);
        break;
    case Forwarded: onEventType2(event->timeStamp, event->value, event->value16); break;
    case MemberCall:
        // The target is a code address from the host: run it only if it is one
        // of the members this module offers, never whatever else it names.
        for (MemberCallFunction member : memberCalls) {
            if (static_cast<int32_t>(reinterpret_cast<intptr_t>(member)) == event->target) {
                member(this);
                break;
            }
        }
        break;
    default: break;
    }
}

int32_t ModuleBase::dispatch(uint32_t opcode, int32_t index, int32_t value, void* pointer, float floatValue)
{
    switch (opcode) {
    case Open: open(); return 0;
    case Close:
        close();
        delete this;
        return 1;
    case SetSampleRate: setSampleRate(floatValue); return 0;
    case SetBlockSize: setBlockSize(value); return 0;
    case GetPinProperties:
        if (!pointer) return 0;
        return getPinProperties(index, static_cast<PinProperties*>(pointer)) ? 1 : 0;
    case Opcode8: onOpcode8(); return 0;
    case Opcode12: onOpcode12(value, index, pointer); return 0;
    case GetProcessMember: {
        // The asking thread's own record: hosts may ask for different
        // instances on different threads at once.
        ProcessMemberInfo* answer = threadAnswerRecord();
        *answer = {1, sizeof(ProcessMember), &processMember, 0};
        return static_cast<int32_t>(reinterpret_cast<intptr_t>(answer));
    }
    default: return 0;
    }
}

void ModuleBase::open()
{
    // A second open replaces the pins; the old array must not outlive it.
    releasePins();
    buildPins();
}

void ModuleBase::buildPins()
{
    const int32_t hostCount = callHost(GetPinCount, 0, 0, nullptr, 0.0f);
    if (hostCount > 0) {
        pins = new (std::nothrow) Pin[hostCount];
        if (pins) pinCount = hostCount;
    }
    for (int32_t i = 0; i < pinCount; ++i) pins[i].attach(this, i);

    PinProperties properties;
    int32_t bound = 0;
    bool declared = queryPinProperties(0, &properties);
    while (declared && bound < pinCount) {
        pins[bound].init(properties.dataType, properties.variable);
        ++bound;
        declared = queryPinProperties(bound, &properties);
    }

    // The last declaration may stand for every pin after it.
    queryPinProperties(bound - 1, &properties);
    if (properties.flags & RepeatLast) {
        for (int32_t i = bound; i < pinCount; ++i) pins[i].init(properties.dataType, nullptr);
    }
}

void ModuleBase::releasePins()
{
    delete[] pins;
    pins = nullptr;
    pinCount = 0;
}

void ModuleBase::close() {}
void ModuleBase::reservedHook(int32_t, int32_t) {}
void ModuleBase::setSampleRate(float rate) { sampleRate = rate; }
void ModuleBase::setBlockSize(int32_t size) { blockSize = size; }
float ModuleBase::getSampleRate() const { return sampleRate; }
int32_t ModuleBase::getBlockSize() const { return blockSize; }
bool ModuleBase::getPinProperties(int32_t, PinProperties*) { return false; }
bool ModuleBase::reservedQueryA(int32_t) { return false; }
bool ModuleBase::reservedQueryB(int32_t) { return false; }
void ModuleBase::onOpcode8() {}
void ModuleBase::onEventType2(int32_t, int32_t, int16_t) {}
void ModuleBase::onOpcode12(int32_t, int32_t, void*) {}

int32_t ModuleBase::callHost(int32_t opcode, int32_t index, int32_t value, void* pointer, float floatValue)
{
    if (!hostCallback) return 0;
    return hostCallback(&record, opcode, index, value, pointer, floatValue);
}

int32_t ModuleBase::getSampleClock() { return callHost(GetSampleClock, 0, 0, nullptr, 0.0f); }

void ModuleBase::setOutputStatus(int32_t index, int32_t clock, int32_t status)
{
    // The host reads the clock from the pointer argument itself, not from memory there.
    // NOLINTNEXTLINE(performance-no-int-to-ptr)
    callHost(SetPinStatus, index, status, reinterpret_cast<void*>(static_cast<intptr_t>(clock)), 0.0f);
}

int32_t ModuleBase::pinStatus(int32_t index) const
{
    return index >= 0 && index < pinCount ? pins[index].getStatus() : Static;
}

bool ModuleBase::queryPinProperties(int32_t index, PinProperties* properties)
{
    std::memset(properties, 0, sizeof *properties);
    return getPinProperties(index, properties);
}

void ModuleBase::setProcess(ProcessMember member)
{
    if (member == processMember) return;
    processMember = member;
    record.process = member.code;
    callHost(ProcessChanged, 0, 0, nullptr, 0.0f);
}

void SEP_ENTRY ModuleBase::emptyProcess(void*, int32_t, int32_t) {}

int32_t SEP_ENTRY dispatcherEntry(ModuleRecord* record, int32_t opcode, int32_t index, int32_t value, void* pointer,
                                  float floatValue)
{
    if (!record || !record->module) return 0;
    return static_cast<ModuleBase*>(record->module)
        ->dispatch(static_cast<uint32_t>(opcode), index, value, pointer, floatValue);
}

void SEP_ENTRY eventEntry(void* module, const Event* event)
{
    if (!module || !event) return;
    static_cast<ModuleBase*>(module)->handleEvent(event);
}

}  // namespace sep
