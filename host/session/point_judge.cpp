#include "point_judge.h"

#include <algorithm>

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

analysis::OrbitClass PointJudge::judge(float aValue, float bValue, float x0Value, float y0Value, int64_t steps)
{
    session.hold(X0Pin, x0, x0Value);
    session.hold(Y0Pin, y0, y0Value);
    session.hold(APin, a, aValue);
    session.hold(BPin, b, bValue);
    reset.press();
    session.feed(ResetPin, reset);

    analysis::OrbitAnalysis orbit(aValue, bValue, steps);
    // The reset sample shows x0 and y0; the iterates follow it.
    int64_t left = steps + 1;
    int32_t skip = 1;
    for (bool more = true; more && left > 0; skip = 0) {
        const int32_t count = session.renderBlock(static_cast<int32_t>(std::min<int64_t>(kBlock, left)));
        more = orbit.add(session.x() + skip, session.y() + skip, count - skip);
        left -= count;
    }
    return orbit.result();
}

TakeWindows::TakeWindows(int64_t samples, float x0, float y0, bool normalized)
    : samples(samples), normalized(normalized), startX(x0), startY(y0)
{
}

void TakeWindows::add(const float* a, const float* b, const float* x, const float* y, int32_t count)
{
    const int64_t blockStart = next;
    next += count;
    while (windowStart < samples) {
        const int64_t end = std::min(windowStart + kWindow, samples);
        const int64_t middle = windowStart + (end - windowStart) / 2;
        if (middle >= blockStart && middle < next) {
            middleA = a[middle - blockStart];
            middleB = b[middle - blockStart];
        }
        if (end > next) return;
        judge(end - windowStart);
        const int64_t last = end - 1 - blockStart;
        startX = normalized ? analysis::unnormalized(x[last]) : x[last];
        startY = normalized ? analysis::unnormalized(y[last]) : y[last];
        windowStart = end;
    }
}

void TakeWindows::judge(int64_t length)
{
    if (length < analysis::kLeastStepsToClassify) return;
    const analysis::OrbitClass orbit = analysis::judgePoint(middleA, middleB, startX, startY, length);
    judgedEnd = windowStart + length;
    if (!kept.empty() && kept.back().orbit.outcome == orbit.outcome && kept.back().orbit.period == orbit.period)
        return;
    kept.push_back({windowStart, orbit});
}

int64_t TakeWindows::runsFrom(int64_t sample) const
{
    const int64_t first = (std::max<int64_t>(sample, 0) + kWindow - 1) / kWindow * kWindow;
    for (size_t i = 0; i < kept.size(); ++i) {
        const int64_t end = i + 1 < kept.size() ? kept[i + 1].start : judgedEnd;
        if (end > first && kept[i].orbit.outcome != analysis::Outcome::Stops) return std::max(kept[i].start, first);
    }
    return -1;
}

}  // namespace host
