#include "floors.h"

#include <algorithm>

#include <emmintrin.h>

#include "generator/map_step.h"

namespace bench {

void recurrenceFloor(RecurrenceState& state, const float* a, const float* b, float* xOut, float* yOut, int32_t count)
{
    float x = state.x, y = state.y;
    int32_t i = 0;
    if (state.running) {
        for (; i < count; ++i) {
            float nextX, nextY;
            if (!tessel::mapStep(x, y, a[i], b[i], nextX, nextY)) break;
            x = nextX;
            y = nextY;
            xOut[i] = x;
            yOut[i] = y;
        }
        if (i < count) {
            x = y = 0.0f;
            state.running = false;
        }
    }
    // A stopped map only holds; never reached in the measured cases.
    std::fill(xOut + i, xOut + count, x);
    std::fill(yOut + i, yOut + count, y);
    state.x = x;
    state.y = y;
}

void copyFloor(const float* gate, const float* reset, float* xOut, float* yOut, int32_t count)
{
    for (int32_t i = 0; i < count; i += 4) {
        _mm_storeu_ps(xOut + i, _mm_loadu_ps(gate + i));
        _mm_storeu_ps(yOut + i, _mm_loadu_ps(reset + i));
    }
}

}  // namespace bench
