// What every action of the fuzzer's script shares: the instances it drives,
// how it reads numbers from the input, and how it stops on a broken promise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include <fuzzer/FuzzedDataProvider.h>

#include "framework/boundary.h"
#include "generator/map_pins.h"
#include "host/emulator/hosted_module.h"

extern "C" sep::ModuleRecord* SEP_CALL makeModule(int32_t index, int32_t kind, sep::HostCallback callback,
                                                  int32_t hostHandle);
extern "C" int32_t SEP_CALL getModuleProperties(int32_t index, sep::ModuleProperties* properties);

namespace fuzz {

// A broken promise to the host: stop here so libFuzzer keeps the input.
#define REQUIRE(condition)    \
    do {                      \
        if (!(condition)) {   \
            __builtin_trap(); \
        }                     \
    } while (false)

// A row of a table of {..., weight} rows, each picked as often as its
// weight says against the others.
template <typename Row, size_t N>
const Row& consumeWeighted(FuzzedDataProvider& input, const Row (&rows)[N])
{
    int total = 0;
    for (const Row& row : rows) total += row.weight;
    int pick = input.ConsumeIntegralInRange<int>(0, total - 1);
    for (const Row& row : rows) {
        if (pick < row.weight) return row;
        pick -= row.weight;
    }
    return rows[N - 1];
}

constexpr int kSlots = 4;
constexpr int32_t kMaxBufferLength = 512;
constexpr int32_t kDeclaredPins = tessel::MapPinCount;

struct Slot {
    std::unique_ptr<host::HostedModule> host;
    sep::ModuleRecord shape{};  // the record as made; only `process` may change
    bool withCallback = false;
    int32_t bufferLength = 0;   // 0: not connected, so the pin variables are null
    bool bufferNulled = false;  // the host has cleared one of the eight buffer variables
};

// A sample: often one of the floats that break arithmetic, else any bits.
float consumeSample(FuzzedDataProvider& input);
// A pin index: mostly near the declared ones, sometimes anything.
int32_t consumeIndex(FuzzedDataProvider& input);
// A pin status: mostly a real one, sometimes anything.
int32_t consumeStatus(FuzzedDataProvider& input);

// The record as made, but for a process function that may change.
void checkRecord(const Slot& slot);

// The host's actions, each reading what it needs from the input.
void askProperties(Slot& slot, FuzzedDataProvider& input);
void create(Slot& slot, FuzzedDataProvider& input);
void connect(Slot& slot, FuzzedDataProvider& input);
void writeInputs(Slot& slot, FuzzedDataProvider& input);
void writeList(Slot& slot, FuzzedDataProvider& input);
void nullBuffer(Slot& slot, FuzzedDataProvider& input);
void dispatch(Slot& slot, FuzzedDataProvider& input);
void sendEvent(Slot& slot, FuzzedDataProvider& input);
void process(Slot& slot, FuzzedDataProvider& input);
void closeInstance(Slot& slot, FuzzedDataProvider& input);

}  // namespace fuzz
