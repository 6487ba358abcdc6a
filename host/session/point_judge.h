// The chart's judgement of a point, made in one place for every host: one
// session, Continuous with Normalize off, restarted at each point by a Reset
// pulse, its outputs after the pulse fed to the orbit analysis block by block.
// And the same judgement along a take whose a or b moves, window by window.
#pragma once

#include <cstdint>
#include <vector>

#include "analysis/orbit_analysis.h"
#include "analysis/sound_change.h"
#include "drive.h"
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

    // Whether the instance's `steps` iterates from the point are the map's own
    // states (analysis::PointOrbit's), bit for bit; only once ready().
    bool givesMapStates(const analysis::PointStart& point, int64_t steps);

private:
    // Restarts the instance at the point and hands `sink(x, y, count)` its
    // iterates block by block while it returns true.
    template <typename Sink>
    void render(const analysis::PointStart& point, int64_t steps, Sink sink);

    Session session;
    Constant a, b, x0, y0;
    ResetButton reset;
};

using analysis::SoundChange;

// A Continuous take whose a or b moves, cut into consecutive windows of
// kWindow samples (the last may be shorter), each judged as the chart judges
// a point: at the a and b of the window's middle sample held still, from the
// map's state where the window starts, for as many steps as the window has
// samples. A window that starts with the map stopped is silent, unless a
// Reset restarts it within: then it is judged from the restart, and its
// change starts there, where it is heard. A window whose outcome and period
// are the one's before it is no change; a last window too short to classify
// is not judged.
class TakeWindows {
public:
    static constexpr int64_t kWindow = kChartSteps;

    // A take of `samples` from x0, y0 (signal scale); `normalized`: its
    // outputs carry the Normalize gain, which the judge undoes.
    TakeWindows(int64_t samples, float x0, float y0, bool normalized);

    // The take's next samples, in order: the a, b and Reset inputs (Reset
    // may be null: never high) and the x and y outputs.
    void add(const float* a, const float* b, const float* reset, const float* x, const float* y, int32_t count);

    // The first window's verdict, then each change as heard, in the order of the take.
    const std::vector<SoundChange>& changes() const { return kept; }
    // The start of the first window from `sample` on that the chart would
    // not judge stopped, or -1: where a map stopped before `sample` would
    // run again after a reset to the state it holds.
    int64_t runsFrom(int64_t sample) const;

private:
    void note(float reset, float x, float y, int64_t sample);
    void judge(int64_t length);
    float state(float output) const;

    const int64_t samples;
    const bool normalized;
    int64_t next = 0;         // the take's next sample to be added
    int64_t windowStart = 0;  // the window being gathered
    int64_t judgedEnd = 0;    // the end of the last window judged
    float startX, startY;     // the state before the window's first sample
    float middleA = 0.0f, middleB = 0.0f;
    int64_t zeroRun = 0;          // samples up to here with both outputs exactly 0: two or more, a stopped map
    bool resetWasHigh = false;    // as the module holds Reset before the first sample
    bool stoppedAtStart = false;  // the window starts with the map stopped
    int64_t restartAt = -1;       // the window's first Reset, or -1
    float restartX = 0.0f, restartY = 0.0f;  // the state it shows
    std::vector<SoundChange> kept;           // as heard
    std::vector<SoundChange> afterAReset;    // each window judged from its start, stopped or not
};

}  // namespace host
