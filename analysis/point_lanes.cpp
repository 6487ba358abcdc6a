#include "point_lanes.h"

#include <algorithm>
#include <memory>
#include <optional>

namespace analysis {

namespace {

// Steps every lane takes between looks at the lanes: an orbit that stops
// wastes fewer than this.
constexpr int32_t kRound = 32;

// The lanes share one block of kPointBlock states; a lane's orbit fills its
// row from `begin`, and the states from there are handed to its analysis at
// the block's end, when its map stops or when its steps are done.
class Lanes {
public:
    Lanes(int64_t steps, const NextPoint& next, const PointJudged& judged) : steps(steps), next(next), judged(judged)
    {
        for (int32_t lane = 0; lane < kLanes; ++lane) start(lane);
    }

    void run()
    {
        while (busy > 0) {
            const int32_t count = roundLength();
            step(count);
            filled += count;
            for (int32_t lane = 0; lane < kLanes; ++lane) {
                if (!analyses[lane]) continue;
                left[lane] -= count;
                if (filled == kPointBlock || left[lane] == 0 || !orbits[lane].running) handOver(lane);
            }
            if (filled == kPointBlock) {
                filled = 0;
                std::fill(begin, begin + kLanes, 0);
            }
        }
    }

private:
    int32_t roundLength() const
    {
        int64_t count = std::min<int64_t>(kRound, kPointBlock - filled);
        for (int32_t lane = 0; lane < kLanes; ++lane)
            if (analyses[lane]) count = std::min(count, left[lane]);
        return static_cast<int32_t>(count);
    }

    // Every lane's orbit `count` steps on, idle ones too, in turn step by step.
    void step(int32_t count)
    {
        PointOrbit in[kLanes];
        std::copy(orbits, orbits + kLanes, in);
        for (int32_t i = filled; i < filled + count; ++i) {
#pragma GCC unroll 4
            for (int32_t lane = 0; lane < kLanes; ++lane) {
                in[lane].advance();
                x[lane][i] = in[lane].x;
                y[lane][i] = in[lane].y;
            }
        }
        std::copy(in, in + kLanes, orbits);
    }

    // The lane's states since `begin` to its analysis; a finished point's
    // verdict handed back and the lane's next point started.
    void handOver(int32_t lane)
    {
        OrbitAnalysis& analysis = *analyses[lane];
        bool more = analysis.add(x[lane] + begin[lane], y[lane] + begin[lane], filled - begin[lane]);
        begin[lane] = filled;
        // A map stopped on the block's last state shows one (+0, +0); the one
        // it holds next tells the analysis so.
        const float zero = 0.0f;
        if (more && !orbits[lane].running) more = analysis.add(&zero, &zero, 1);
        if (more) return;
        judged(ids[lane], analysis.result());
        analyses[lane].reset();
        --busy;
        start(lane);
    }

    void start(int32_t lane)
    {
        PointStart point{};
        if (!next(point, ids[lane])) {
            orbits[lane] = PointOrbit();
            orbits[lane].running = false;
            return;
        }
        orbits[lane] = PointOrbit(point);
        analyses[lane].emplace(point.a, point.b, steps);
        left[lane] = steps;
        ++busy;
    }

    const int64_t steps;
    const NextPoint& next;
    const PointJudged& judged;
    int32_t filled = 0;
    int32_t busy = 0;
    PointOrbit orbits[kLanes];
    std::optional<OrbitAnalysis> analyses[kLanes];
    size_t ids[kLanes] = {};
    int64_t left[kLanes] = {};
    int32_t begin[kLanes] = {};
    float x[kLanes][kPointBlock], y[kLanes][kPointBlock];
};

}  // namespace

void judgePoints(int64_t steps, const NextPoint& next, const PointJudged& judged)
{
    auto lanes = std::make_unique<Lanes>(steps, next, judged);
    lanes->run();
}

void judgePoints(std::span<const PointStart> points, int64_t steps, std::span<OrbitClass> verdicts)
{
    size_t taken = 0;
    judgePoints(
        steps,
        [&](PointStart& start, size_t& id) {
            if (taken == points.size()) return false;
            start = points[taken];
            id = taken++;
            return true;
        },
        [&](size_t id, const OrbitClass& verdict) { verdicts[id] = verdict; });
}

}  // namespace analysis
