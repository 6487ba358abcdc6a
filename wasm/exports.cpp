// The functions JavaScript calls (web/tessel.js wraps them). Every one runs on
// the WebAssembly instance's one thread. A handle is a HostedMap the caller got
// from tessel_new and gives back to tessel_free once, or a PointJudge from
// tessel_judge_new for tessel_judge_free; null handles are ignored.
#include <cstdint>

#include "analysis/orbit_analysis.h"
#include "host/drive.h"
#include "point_judge.h"
#include "web_host.h"

#define WEB_EXPORT(name) extern "C" __attribute__((export_name(name)))

using web::HostedMap;
using web::PointJudge;
using web::PointVerdict;

// A pin's volts in the signal scale the module sees (1.0 = 10 V): the value
// divided by 10 in double, rounded once to float, as a host converts a pin text.
WEB_EXPORT("tessel_signal_of") float signalOf(double volts) { return host::signalFromVolts(volts); }

// A new opened instance, or null (rate 1000 to 768000 Hz, block 1 to 65536
// samples, or out of memory). The caller owns it until tessel_free.
WEB_EXPORT("tessel_new") HostedMap* newInstance(int32_t sampleRate, int32_t blockSize)
{
    return HostedMap::create(sampleRate, blockSize);
}

// Closes the instance and releases it and its buffers.
WEB_EXPORT("tessel_free") void freeInstance(HostedMap* instance) { delete instance; }

// The constant inputs a, b, x0, y0 in the signal scale.
WEB_EXPORT("tessel_set_inputs") void setInputs(HostedMap* instance, float a, float b, float x0, float y0)
{
    if (instance) instance->setInputs(a, b, x0, y0);
}

// 0: Continuous, anything else: Gated.
WEB_EXPORT("tessel_set_mode") void setMode(HostedMap* instance, int32_t gated)
{
    if (instance) instance->setMode(gated != 0);
}

WEB_EXPORT("tessel_set_gate_hz") void setGateHz(HostedMap* instance, double hz)
{
    if (instance) instance->setGateHz(hz);
}

WEB_EXPORT("tessel_set_normalize") void setNormalize(HostedMap* instance, int32_t on)
{
    if (instance) instance->setNormalize(on != 0);
}

WEB_EXPORT("tessel_reset") void reset(HostedMap* instance)
{
    if (instance) instance->requestReset();
}

// Renders the next min(count, block size) samples; returns how many. They are
// at tessel_x and tessel_y until the next call.
WEB_EXPORT("tessel_render") int32_t render(HostedMap* instance, int32_t count)
{
    return instance ? instance->render(count) : 0;
}

WEB_EXPORT("tessel_x") const float* xOutput(HostedMap* instance) { return instance ? instance->xOutput() : nullptr; }
WEB_EXPORT("tessel_y") const float* yOutput(HostedMap* instance) { return instance ? instance->yOutput() : nullptr; }

WEB_EXPORT("tessel_block_size") int32_t blockSize(HostedMap* instance)
{
    return instance ? instance->blockSize() : 0;
}

// A sample number, exact in a double (JavaScript's number), or -1.
WEB_EXPORT("tessel_stopped_at") double stoppedAt(HostedMap* instance)
{
    return instance ? static_cast<double>(instance->stoppedAt()) : -1.0;
}

WEB_EXPORT("tessel_asleep") int32_t asleep(HostedMap* instance) { return instance && instance->asleep() ? 1 : 0; }

// --- the chart's judgement of points ----------------------------------------

// A hosted instance that judges points, or null (rate out of range, out of
// memory). The caller owns it until tessel_judge_free.
WEB_EXPORT("tessel_judge_new") PointJudge* newJudge(int32_t sampleRate) { return PointJudge::create(sampleRate); }

WEB_EXPORT("tessel_judge_free") void freeJudge(PointJudge* judge) { delete judge; }

// The orbit of `steps` iterates (a whole number, 256 to 1000000) from x0, y0
// at a, b, all in the signal scale; the verdict stays at the returned address
// until this judge's next point. Null for a bad step count or handle.
WEB_EXPORT("tessel_judge_point")
const PointVerdict* judgePoint(PointJudge* judge, float a, float b, float x0, float y0, double steps)
{
    if (!judge || !(steps >= analysis::kLeastStepsToClassify && steps <= host::kMostChartSteps)) return nullptr;
    const auto whole = static_cast<int64_t>(steps);
    if (static_cast<double>(whole) != steps) return nullptr;
    return judge->judge(a, b, x0, y0, whole);
}
