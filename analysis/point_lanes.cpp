#include "point_lanes.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace analysis {

namespace {

// Steps every lane takes between looks at the lanes: an orbit that stops
// wastes fewer than this (a few hundredths of a chart's 8192), and the
// fewer the looks, the more of the time goes to the steps themselves.
constexpr int32_t kRound = 128;
// The states the lanes make between hand-overs to their analyses: the lanes'
// block and the stretch of history it is copied to stay in the first-level
// cache together, where a host's block of 1024 would not.
constexpr int32_t kLaneBlock = 256;
// Finished orbits whose searches after the run go side by side: a few
// orbits' worth, so that even where most points are cycles, the tangents
// of chaotic ones seldom go alone.
constexpr size_t kJudgedTogether = 8;

// The lanes share one block of kLaneBlock states; a lane's orbit fills its
// row from `begin`, and the states from there are handed to its analysis at
// the block's end, when its map stops or when its steps are done. Without
// `judging`, the states are only made.
class Lanes {
public:
    Lanes(int64_t steps, const NextPoint& next, const PointJudged& judged, bool judging)
        : steps(steps), next(next), judged(judged), judging(judging)
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
                if (!active[lane]) continue;
                left[lane] -= count;
                if (filled == kLaneBlock || left[lane] == 0 || !orbits[lane].running) handOver(lane);
            }
            if (filled == kLaneBlock) {
                filled = 0;
                std::fill(begin, begin + kLanes, 0);
            }
        }
    }

private:
    struct Finished {
        size_t id;
        OrbitAnalysis analysis;
    };

    int32_t roundLength() const
    {
        int64_t count = std::min<int64_t>(kRound, kLaneBlock - filled);
        for (int32_t lane = 0; lane < kLanes; ++lane)
            if (active[lane]) count = std::min(count, left[lane]);
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
    // analysis set aside and the lane's next point started.
    void handOver(int32_t lane)
    {
        bool more = left[lane] > 0 && orbits[lane].running;
        if (judging) {
            OrbitAnalysis& analysis = *analyses[lane];
            more = analysis.add(x[lane] + begin[lane], y[lane] + begin[lane], filled - begin[lane]);
            // A map stopped on the block's last state shows one (+0, +0); the
            // one it holds next tells the analysis so.
            const float zero = 0.0f;
            if (more && !orbits[lane].running) more = analysis.add(&zero, &zero, 1);
            if (!more) finished.push_back({ids[lane], std::move(analysis)});
        }
        begin[lane] = filled;
        if (more) return;
        active[lane] = false;
        --busy;
        start(lane);
        if (finished.size() == kJudgedTogether || (busy == 0 && !finished.empty())) judgeFinished();
    }

    // The verdicts of the orbits whose steps are done, their searches after
    // the run side by side.
    void judgeFinished()
    {
        std::vector<const OrbitAnalysis*> orbitsDone;
        for (const Finished& orbit : finished) orbitsDone.push_back(&orbit.analysis);
        std::vector<OrbitClass> verdicts(orbitsDone.size());
        resultsTogether(orbitsDone, verdicts, mapRuns);
        for (size_t k = 0; k < finished.size(); ++k) {
            judged(finished[k].id, verdicts[k]);
            spare.push_back(std::move(finished[k].analysis));
        }
        finished.clear();
    }

    void start(int32_t lane)
    {
        PointStart point{};
        orbits[lane] = PointOrbit();
        orbits[lane].running = false;
        if (!next(point, ids[lane])) return;
        orbits[lane] = PointOrbit(point);
        if (judging) {
            if (spare.empty()) spare.emplace_back(point.a, point.b, steps);
            else spare.back().restart(point.a, point.b, steps);
            analyses[lane].emplace(std::move(spare.back()));
            spare.pop_back();
        }
        left[lane] = steps;
        active[lane] = true;
        ++busy;
    }

    const int64_t steps;
    const NextPoint& next;
    const PointJudged& judged;
    const bool judging;
    int32_t filled = 0;
    int32_t busy = 0;
    PointOrbit orbits[kLanes];
    bool active[kLanes] = {};
    std::optional<OrbitAnalysis> analyses[kLanes];
    size_t ids[kLanes] = {};
    int64_t left[kLanes] = {};
    int32_t begin[kLanes] = {};
    std::vector<Finished> finished;
    std::vector<OrbitAnalysis> spare;  // finished analyses, their room kept for the next points
    std::vector<MapRun> mapRuns;
    float x[kLanes][kLaneBlock], y[kLanes][kLaneBlock];
};

NextPoint pointsOf(std::span<const PointStart> points, size_t& taken)
{
    return [points, &taken](PointStart& start, size_t& id) {
        if (taken == points.size()) return false;
        start = points[taken];
        id = taken++;
        return true;
    };
}

}  // namespace

void judgePoints(int64_t steps, const NextPoint& next, const PointJudged& judged)
{
    std::make_unique<Lanes>(steps, next, judged, true)->run();
}

void judgePoints(std::span<const PointStart> points, int64_t steps, std::span<OrbitClass> verdicts)
{
    size_t taken = 0;
    judgePoints(steps, pointsOf(points, taken), [&](size_t id, const OrbitClass& verdict) { verdicts[id] = verdict; });
}

void stepPoints(std::span<const PointStart> points, int64_t steps)
{
    size_t taken = 0;
    const PointJudged unheard = [](size_t, const OrbitClass&) {};
    std::make_unique<Lanes>(steps, pointsOf(points, taken), unheard, false)->run();
}

}  // namespace analysis
