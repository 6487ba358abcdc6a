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
    const auto hold = [this](int32_t pin, Constant& source, float value) {
        source.set(value);
        session.feed(pin, source);
    };
    hold(X0Pin, x0, x0Value);
    hold(Y0Pin, y0, y0Value);
    hold(APin, a, aValue);
    hold(BPin, b, bValue);
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

}  // namespace host
