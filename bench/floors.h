// The floors the module's process entry is measured against: the least work
// any implementation of each case must do, compiled with the module's flags.
// They live in their own translation unit so that no caller can see through
// them and drop their stores.
#pragma once

#include <cstdint>

namespace bench {

// The map's state as the continuous floor carries it from block to block.
struct RecurrenceState {
    float x = 0.0f;
    float y = 0.0f;
    bool running = true;
};

// The bare serial recurrence: the module's double arithmetic, its guard and
// the two output stores, one sample after the other; nothing else.
void recurrenceFloor(RecurrenceState& state, const float* a, const float* b, float* xOut, float* yOut, int32_t count);

// The least memory traffic of a gated block: Gate and Reset read, x and y
// written, four samples at a time. `count` is a multiple of four.
void copyFloor(const float* gate, const float* reset, float* xOut, float* yOut, int32_t count);

}  // namespace bench
