#include "point_judge.h"

#include <algorithm>
#include <cstring>

#include "generator/map_pins.h"

namespace host {

using namespace tessel;

PointJudge::PointJudge(Instance& instance, int32_t sampleRate) : session(instance, sampleRate, kBlock)
{
    session.feed(X0Pin, x0);
    session.feed(Y0Pin, y0);
    session.feed(APin, a);
    session.feed(BPin, b);
    session.feed(ResetPin, reset);
    session.setList(ModePin, Continuous);
    session.setList(NormalizePin, 0);
    session.open();
}

template <typename Sink>
void PointJudge::render(const analysis::PointStart& point, int64_t steps, Sink sink)
{
    session.hold(X0Pin, x0, point.x0);
    session.hold(Y0Pin, y0, point.y0);
    session.hold(APin, a, point.a);
    session.hold(BPin, b, point.b);
    reset.press();
    session.feed(ResetPin, reset);

    // The reset sample shows x0 and y0; the iterates follow it.
    int64_t left = steps + 1;
    int32_t skip = 1;
    for (bool more = true; more && left > 0; skip = 0) {
        const int32_t count = session.renderBlock(static_cast<int32_t>(std::min<int64_t>(kBlock, left)));
        more = sink(session.x() + skip, session.y() + skip, count - skip);
        left -= count;
    }
}

analysis::OrbitClass PointJudge::judge(float aValue, float bValue, float x0Value, float y0Value, int64_t steps)
{
    analysis::OrbitAnalysis orbit(aValue, bValue, steps);
    render({aValue, bValue, x0Value, y0Value}, steps,
           [&](const float* x, const float* y, int32_t count) { return orbit.add(x, y, count); });
    return orbit.result();
}

bool PointJudge::givesMapStates(const analysis::PointStart& point, int64_t steps)
{
    analysis::PointOrbit map(point);
    float mapX[kBlock], mapY[kBlock];
    bool same = true;
    render(point, steps, [&](const float* x, const float* y, int32_t count) {
        map.fill(mapX, mapY, count);
        same = std::memcmp(x, mapX, sizeof(float) * size_t(count)) == 0 &&
               std::memcmp(y, mapY, sizeof(float) * size_t(count)) == 0;
        return same;
    });
    return same;
}

TakeWindows::TakeWindows(int64_t samples, float x0, float y0, bool normalized)
    : samples(samples), normalized(normalized), startX(x0), startY(y0)
{
}

void TakeWindows::add(const float* a, const float* b, const float* reset, const float* x, const float* y, int32_t count)
{
    const int64_t blockStart = next;
    next += count;
    int32_t seen = 0;  // the block's samples noted
    while (windowStart < samples) {
        const int64_t end = std::min(windowStart + kWindow, samples);
        const int64_t middle = windowStart + (end - windowStart) / 2;
        if (middle >= blockStart && middle < next) {
            middleA = a[middle - blockStart];
            middleB = b[middle - blockStart];
        }
        for (; blockStart + seen < std::min(end, next); ++seen)
            note(reset ? reset[seen] : 0.0f, x[seen], y[seen], blockStart + seen);
        if (end > next) return;
        judge(end - windowStart);
        const int64_t last = end - 1 - blockStart;
        startX = state(x[last]);
        startY = state(y[last]);
        windowStart = end;
        // A running map never shows two states of exact zeros in a row: (0, 0) steps to (1, 0).
        stoppedAtStart = zeroRun >= 2;
        restartAt = -1;
    }
}

float TakeWindows::state(float output) const { return normalized ? analysis::unnormalized(output) : output; }

void TakeWindows::note(float reset, float x, float y, int64_t sample)
{
    const bool high = reset > 0.0f;
    if (high && !resetWasHigh && restartAt < 0) {
        // The reset sample shows x0 and y0; the iterates follow it.
        restartAt = sample;
        restartX = state(x);
        restartY = state(y);
    }
    resetWasHigh = high;
    zeroRun = x == 0.0f && y == 0.0f ? zeroRun + 1 : 0;
}

namespace {

// Keeps a window's verdict where its outcome or period is not the one's before.
void keepChange(std::vector<SoundChange>& changes, const SoundChange& change)
{
    if (!changes.empty() && changes.back().orbit.outcome == change.orbit.outcome &&
        changes.back().orbit.period == change.orbit.period)
        return;
    changes.push_back(change);
}

}  // namespace

void TakeWindows::judge(int64_t length)
{
    if (length < analysis::kLeastStepsToClassify) return;
    const int64_t end = windowStart + length;
    const SoundChange fromStart{windowStart, analysis::judgePoint(middleA, middleB, startX, startY, length)};
    keepChange(afterAReset, fromStart);
    judgedEnd = end;
    if (!stoppedAtStart) return keepChange(kept, fromStart);
    if (restartAt >= 0 && end - restartAt - 1 >= analysis::kLeastStepsToClassify)
        return keepChange(kept,
                          {restartAt, analysis::judgePoint(middleA, middleB, restartX, restartY, end - restartAt - 1)});
    SoundChange silent{windowStart, {}};
    silent.orbit.outcome = analysis::Outcome::Stops;
    keepChange(kept, silent);
}

int64_t TakeWindows::runsFrom(int64_t sample) const
{
    const int64_t first = (std::max<int64_t>(sample, 0) + kWindow - 1) / kWindow * kWindow;
    for (size_t i = 0; i < afterAReset.size(); ++i) {
        const int64_t end = i + 1 < afterAReset.size() ? afterAReset[i + 1].start : judgedEnd;
        if (end > first && afterAReset[i].orbit.outcome != analysis::Outcome::Stops)
            return std::max(afterAReset[i].start, first);
    }
    return -1;
}

}  // namespace host
