// The generator's rule written out plainly, one sample after the other: what
// the module's shortcuts through held runs and continuous iteration must
// match bit for bit. Written from the rules, not from the module's code.
#pragma once

#include <cstdint>

namespace fastpath_testing {

// The generator, one sample after the other, as the rules state it.
struct ReferenceMap {
    float heldX = 0.0f, heldY = 0.0f;
    float stateX = 0.0f, stateY = 0.0f;
    float prevGate = 0.0f, prevReset = 0.0f;
    bool loadInitial = true;
    bool running = true;

    struct Buffers {
        const float* gate;
        const float* reset;
        const float* x0;
        const float* y0;
        const float* a;
        const float* b;
        float* x;
        float* y;
    };

    void process(const Buffers& in, int16_t mode, int16_t normalize, int32_t offset, int32_t count)
    {
        if (count <= 0) return;
        if (loadInitial) {
            stateX = heldX = in.x0[offset];
            stateY = heldY = in.y0[offset];
            loadInitial = false;
        }
        for (int32_t n = offset; n < offset + count; ++n) {
            const float g = in.gate[n];
            const float r = in.reset[n];
            const bool gateRose = g > 0.0f && !(prevGate > 0.0f);
            const bool iterate = running && (mode == 0 || (mode == 1 && gateRose));
            if (iterate) {
                const double x = stateX, y = stateY;
                float nextX = static_cast<float>((y + double{0.1f}) - ((x * x) * double{in.a[n]}) * double{100.0f});
                float nextY = static_cast<float>((x * double{in.b[n]}) * double{10.0f});
                if (!(nextX > -0.2f && nextX < 0.2f && nextY > -0.2f && nextY < 0.2f)) {
                    nextX = nextY = 0.0f;
                    running = false;
                }
                stateX = heldX = nextX;
                stateY = heldY = nextY;
                if (normalize == 1) {
                    heldX = nextX * 3.33f;
                    heldY = nextY * 3.33f;
                }
            }
            if (r > 0.0f && !(prevReset > 0.0f)) {
                stateX = heldX = in.x0[n];
                stateY = heldY = in.y0[n];
                running = true;
            }
            prevGate = g;
            prevReset = r;
            in.x[n] = heldX;
            in.y[n] = heldY;
        }
    }
};

}  // namespace fastpath_testing
