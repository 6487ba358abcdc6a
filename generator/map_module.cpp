#include "map_module.h"

#include <algorithm>
#include <limits>

#include <emmintrin.h>

namespace tessel {

using namespace sep;

namespace {

const char kName[] = "Tessel Map";
const char kIdentifier[] = "ZQ Tessel Map2";
// "v1.2" belongs to the module's identity, like the identifier, and is not the
// release version (CMakeLists.txt): a new release leaves this text as it is.
const char kAbout[] =
    "Tessel Map v1.2\n"
    "By the Tessel Map developers\n"
    "Questions and reports: the Tessel Map project page\n"
    "\n"
    "Equation:\n"
    "\tx(n+1)=1+y(n)-a*[x(n)]^2\n"
    "\ty(n+1)=b*x(n)\n"
    "\n"
    "Quick Help:\n"
    "Gate - Does one iteration per positive zero crossing\n"
    "Reset - Restart iteration at x0, y0\n"
    "x0 - initial x\n"
    "y0 - initial y\n"
    "a - constant (usually 1.4)\n"
    "b - constant (usually 0.3)\n"
    "Mode -\n"
    "\t'Continuous' iterates at sample rate\n"
    "\t'Gated' iterates upon gate signal\n"
    "Normalize -\n"
    "\tIf 'On', amplifies output to around +5V/-5V\n"
    "\tNote: 'y' is usually less than 'x'";

// Signal path constants, in the signal scale (1.0 = 10 V). They are floats on
// purpose: the arithmetic widens them exactly, so 0.1 is the float nearest 0.1.
constexpr float kConstantTerm = 0.1f;     // the map's "1", i.e. 1 V
constexpr float kQuadraticFactor = 100.0f;
constexpr float kYFactor = 10.0f;
constexpr float kUpperBound = 0.2f;       // 2 V: a step reaching it stops the map
constexpr float kLowerBound = -0.2f;
constexpr float kNormalizeGain = 3.33f;   // about +-5 V out of the attractor's range
constexpr float kEdgeThreshold = 0.0f;

}  // namespace

struct MapModule::PinDeclaration {
    const char* name;
    int32_t direction;
    int32_t dataType;
    const char* defaultText;  // null: not written
    const char* rangeText;    // null: not written
    void* (*variable)(MapModule&);
};

constexpr int32_t kSettingDirection = 3;  // how the host files the Normalize switch

const MapModule::PinDeclaration MapModule::pinDeclarations[MapPinCount] = {
    {"Gate", Input, Audio, "0", nullptr, [](MapModule& m) -> void* { return &m.gateIn; }},
    {"Reset", Input, Audio, "0", nullptr, [](MapModule& m) -> void* { return &m.resetIn; }},
    {"x0", Input, Audio, "0", "2,-2,2,-2", [](MapModule& m) -> void* { return &m.x0In; }},
    {"y0", Input, Audio, "0", "2,-2,2,-2", [](MapModule& m) -> void* { return &m.y0In; }},
    {"a", Input, Audio, "1.4", "4,-1,4,-1", [](MapModule& m) -> void* { return &m.aIn; }},
    {"b", Input, Audio, "0.3", "1,-1,1,-1", [](MapModule& m) -> void* { return &m.bIn; }},
    {"x", Output, Audio, nullptr, nullptr, [](MapModule& m) -> void* { return &m.xOut; }},
    {"y", Output, Audio, nullptr, nullptr, [](MapModule& m) -> void* { return &m.yOut; }},
    {"Mode", Input, Enum, "0", "Continuous,Gated", [](MapModule& m) -> void* { return &m.mode; }},
    {"Normalize", kSettingDirection, Enum, "1", "Off,On",
     [](MapModule& m) -> void* { return &m.normalize; }},
};

MapModule::MapModule(HostCallback callback, int32_t hostHandle) : ModuleBase(callback, hostHandle) {}

bool MapModule::fillModuleTexts(ModuleProperties* properties)
{
    properties->name = kName;
    properties->identifier = kIdentifier;
    properties->about = kAbout;
    return true;
}

bool MapModule::getPinProperties(int32_t index, PinProperties* properties)
{
    if (static_cast<uint32_t>(index) >= MapPinCount) return false;
    const PinDeclaration& row = pinDeclarations[index];
    properties->variable = row.variable(*this);
    properties->direction = row.direction;
    properties->dataType = row.dataType;
    properties->name = row.name;
    if (row.defaultText) properties->defaultText = row.defaultText;
    if (row.rangeText) properties->rangeText = row.rangeText;
    return true;
}

// --- activity -----------------------------------------------------------

void MapModule::open()
{
    ModuleBase::open();
    setProcess(&MapModule::processMap);
    loadInitial = true;
    running = true;
    prevReset = 0.0f;
    prevGate = 0.0f;
    setOutputStatus(XPin, getSampleClock(), Streaming);
    setOutputStatus(YPin, getSampleClock(), Streaming);
}

void MapModule::onPlugStateChange(Pin*)
{
    const int32_t x0Status = pinStatus(X0Pin);
    const int32_t y0Status = pinStatus(Y0Pin);
    const int32_t aStatus = pinStatus(APin);
    const int32_t bStatus = pinStatus(BPin);

    int32_t outputStatus = Streaming;
    if (mode == Gated) {
        outputStatus = pinStatus(GatePin);
        if (pinStatus(ResetPin) > outputStatus) outputStatus = Streaming;
    }

    // A streaming initial value or constant restarts the map from x0 and y0.
    if (std::max({aStatus, bStatus, x0Status, y0Status}) > Transient) {
        loadInitial = true;
        running = true;
    }

    setOutputStatus(XPin, getSampleClock(), outputStatus);
    setOutputStatus(YPin, getSampleClock(), outputStatus);

    if (outputStatus >= Streaming) {
        setProcess(&MapModule::processMap);
    } else {
        countdown = getBlockSize();
        setProcess(&MapModule::processCountdown);
    }
}

void SEP_ENTRY MapModule::processCountdown(void* module, int32_t offset, int32_t count)
{
    if (!module) return;
    auto& m = *static_cast<MapModule*>(module);
    generate(m, offset, count);
    const int64_t left = int64_t{m.countdown} - count;
    m.countdown = static_cast<int32_t>(std::clamp<int64_t>(
        left, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
    if (m.countdown > 0) return;
    m.callHost(RequestSleep, 0, 0, nullptr, 0.0f);
}

// --- generator ----------------------------------------------------------

namespace {

constexpr int32_t kLanes = 4;                // samples per SSE2 compare
constexpr int kAllLanes = (1 << kLanes) - 1;  // a movemask with every lane set

inline bool positive(float sample) { return sample > kEdgeThreshold; }  // false for NaN

// One step of the map: double arithmetic in the stated grouping, one rounding
// to float per value. False when the guard stops the map.
[[gnu::always_inline]] inline bool mapStep(float stateX, float stateY, float a, float b,
                                           float& nextX, float& nextY)
{
    const double x = stateX, y = stateY;
    nextX = static_cast<float>((y + double{kConstantTerm}) -
                               ((x * x) * double{a}) * double{kQuadraticFactor});
    nextY = static_cast<float>((x * double{b}) * double{kYFactor});
    return nextX > kLowerBound && nextX < kUpperBound && nextY > kLowerBound &&
           nextY < kUpperBound;
}

// The held pair written from `from` on, up to the first sample at which Reset
// rises, or Gate rises when `gateMatters`; returns that sample, or `count`.
// gateUp and resetUp say whether the sample before `from` was positive, and
// on return whether the sample before the returned one was. Every input
// sample is read before the output sample of the same index is written.
// Not inlined: a call per run of held samples, and registers of its own.
[[gnu::noinline]] int32_t holdUntilEdge(const float* gate, const float* reset, int32_t from,
                                        int32_t count, bool gateMatters, bool& gateUp,
                                        bool& resetUp, float heldX, float heldY, float* xOut,
                                        float* yOut)
{
    const __m128 zero = _mm_setzero_ps();
    const __m128 holdX = _mm_set1_ps(heldX), holdY = _mm_set1_ps(heldY);
    const int gateLanes = gateMatters ? kAllLanes : 0;

    int32_t i = from;
    while (i + kLanes <= count) {
        // quiet stretches, two groups at a time: every sample on the same
        // side of zero as the one before it
        if (!gateUp && !resetUp) {
            // both low, as in an idle patch: only a positive sample ends the
            // stretch. max keeps its second operand for NaN, so `high` stays
            // +0 where neither input is positive.
            for (; i + 2 * kLanes <= count; i += 2 * kLanes) {
                __m128 high = _mm_max_ps(_mm_loadu_ps(gate + i), zero);
                high = _mm_max_ps(_mm_loadu_ps(gate + i + kLanes), high);
                high = _mm_max_ps(_mm_loadu_ps(reset + i), high);
                high = _mm_max_ps(_mm_loadu_ps(reset + i + kLanes), high);
                if (_mm_movemask_ps(_mm_cmpgt_ps(high, zero)) != 0) break;
                _mm_storeu_ps(xOut + i, holdX);
                _mm_storeu_ps(xOut + i + kLanes, holdX);
                _mm_storeu_ps(yOut + i, holdY);
                _mm_storeu_ps(yOut + i + kLanes, holdY);
            }
        } else {
            // an input held high: compares (all ones where positive) against the levels
            const __m128 gateLevel = _mm_castsi128_ps(_mm_set1_epi32(-int32_t{gateUp}));
            const __m128 resetLevel = _mm_castsi128_ps(_mm_set1_epi32(-int32_t{resetUp}));
            const auto changes = [&](const float* signal, __m128 level) {
                return _mm_or_ps(
                    _mm_xor_ps(_mm_cmpgt_ps(_mm_loadu_ps(signal + i), zero), level),
                    _mm_xor_ps(_mm_cmpgt_ps(_mm_loadu_ps(signal + i + kLanes), zero), level));
            };
            for (; i + 2 * kLanes <= count; i += 2 * kLanes) {
                const __m128 changed =
                    _mm_or_ps(changes(gate, gateLevel), changes(reset, resetLevel));
                if (_mm_movemask_ps(changed) != 0) break;
                _mm_storeu_ps(xOut + i, holdX);
                _mm_storeu_ps(xOut + i + kLanes, holdX);
                _mm_storeu_ps(yOut + i, holdY);
                _mm_storeu_ps(yOut + i + kLanes, holdY);
            }
        }
        if (i + kLanes > count) break;
        // one group by the rule: bit k of a mask is lane k's level, of a
        // "before" mask the level of the sample before lane k
        const int gateMask = _mm_movemask_ps(_mm_cmpgt_ps(_mm_loadu_ps(gate + i), zero));
        const int resetMask = _mm_movemask_ps(_mm_cmpgt_ps(_mm_loadu_ps(reset + i), zero));
        const int gateBefore = gateMask << 1 | gateUp;
        const int resetBefore = resetMask << 1 | resetUp;
        const int rises = (gateMask & ~gateBefore & gateLanes) | (resetMask & ~resetBefore);
        if (rises != 0) {
            const int lane = __builtin_ctz(rises);
            for (int k = 0; k < lane; ++k) {
                xOut[i + k] = heldX;
                yOut[i + k] = heldY;
            }
            gateUp = (gateBefore >> lane) & 1;
            resetUp = (resetBefore >> lane) & 1;
            return i + lane;
        }
        gateUp = gateMask >> (kLanes - 1);
        resetUp = resetMask >> (kLanes - 1);
        _mm_storeu_ps(xOut + i, holdX);
        _mm_storeu_ps(yOut + i, holdY);
        i += kLanes;
    }
    // fewer samples left than a group
    for (; i < count; ++i) {
        const bool gateHigh = positive(gate[i]), resetHigh = positive(reset[i]);
        if ((gateMatters && gateHigh && !gateUp) || (resetHigh && !resetUp)) return i;
        gateUp = gateHigh;
        resetUp = resetHigh;
        xOut[i] = heldX;
        yOut[i] = heldY;
    }
    return count;
}

}  // namespace

void SEP_ENTRY MapModule::processMap(void* module, int32_t offset, int32_t count)
{
    if (!module) return;
    generate(*static_cast<MapModule*>(module), offset, count);
}

void MapModule::generate(MapModule& m, int32_t offset, int32_t count)
{
    if (count <= 0) return;
    if (!m.gateIn || !m.resetIn || !m.x0In || !m.y0In || !m.aIn || !m.bIn || !m.xOut || !m.yOut)
        return;

    const float* gate = m.gateIn + offset;
    const float* reset = m.resetIn + offset;
    const float* x0 = m.x0In + offset;
    const float* y0 = m.y0In + offset;
    const float* a = m.aIn + offset;
    const float* b = m.bIn + offset;
    float* xOut = m.xOut + offset;
    float* yOut = m.yOut + offset;

    if (m.loadInitial) {
        m.stateX = m.heldX = x0[0];
        m.stateY = m.heldY = y0[0];
        m.loadInitial = false;
    }

    // The edge memories end as the last samples, exactly; read before any
    // output is written, in case the host hands out a buffer twice.
    const float lastGate = gate[count - 1];
    const float lastReset = reset[count - 1];

    // The state lives in locals for the whole call: the output stores could
    // alias the object's fields and would force a reload on every sample.
    const int32_t mode = m.mode;
    const bool normalizeOn = m.normalize == 1;
    float heldX = m.heldX, heldY = m.heldY;
    float stateX = m.stateX, stateY = m.stateY;
    bool running = m.running;
    bool gateUp = positive(m.prevGate);  // the sample before i was positive
    bool resetUp = positive(m.prevReset);

    int32_t i = 0;
    while (i < count) {
        if (running && mode == Continuous) {
            // continuous: every sample iterates, up to a Reset edge or a guard trip
            const int32_t first = i;
            for (; i < count; ++i) {
                const bool resetHigh = positive(reset[i]);
                if (resetHigh && !resetUp) break;
                float nextX, nextY;
                if (!mapStep(stateX, stateY, a[i], b[i], nextX, nextY)) break;
                resetUp = resetHigh;
                stateX = nextX;
                stateY = nextY;
                xOut[i] = normalizeOn ? nextX * kNormalizeGain : nextX;
                yOut[i] = normalizeOn ? nextY * kNormalizeGain : nextY;
            }
            if (i > first) {
                heldX = normalizeOn ? stateX * kNormalizeGain : stateX;
                heldY = normalizeOn ? stateY * kNormalizeGain : stateY;
            }
        } else {
            // holding: the outputs repeat until an edge that iterates or loads
            const bool gateMatters = running && mode == Gated;
            i = holdUntilEdge(gate, reset, i, count, gateMatters, gateUp, resetUp, heldX, heldY,
                              xOut, yOut);
        }
        if (i == count) break;

        // one sample by the full rule: an edge, or the sample that trips the guard
        const float g = gate[i];
        const float r = reset[i];
        const bool gateRose = positive(g) && !gateUp;
        if (running && (mode == Continuous || (mode == Gated && gateRose))) {
            float nextX, nextY;
            if (!mapStep(stateX, stateY, a[i], b[i], nextX, nextY)) {
                nextX = 0.0f;
                nextY = 0.0f;
                running = false;
            }
            stateX = heldX = nextX;
            stateY = heldY = nextY;
            if (normalizeOn) {
                heldX = nextX * kNormalizeGain;
                heldY = nextY * kNormalizeGain;
            }
        }
        // reset: overrides an iteration on the same sample
        if (positive(r) && !resetUp) {
            stateX = heldX = x0[i];
            stateY = heldY = y0[i];
            running = true;
        }
        gateUp = positive(g);
        resetUp = positive(r);
        xOut[i] = heldX;
        yOut[i] = heldY;
        ++i;
    }

    m.heldX = heldX;
    m.heldY = heldY;
    m.stateX = stateX;
    m.stateY = stateY;
    m.prevGate = lastGate;
    m.prevReset = lastReset;
    m.running = running;
}

}  // namespace tessel
