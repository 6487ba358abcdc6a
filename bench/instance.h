// What every benchmark case and set-up check drives: an opened instance of
// the built library with its pins on block-sized buffers that the host reuses
// on every call, so they stay in cache, and the recurrence floor's own
// buffers, filled alike.
#pragma once

#include <bit>
#include <cstdint>
#include <vector>

#include "bench/floors.h"
#include "generator/map_pins.h"
#include "host/emulator/hosted_module.h"
#include "tests/test_support.h"

namespace bench {

constexpr int32_t kBlock = 1024;
constexpr int32_t kPiece = 8;
constexpr float kUsualA = std::bit_cast<float>(testing_support::kUsualA);
constexpr float kUsualB = std::bit_cast<float>(testing_support::kUsualB);
// A normal float b this small makes every y = 10·b·x (|x| <= 0.1) subnormal.
constexpr float kTinyB = 1e-38f;

// One opened instance, Normalize off, a and b constant. The process entry is
// called straight through the record, as a host calls it.
struct Instance {
    host::HostedModule host;
    sep::ModuleRecord* record;

    explicit Instance(int16_t mode, float b = kUsualB)
    {
        testing_support::connectUsual(host, mode, kBlock);
        host.fill(tessel::BPin, b);
        host.open();
        record = host.getRecord();
    }
    float* buffer(tessel::MapPin pin) { return host.buffer(pin); }
    void block() { record->process(record->module, 0, kBlock); }
    void pieces()
    {
        for (int32_t offset = 0; offset < kBlock; offset += kPiece) record->process(record->module, offset, kPiece);
    }
};

// The recurrence floor's own buffers, filled like the instance's.
struct RecurrenceBuffers {
    std::vector<float> a = std::vector<float>(kBlock, kUsualA);
    std::vector<float> b;
    std::vector<float> x = std::vector<float>(kBlock);
    std::vector<float> y = std::vector<float>(kBlock);
    RecurrenceState state;

    explicit RecurrenceBuffers(float bValue) : b(kBlock, bValue) {}
    void block() { recurrenceFloor(state, a.data(), b.data(), x.data(), y.data(), kBlock); }
};

}  // namespace bench
