// Random input signals for the fast path's tests: runs of held levels with
// edges at every position, and every kind of sample a host may send.
#pragma once

#include <cstdint>
#include <limits>
#include <random>

#include "test_support.h"

namespace fastpath_testing {

using testing_support::floatFromBits;

// Random signals made of runs, so that both long quiet stretches and edges
// at every position occur.
class SignalMaker {
public:
    explicit SignalMaker(uint32_t seed) : random(seed) {}

    int below(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(random); }
    bool chance(int percent) { return below(100) < percent; }
    float uniform(float low, float high) { return std::uniform_real_distribution<float>(low, high)(random); }

    // A Gate or Reset sample of some kind: the edge rule's corner cases.
    float edgeSample()
    {
        switch (below(10)) {
        case 0: return 0.0f;
        case 1: return -0.0f;
        case 2: return nan();
        case 3: return floatFromBits(1 + below(0x7FFFFF));   // positive subnormal
        case 4: return -floatFromBits(1 + below(0x7FFFFF));  // negative subnormal
        case 5: return std::numeric_limits<float>::infinity();
        case 6: return -uniform(0.0f, 1.0f);
        case 7: return uniform(0.01f, 1.0f);
        case 8: return -std::numeric_limits<float>::infinity();
        default: return 1.0f;
        }
    }

    float nan() { return floatFromBits((chance(50) ? 0xFF800000u : 0x7F800000u) | (1 + below(0x7FFFFF))); }

    void fillEdgeSignal(std::vector<float>& signal)
    {
        const int style = below(4);
        size_t n = 0;
        while (n < signal.size()) {
            const size_t run = style == 0 ? 1 : 1 + below(style == 3 ? 60 : 12);
            const float value = style == 3 && chance(80) ? (chance(50) ? 0.0f : 1.0f) : edgeSample();
            for (size_t k = 0; k < run && n < signal.size(); ++k) signal[n++] = value;
        }
    }

    // Initial values: mostly inside the map's range, sometimes anything.
    float initialValue()
    {
        switch (below(12)) {
        case 0: return nan();
        case 1: return uniform(-1.0f, 1.0f);  // beyond the bounds: the next step trips
        case 2: return -0.0f;
        case 3: return floatFromBits(below(0x800000));
        default: return uniform(-0.15f, 0.15f);
        }
    }

    // a and b: usual, wandering, or tripping the guard.
    void fillConstant(std::vector<float>& signal, float usual, float wide)
    {
        const int style = below(6);
        for (float& v : signal) {
            switch (style) {
            case 0: v = uniform(-wide, wide); break;  // trips the guard often
            case 1: v = chance(3) ? nan() : usual; break;
            case 2: v = usual * uniform(0.9f, 1.1f); break;
            default: v = usual; break;
            }
        }
    }

    void fillInitial(std::vector<float>& signal)
    {
        const bool constant = chance(50);
        const float value = initialValue();
        for (float& v : signal) v = constant ? value : initialValue();
    }

    void fillPattern(std::vector<float>& signal)
    {
        const float pattern = nan();
        std::fill(signal.begin(), signal.end(), pattern);
    }

    std::mt19937 random;
};

}  // namespace fastpath_testing
