#include "thread_answer.h"

#if defined(_WIN32)
#include <windows.h>

#include <cstdlib>
#endif

namespace sep {

#if defined(_WIN32)

// Win32 TLS, not the compiler's thread_local, which would link the thread
// library into the DLL. The slot is taken on the first request rather than in
// the entry notification, which a module linked into an executable never gets;
// there a thread's record stays taken until the process ends.
namespace {

struct AnswerRecord {
    ProcessMemberInfo info;
    volatile LONG taken;  // 1 while a thread holds it
    AnswerRecord* next;   // allocated records only: the one allocated before
};

// Taken first, so that a thread's first request, perhaps on the audio thread,
// seldom allocates. A record a thread hands back is taken again by the next;
// none is freed while the library is loaded, so no answer ever dangles.
constexpr int kPooledRecords = 16;
AnswerRecord pooledRecords[kPooledRecords];
AnswerRecord* volatile allocatedRecords;  // newest first; only ever pushed

volatile LONG tlsSlot = static_cast<LONG>(TLS_OUT_OF_INDEXES);

ProcessMemberInfo sharedRecord;  // for a thread that can have no record of its own

DWORD takeTlsSlot()
{
    const auto slot = static_cast<DWORD>(tlsSlot);
    if (slot != TLS_OUT_OF_INDEXES) return slot;
    const DWORD fresh = TlsAlloc();
    if (fresh == TLS_OUT_OF_INDEXES) return fresh;
    const LONG earlier = InterlockedCompareExchange(&tlsSlot, static_cast<LONG>(fresh),
                                                    static_cast<LONG>(TLS_OUT_OF_INDEXES));
    if (earlier == static_cast<LONG>(TLS_OUT_OF_INDEXES)) return fresh;
    TlsFree(fresh);  // another thread's slot was first
    return static_cast<DWORD>(earlier);
}

bool claim(AnswerRecord& record) { return InterlockedCompareExchange(&record.taken, 1, 0) == 0; }

AnswerRecord* allocateRecord()
{
    auto* record = static_cast<AnswerRecord*>(std::calloc(1, sizeof(AnswerRecord)));
    if (!record) return nullptr;
    record->taken = 1;
    AnswerRecord* newest;
    do {
        newest = allocatedRecords;
        record->next = newest;
    } while (InterlockedCompareExchangePointer(reinterpret_cast<PVOID volatile*>(&allocatedRecords), record, newest) !=
             newest);
    return record;
}

AnswerRecord* takeRecord()
{
    for (AnswerRecord& record : pooledRecords)
        if (claim(record)) return &record;
    for (AnswerRecord* record = allocatedRecords; record; record = record->next)
        if (claim(*record)) return record;
    return allocateRecord();
}

AnswerRecord* ownRecord()
{
    const DWORD slot = takeTlsSlot();
    if (slot == TLS_OUT_OF_INDEXES) return nullptr;
    if (auto* record = static_cast<AnswerRecord*>(TlsGetValue(slot))) return record;
    AnswerRecord* record = takeRecord();
    if (record && !TlsSetValue(slot, record)) {
        InterlockedExchange(&record->taken, 0);
        return nullptr;
    }
    return record;
}

}  // namespace

ProcessMemberInfo* threadAnswerRecord()
{
    // TlsGetValue clears the thread's last error; the host's stays as it was.
    const DWORD hostError = GetLastError();
    AnswerRecord* record = ownRecord();
    SetLastError(hostError);
    return record ? &record->info : &sharedRecord;
}

void returnThreadAnswerRecord()
{
    const auto slot = static_cast<DWORD>(tlsSlot);
    if (slot == TLS_OUT_OF_INDEXES) return;
    auto* record = static_cast<AnswerRecord*>(TlsGetValue(slot));
    if (!record) return;
    TlsSetValue(slot, nullptr);
    InterlockedExchange(&record->taken, 0);
}

void releaseAnswerRecords()
{
    AnswerRecord* record = allocatedRecords;
    allocatedRecords = nullptr;
    while (record) {
        AnswerRecord* next = record->next;
        std::free(record);
        record = next;
    }
    const auto slot = static_cast<DWORD>(InterlockedExchange(&tlsSlot, static_cast<LONG>(TLS_OUT_OF_INDEXES)));
    if (slot != TLS_OUT_OF_INDEXES) TlsFree(slot);
}

AnswerRecordCount countAnswerRecords()
{
    AnswerRecordCount count{0, 0};
    for (const AnswerRecord& record : pooledRecords) count.inUse += record.taken;
    for (const AnswerRecord* record = allocatedRecords; record; record = record->next) {
        count.inUse += record->taken;
        ++count.allocated;
    }
    return count;
}

#else

ProcessMemberInfo* threadAnswerRecord()
{
    thread_local ProcessMemberInfo record;
    return &record;
}

#endif

}  // namespace sep
