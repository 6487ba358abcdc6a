// The answer record to GetProcessMember, one per thread: a thread reads back
// only what its own request wrote, whatever other threads ask meanwhile.
#pragma once

#include "boundary.h"

namespace sep {

// The calling thread's record; the same address on every call from that
// thread, valid until the thread ends (on Windows its memory stays the
// library's until unload, so an answer never dangles). Where no record of its
// own can be had, one record shared library-wide.
ProcessMemberInfo* threadAnswerRecord();

#if defined(_WIN32)
// For the entry notification: a thread that ends hands its record back for
// another to take; unloading releases every record and the TLS slot.
void returnThreadAnswerRecord();
void releaseAnswerRecords();

// How many records threads hold now, and how many were allocated beyond the
// static pool (kept until unload). For tests only.
struct AnswerRecordCount {
    int32_t inUse;
    int32_t allocated;
};
AnswerRecordCount countAnswerRecords();
#endif

}  // namespace sep
