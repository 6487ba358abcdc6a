// The held pair written over a run of samples up to the next Gate or Reset
// edge, a window of SSE2 compares at a time: most of a gated or stopped
// module's samples go here. A header, included by map_module.cpp alone, so
// that its helpers inline into the process functions (the build has no
// link-time optimisation); with internal linkage, as the module's own helpers.
#pragma once

#include <algorithm>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "map_module.h"
#include "map_rules.h"

namespace tessel {

namespace {

using Buffers = MapModule::Buffers;

// Whether the Gate and Reset samples before the current one were positive.
struct EdgeLevels {
    bool gate;
    bool reset;
};

// A pair as the outputs hold it.
struct HeldPair {
    float x;
    float y;
};

// Writes a pair to both outputs at sample i.
[[gnu::always_inline]] inline void writePair(const Buffers& io, int32_t i, HeldPair pair)
{
    io.xOut[i] = pair.x;
    io.yOut[i] = pair.y;
}

// The held pair written from `from` on, sample by sample, up to the first
// sample at which Reset rises, or Gate rises when `gateMatters`; returns that
// sample, or `end`. `up` holds the levels before `from`, and on return those
// before the returned sample.
[[gnu::always_inline]] inline int32_t holdSampleBySample(const Buffers& io, int32_t from, int32_t end, bool gateMatters,
                                                         EdgeLevels& up, HeldPair held)
{
    for (int32_t i = from; i < end; ++i) {
        if ((gateMatters && rises(io.gateIn[i], up.gate)) || rises(io.resetIn[i], up.reset)) return i;
        up = {isHigh(io.gateIn[i]), isHigh(io.resetIn[i])};
        writePair(io, i, held);
    }
    return end;
}

#if defined(__SSE2__)
constexpr int32_t kLanes = 4;                  // samples per SSE2 compare
constexpr int32_t kWindow = 2 * kLanes;        // samples the held runs judge at once
constexpr int kAllLanes = (1 << kWindow) - 1;  // a window's mask with every lane set

// The held pair in every lane.
struct HeldLanes {
    __m128 x;
    __m128 y;
};

// Writes the held pair over the window from sample i.
[[gnu::always_inline]] inline void holdWindow(const Buffers& io, int32_t i, HeldLanes held)
{
    _mm_storeu_ps(io.xOut + i, held.x);
    _mm_storeu_ps(io.xOut + i + kLanes, held.x);
    _mm_storeu_ps(io.yOut + i, held.y);
    _mm_storeu_ps(io.yOut + i + kLanes, held.y);
}

// Both inputs low, as in an idle patch: holds window after window while
// neither input has a positive sample; returns the first window that has
// one, or the first that does not fit before `end`. max keeps its second
// operand for NaN, so `high` stays +0 where neither input is positive.
[[gnu::always_inline]] inline int32_t holdWhileLow(const Buffers& io, int32_t i, int32_t end, HeldLanes held)
{
    const __m128 zero = _mm_setzero_ps();
    for (; i + kWindow <= end; i += kWindow) {
        __m128 high = _mm_max_ps(_mm_loadu_ps(io.gateIn + i), zero);
        high = _mm_max_ps(_mm_loadu_ps(io.gateIn + i + kLanes), high);
        high = _mm_max_ps(_mm_loadu_ps(io.resetIn + i), high);
        high = _mm_max_ps(_mm_loadu_ps(io.resetIn + i + kLanes), high);
        if (_mm_movemask_ps(_mm_cmpgt_ps(high, zero)) != 0) break;
        holdWindow(io, i, held);
    }
    return i;
}

// An input held high: holds window after window while every sample of both
// inputs is on the side of zero its level `up` says (compares give all ones
// where positive); returns the first window with a change, or the first that
// does not fit before `end`.
[[gnu::always_inline]] inline int32_t holdWhileSteady(const Buffers& io, int32_t i, int32_t end, EdgeLevels up,
                                                      HeldLanes held)
{
    const __m128 zero = _mm_setzero_ps();
    const __m128 gateLevel = _mm_castsi128_ps(_mm_set1_epi32(-int32_t{up.gate}));
    const __m128 resetLevel = _mm_castsi128_ps(_mm_set1_epi32(-int32_t{up.reset}));
    const auto changes = [&](const float* signal, __m128 level) {
        return _mm_or_ps(_mm_xor_ps(_mm_cmpgt_ps(_mm_loadu_ps(signal + i), zero), level),
                         _mm_xor_ps(_mm_cmpgt_ps(_mm_loadu_ps(signal + i + kLanes), zero), level));
    };
    for (; i + kWindow <= end; i += kWindow) {
        const __m128 changed = _mm_or_ps(changes(io.gateIn, gateLevel), changes(io.resetIn, resetLevel));
        if (_mm_movemask_ps(changed) != 0) break;
        holdWindow(io, i, held);
    }
    return i;
}

// Bit k: sample i + k of `signal` is positive.
[[gnu::always_inline]] inline int positiveLanes(const float* signal, int32_t i)
{
    const __m128 zero = _mm_setzero_ps();
    return _mm_movemask_ps(_mm_cmpgt_ps(_mm_loadu_ps(signal + i), zero)) |
           _mm_movemask_ps(_mm_cmpgt_ps(_mm_loadu_ps(signal + i + kLanes), zero)) << kLanes;
}

// The lane of the first edge that counts in the window from sample i, or
// kWindow for none; `up` becomes the levels before that lane, or those after
// the window. Bit k of a mask is lane k's level, of a "before" mask the level
// of the sample before lane k.
[[gnu::always_inline]] inline int firstEdgeLane(const Buffers& io, int32_t i, int gateLanes, EdgeLevels& up)
{
    const int gateMask = positiveLanes(io.gateIn, i);
    const int resetMask = positiveLanes(io.resetIn, i);
    const int gateBefore = gateMask << 1 | up.gate;
    const int resetBefore = resetMask << 1 | up.reset;
    const int rising = (gateMask & ~gateBefore & gateLanes) | (resetMask & ~resetBefore);
    if (rising == 0) {
        up = {(gateMask >> (kWindow - 1)) != 0, (resetMask >> (kWindow - 1)) != 0};
        return kWindow;
    }
    const int lane = __builtin_ctz(rising);
    up = {((gateBefore >> lane) & 1) != 0, ((resetBefore >> lane) & 1) != 0};
    return lane;
}

// The held pair written from `from` on, up to the first sample at which Reset
// rises, or Gate rises when `gateMatters`; returns that sample, or `end`.
// `levels` holds the levels before `from`, and on return those before the
// returned sample. Every input sample is read before the output sample of the
// same index is written. Quiet stretches go a window at a time, every sample
// on the same side of zero as the one before it; the window that ends one
// goes by the rule, lane by lane. Not inlined: a call per run of held
// samples, and registers of its own.
[[gnu::noinline]] int32_t holdUntilEdge(const Buffers& pins, int32_t from, int32_t end, bool gateMatters,
                                        EdgeLevels& levels, HeldPair held)
{
    // Copies, so that the pointers and levels stay in registers: the vector
    // stores may alias anything.
    const Buffers io = pins;
    EdgeLevels up = levels;
    const HeldLanes lanes{_mm_set1_ps(held.x), _mm_set1_ps(held.y)};
    const int gateLanes = gateMatters ? kAllLanes : 0;
    // Sample by sample up to where the outputs' windows lie whole within
    // cache lines: a run that starts just after an edge would otherwise
    // split every fourth load and store across two.
    const auto misaligned = static_cast<int32_t>(reinterpret_cast<uintptr_t>(io.xOut + from) / sizeof(float) % kLanes);
    const int32_t aligned = std::min(end, from + (kLanes - misaligned) % kLanes);
    int32_t i = holdSampleBySample(io, from, aligned, gateMatters, up, held);
    if (i < aligned) {
        levels = up;
        return i;
    }
    int lane = kWindow;
    while (i + kWindow <= end) {
        i = !up.gate && !up.reset ? holdWhileLow(io, i, end, lanes) : holdWhileSteady(io, i, end, up, lanes);
        if (i + kWindow > end) break;
        lane = firstEdgeLane(io, i, gateLanes, up);
        if (lane < kWindow) break;
        holdWindow(io, i, lanes);
        i += kWindow;
    }
    if (lane < kWindow) {
        for (int k = 0; k < lane; ++k) writePair(io, i + k, held);
        i += lane;
    } else {
        // fewer samples left than a window
        i = holdSampleBySample(io, i, end, gateMatters, up, held);
    }
    levels = up;
    return i;
}
#else
// The same without SSE2: sample by sample, as the SSE2 version ends its run.
[[gnu::noinline]] int32_t holdUntilEdge(const Buffers& io, int32_t from, int32_t end, bool gateMatters, EdgeLevels& up,
                                        HeldPair held)
{
    return holdSampleBySample(io, from, end, gateMatters, up, held);
}
#endif

}  // namespace

}  // namespace tessel
