// The chart's judgement of a point, made in one place for every host: one
// session, Continuous with Normalize off, restarted at each point by a Reset
// pulse, its outputs after the pulse fed to the orbit analysis block by block.
#pragma once

#include <cstdint>

#include "analysis/orbit_analysis.h"
#include "session.h"
#include "source.h"

namespace host {

class PointJudge {
public:
    // The host block while charting: a point that stops early costs at most
    // one block of the stopped module's held output.
    static constexpr int32_t kBlock = 1024;

    // Opens a session on `instance`, made by its host and not yet connected.
    PointJudge(Instance& instance, int32_t sampleRate);
    bool ready() const { return session.ready(); }

    // The orbit of `steps` iterates (at least kLeastStepsToClassify) from
    // x0, y0 at a, b, all in the signal scale; only once ready().
    analysis::OrbitClass judge(float a, float b, float x0, float y0, int64_t steps);

private:
    Session session;
    Constant a, b, x0, y0;
    ResetButton reset;
};

}  // namespace host
