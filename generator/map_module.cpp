#include "map_module.h"

#include <algorithm>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "framework/float_mode.h"
#include "map_step.h"

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

// A Gate or Reset sample above this is high; NaN never is.
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
    {"Normalize", Setting, Enum, "1", "Off,On",
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
    count = std::max(count, 0);  // a negative count is a host error: no work, no time passed
    generate(m, offset, count);
    // Saturates at the bottom: once run out, the count never comes back above zero.
    m.countdown = static_cast<int32_t>(
        std::max<int64_t>(int64_t{m.countdown} - count, std::numeric_limits<int32_t>::min()));
    if (m.countdown > 0) return;
    m.callHost(RequestSleep, 0, 0, nullptr, 0.0f);
}

// --- generator ----------------------------------------------------------

namespace {

inline bool positive(float sample) { return sample > kEdgeThreshold; }  // false for NaN

// A rising crossing of zero: this sample is positive and the one before was not.
inline bool rises(float sample, bool wasUp) { return positive(sample) && !wasUp; }

// The eight pin buffers of one call, each already advanced to the call's offset.
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

// Whether the Gate and Reset samples before the current one were positive.
struct EdgeLevels {
    bool gate;
    bool reset;
};

// The pair the outputs show, normalised or not.
struct HeldPair {
    float x;
    float y;
};

inline HeldPair shown(float x, float y, bool normalizeOn)
{
    return normalizeOn ? HeldPair{x * kNormalizeGain, y * kNormalizeGain} : HeldPair{x, y};
}

#if defined(__SSE2__)
constexpr int32_t kLanes = 4;                  // samples per SSE2 compare
constexpr int32_t kWindow = 2 * kLanes;         // samples the held runs judge at once
constexpr int kAllLanes = (1 << kWindow) - 1;  // a window's mask with every lane set

// The held pair written from `from` on, up to the first sample at which Reset
// rises, or Gate rises when `gateMatters`; returns that sample, or `count`.
// `up` holds the levels before `from`, and on return those before the
// returned sample. Every input sample is read before the output sample of the
// same index is written. Not inlined: a call per run of held samples, and
// registers of its own.
[[gnu::noinline]] int32_t holdUntilEdge(const Buffers& io, int32_t from, int32_t count,
                                        bool gateMatters, EdgeLevels& up, HeldPair held)
{
    const float* gate = io.gate;
    const float* reset = io.reset;
    float* xOut = io.x;
    float* yOut = io.y;
    const __m128 zero = _mm_setzero_ps();
    const __m128 holdX = _mm_set1_ps(held.x), holdY = _mm_set1_ps(held.y);
    const int gateLanes = gateMatters ? kAllLanes : 0;

    // Bit k: sample i + k of `signal` is positive.
    const auto positiveLanes = [zero](const float* signal, int32_t i) {
        return _mm_movemask_ps(_mm_cmpgt_ps(_mm_loadu_ps(signal + i), zero)) |
               _mm_movemask_ps(_mm_cmpgt_ps(_mm_loadu_ps(signal + i + kLanes), zero)) << kLanes;
    };

    int32_t i = from;
    while (i + kWindow <= count) {
        // quiet stretches, a window at a time: every sample on the same side
        // of zero as the one before it
        if (!up.gate && !up.reset) {
            // both low, as in an idle patch: only a positive sample ends the
            // stretch. max keeps its second operand for NaN, so `high` stays
            // +0 where neither input is positive.
            for (; i + kWindow <= count; i += kWindow) {
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
            const __m128 gateLevel = _mm_castsi128_ps(_mm_set1_epi32(-int32_t{up.gate}));
            const __m128 resetLevel = _mm_castsi128_ps(_mm_set1_epi32(-int32_t{up.reset}));
            const auto changes = [&](const float* signal, __m128 level) {
                return _mm_or_ps(
                    _mm_xor_ps(_mm_cmpgt_ps(_mm_loadu_ps(signal + i), zero), level),
                    _mm_xor_ps(_mm_cmpgt_ps(_mm_loadu_ps(signal + i + kLanes), zero), level));
            };
            for (; i + kWindow <= count; i += kWindow) {
                const __m128 changed =
                    _mm_or_ps(changes(gate, gateLevel), changes(reset, resetLevel));
                if (_mm_movemask_ps(changed) != 0) break;
                _mm_storeu_ps(xOut + i, holdX);
                _mm_storeu_ps(xOut + i + kLanes, holdX);
                _mm_storeu_ps(yOut + i, holdY);
                _mm_storeu_ps(yOut + i + kLanes, holdY);
            }
        }
        if (i + kWindow > count) break;
        // the window that ended the stretch, by the rule: bit k of a mask is
        // lane k's level, of a "before" mask the level of the sample before lane k
        const int gateMask = positiveLanes(gate, i);
        const int resetMask = positiveLanes(reset, i);
        const int gateBefore = gateMask << 1 | up.gate;
        const int resetBefore = resetMask << 1 | up.reset;
        const int rising = (gateMask & ~gateBefore & gateLanes) | (resetMask & ~resetBefore);
        if (rising != 0) {
            const int lane = __builtin_ctz(rising);
            for (int k = 0; k < lane; ++k) {
                xOut[i + k] = held.x;
                yOut[i + k] = held.y;
            }
            up = {((gateBefore >> lane) & 1) != 0, ((resetBefore >> lane) & 1) != 0};
            return i + lane;
        }
        up = {(gateMask >> (kWindow - 1)) != 0, (resetMask >> (kWindow - 1)) != 0};
        _mm_storeu_ps(xOut + i, holdX);
        _mm_storeu_ps(xOut + i + kLanes, holdX);
        _mm_storeu_ps(yOut + i, holdY);
        _mm_storeu_ps(yOut + i + kLanes, holdY);
        i += kWindow;
    }
    // fewer samples left than a window
    for (; i < count; ++i) {
        if ((gateMatters && rises(gate[i], up.gate)) || rises(reset[i], up.reset)) return i;
        up = {positive(gate[i]), positive(reset[i])};
        xOut[i] = held.x;
        yOut[i] = held.y;
    }
    return count;
}
#else
// The same without SSE2: sample by sample, as the SSE2 version ends its run.
[[gnu::noinline]] int32_t holdUntilEdge(const Buffers& io, int32_t from, int32_t count,
                                        bool gateMatters, EdgeLevels& up, HeldPair held)
{
    for (int32_t i = from; i < count; ++i) {
        if ((gateMatters && rises(io.gate[i], up.gate)) || rises(io.reset[i], up.reset)) return i;
        up = {positive(io.gate[i]), positive(io.reset[i])};
        io.x[i] = held.x;
        io.y[i] = held.y;
    }
    return count;
}
#endif

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
    const DefaultFloatMode floatMode;  // the caller's mode is back before we return

    const float* const gate = m.gateIn + offset;
    const float* const reset = m.resetIn + offset;
    const float* const x0 = m.x0In + offset;
    const float* const y0 = m.y0In + offset;
    const float* const a = m.aIn + offset;
    const float* const b = m.bIn + offset;
    float* const xOut = m.xOut + offset;
    float* const yOut = m.yOut + offset;

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
    HeldPair held{m.heldX, m.heldY};
    float stateX = m.stateX, stateY = m.stateY;
    bool running = m.running;
    EdgeLevels up{positive(m.prevGate), positive(m.prevReset)};

    int32_t i = 0;
    while (i < count) {
        // run or hold, up to the next sample that needs the full rule
        if (running && mode == Continuous) {
            // every sample steps, up to a Reset edge or a guard trip; only the
            // Reset edge is looked for beside the dependency chain
            const int32_t first = i;
            for (; i < count; ++i) {
                const bool resetHigh = positive(reset[i]);
                if (resetHigh && !up.reset) break;
                float nextX, nextY;
                if (!mapStep(stateX, stateY, a[i], b[i], nextX, nextY)) break;
                up.reset = resetHigh;
                stateX = nextX;
                stateY = nextY;
                const HeldPair out = shown(nextX, nextY, normalizeOn);
                xOut[i] = out.x;
                yOut[i] = out.y;
            }
            if (i > first) held = shown(stateX, stateY, normalizeOn);
        } else {
            // Copies, so that the pointers and `up` themselves stay in registers.
            const Buffers buffers{gate, reset, x0, y0, a, b, xOut, yOut};
            EdgeLevels levels = up;
            i = holdUntilEdge(buffers, i, count, running && mode == Gated, levels, held);
            up = levels;
        }
        if (i == count) break;

        // one sample by the full rule: an edge, or the sample that trips the guard
        const float g = gate[i];
        const float r = reset[i];
        if (running && (mode == Continuous || (mode == Gated && rises(g, up.gate)))) {
            float nextX, nextY;
            if (!mapStep(stateX, stateY, a[i], b[i], nextX, nextY)) {
                nextX = 0.0f;
                nextY = 0.0f;
                running = false;
            }
            stateX = nextX;
            stateY = nextY;
            held = shown(nextX, nextY, normalizeOn);
        }
        // reset: overrides an iteration on the same sample, shown unscaled
        if (rises(r, up.reset)) {
            stateX = held.x = x0[i];
            stateY = held.y = y0[i];
            running = true;
        }
        up = {positive(g), positive(r)};
        xOut[i] = held.x;
        yOut[i] = held.y;
        ++i;
    }

    m.heldX = held.x;
    m.heldY = held.y;
    m.stateX = stateX;
    m.stateY = stateY;
    m.prevGate = lastGate;
    m.prevReset = lastReset;
    m.running = running;
}

}  // namespace tessel
