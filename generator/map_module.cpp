// The module at work: its activity (open, the host's events, asking to sleep)
// and its per-sample rule, run by run through each block the host hands it.
#include "map_module.h"

#include <algorithm>
#include <limits>

#include "framework/float_mode.h"
#include "held_runs.h"
#include "map_rules.h"
#include "map_step.h"

namespace tessel {

using namespace sep;

MapModule::MapModule(HostCallback callback, int32_t hostHandle) : ModuleBase(callback, hostHandle) {}

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

// The pair the outputs show, normalised or not.
inline HeldPair outputPair(float x, float y, bool normalizeOn)
{
    return normalizeOn ? HeldPair{x * kNormalizeGain, y * kNormalizeGain} : HeldPair{x, y};
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
[[gnu::always_inline]] inline int32_t stepUntilEdge(Run& run, const Buffers& io, int32_t from, int32_t end,
                                                    bool normalizeOn)
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
        writePair(io, i, outputPair(nextX, nextY, normalizeOn));
    }
    if (i > from) run.held = outputPair(run.stateX, run.stateY, normalizeOn);
    return i;
}

// One sample by the full rule: a Gate or Reset edge, or the sample that trips
// the guard.
[[gnu::always_inline]] inline void applyFullRule(Run& run, const Buffers& io, int32_t i, int32_t mode, bool normalizeOn)
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
        run.held = outputPair(nextX, nextY, normalizeOn);
    }
    // reset: overrides an iteration on the same sample, shown unscaled
    if (rises(reset, run.up.reset)) {
        run.stateX = run.held.x = io.x0In[i];
        run.stateY = run.held.y = io.y0In[i];
        run.running = true;
    }
    run.up = {isHigh(gate), isHigh(reset)};
    writePair(io, i, run.held);
}

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
    Run run{{m.heldX, m.heldY}, m.stateX, m.stateY, m.running, {isHigh(m.prevGate), isHigh(m.prevReset)}};

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
