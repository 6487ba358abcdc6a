#include "map_module.h"

#include <algorithm>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "framework/float_mode.h"
#include "map_rules.h"
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
    {"Gate", Input, Audio, "0", nullptr, [](MapModule& m) -> void* { return &m.buffers.gateIn; }},
    {"Reset", Input, Audio, "0", nullptr, [](MapModule& m) -> void* { return &m.buffers.resetIn; }},
    {"x0", Input, Audio, "0", "2,-2,2,-2", [](MapModule& m) -> void* { return &m.buffers.x0In; }},
    {"y0", Input, Audio, "0", "2,-2,2,-2", [](MapModule& m) -> void* { return &m.buffers.y0In; }},
    {"a", Input, Audio, "1.4", "4,-1,4,-1", [](MapModule& m) -> void* { return &m.buffers.aIn; }},
    {"b", Input, Audio, "0.3", "1,-1,1,-1", [](MapModule& m) -> void* { return &m.buffers.bIn; }},
    {"x", Output, Audio, nullptr, nullptr, [](MapModule& m) -> void* { return &m.buffers.xOut; }},
    {"y", Output, Audio, nullptr, nullptr, [](MapModule& m) -> void* { return &m.buffers.yOut; }},
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

    if (restartsOnEvent(x0Status, y0Status, aStatus, bStatus)) {
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

using Buffers = MapModule::Buffers;

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

// Writes a pair to both outputs at sample i.
[[gnu::always_inline]] inline void show(const Buffers& io, int32_t i, HeldPair pair)
{
    io.xOut[i] = pair.x;
    io.yOut[i] = pair.y;
}

// The generator's state for the length of one call. It lives in locals: the
// output stores could alias the object's fields and would force a reload on
// every sample.
struct Run {
    HeldPair held;
    float stateX;
    float stateY;
    bool running;
    EdgeLevels up;
};

// Running Continuous: every sample steps, up to a Reset edge or a guard trip;
// only the Reset edge is looked for beside the dependency chain. Returns the
// sample that needs the full rule, or `end`.
[[gnu::always_inline]] inline int32_t stepUntilEdge(Run& run, const Buffers& io, int32_t from,
                                                    int32_t end, bool normalizeOn)
{
    int32_t i = from;
    for (; i < end; ++i) {
        const bool resetHigh = isHigh(io.resetIn[i]);
        if (resetHigh && !run.up.reset) break;
        float nextX, nextY;
        if (!mapStep(run.stateX, run.stateY, io.aIn[i], io.bIn[i], nextX, nextY)) break;
        run.up.reset = resetHigh;
        run.stateX = nextX;
        run.stateY = nextY;
        show(io, i, shown(nextX, nextY, normalizeOn));
    }
    if (i > from) run.held = shown(run.stateX, run.stateY, normalizeOn);
    return i;
}

// One sample by the full rule: a Gate or Reset edge, or the sample that trips
// the guard.
[[gnu::always_inline]] inline void applyFullRule(Run& run, const Buffers& io, int32_t i,
                                                 int32_t mode, bool normalizeOn)
{
    const float gate = io.gateIn[i];
    const float reset = io.resetIn[i];
    if (run.running && stepsAt(mode, gate, run.up.gate)) {
        float nextX, nextY;
        if (!mapStep(run.stateX, run.stateY, io.aIn[i], io.bIn[i], nextX, nextY)) {
            nextX = 0.0f;
            nextY = 0.0f;
            run.running = false;
        }
        run.stateX = nextX;
        run.stateY = nextY;
        run.held = shown(nextX, nextY, normalizeOn);
    }
    // reset: overrides an iteration on the same sample, shown unscaled
    if (rises(reset, run.up.reset)) {
        run.stateX = run.held.x = io.x0In[i];
        run.stateY = run.held.y = io.y0In[i];
        run.running = true;
    }
    run.up = {isHigh(gate), isHigh(reset)};
    show(io, i, run.held);
}

// The held pair written from `from` on, sample by sample, up to the first
// sample at which Reset rises, or Gate rises when `gateMatters`; returns that
// sample, or `end`. `up` holds the levels before `from`, and on return those
// before the returned sample.
[[gnu::always_inline]] inline int32_t holdSampleBySample(const Buffers& io, int32_t from,
                                                         int32_t end, bool gateMatters,
                                                         EdgeLevels& up, HeldPair held)
{
    for (int32_t i = from; i < end; ++i) {
        if ((gateMatters && rises(io.gateIn[i], up.gate)) || rises(io.resetIn[i], up.reset)) return i;
        up = {isHigh(io.gateIn[i]), isHigh(io.resetIn[i])};
        show(io, i, held);
    }
    return end;
}

#if defined(__SSE2__)
constexpr int32_t kLanes = 4;                  // samples per SSE2 compare
constexpr int32_t kWindow = 2 * kLanes;         // samples the held runs judge at once
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
[[gnu::always_inline]] inline int32_t holdWhileLow(const Buffers& io, int32_t i, int32_t end,
                                                   HeldLanes held)
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
[[gnu::always_inline]] inline int32_t holdWhileSteady(const Buffers& io, int32_t i, int32_t end,
                                                      EdgeLevels up, HeldLanes held)
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
[[gnu::always_inline]] inline int firstEdgeLane(const Buffers& io, int32_t i, int gateLanes,
                                                EdgeLevels& up)
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
[[gnu::noinline]] int32_t holdUntilEdge(const Buffers& pins, int32_t from, int32_t end,
                                        bool gateMatters, EdgeLevels& levels, HeldPair held)
{
    // Copies, so that the pointers and levels stay in registers: the vector
    // stores may alias anything.
    const Buffers io = pins;
    EdgeLevels up = levels;
    const HeldLanes lanes{_mm_set1_ps(held.x), _mm_set1_ps(held.y)};
    const int gateLanes = gateMatters ? kAllLanes : 0;
    int32_t i = from;
    int lane = kWindow;
    while (i + kWindow <= end) {
        i = !up.gate && !up.reset ? holdWhileLow(io, i, end, lanes)
                                  : holdWhileSteady(io, i, end, up, lanes);
        if (i + kWindow > end) break;
        lane = firstEdgeLane(io, i, gateLanes, up);
        if (lane < kWindow) break;
        holdWindow(io, i, lanes);
        i += kWindow;
    }
    if (lane < kWindow) {
        for (int k = 0; k < lane; ++k) show(io, i + k, held);
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
[[gnu::noinline]] int32_t holdUntilEdge(const Buffers& io, int32_t from, int32_t end,
                                        bool gateMatters, EdgeLevels& up, HeldPair held)
{
    return holdSampleBySample(io, from, end, gateMatters, up, held);
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
    if (count <= 0 || !m.buffers.complete()) return;
    const DefaultFloatMode floatMode;  // the caller's mode is back before we return
    const Buffers io = m.buffers;
    const int32_t end = offset + count;

    if (m.loadInitial) {
        m.stateX = m.heldX = io.x0In[offset];
        m.stateY = m.heldY = io.y0In[offset];
        m.loadInitial = false;
    }

    // The edge memories end as the last samples, exactly; read before any
    // output is written, in case the host hands out a buffer twice.
    const float lastGate = io.gateIn[end - 1];
    const float lastReset = io.resetIn[end - 1];

    const int32_t mode = m.mode;
    const bool normalizeOn = m.normalize == 1;
    Run run{{m.heldX, m.heldY}, m.stateX, m.stateY, m.running,
            {isHigh(m.prevGate), isHigh(m.prevReset)}};

    int32_t i = offset;
    while (i < end) {
        // run or hold, up to the next sample that needs the full rule
        if (run.running && mode == Continuous) {
            i = stepUntilEdge(run, io, i, end, normalizeOn);
        } else {
            EdgeLevels levels = run.up;  // a copy, so that run.up itself stays in a register
            i = holdUntilEdge(io, i, end, run.running && mode == Gated, levels, run.held);
            run.up = levels;
        }
        if (i == end) break;
        applyFullRule(run, io, i, mode, normalizeOn);
        ++i;
    }

    m.heldX = run.held.x;
    m.heldY = run.held.y;
    m.stateX = run.stateX;
    m.stateY = run.stateY;
    m.prevGate = lastGate;
    m.prevReset = lastReset;
    m.running = run.running;
}

}  // namespace tessel
