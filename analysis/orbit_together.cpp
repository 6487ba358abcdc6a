// Several orbits' verdicts at once, for the chart's lanes of points: their
// maps run in turn and their tangents stepped side by side, so that each
// waits on its own step, not on the others'.
#include <algorithm>
#include <vector>

#include "orbit_analysis.h"
#include "tangent.h"

namespace analysis {

namespace {

// Orbits whose tangents are followed side by side, at most: two pairs.
constexpr size_t kTogether = 4;

// One orbit's tangent `count` steps on, from a copy the stores cannot touch.
template <typename Run>
void stepAlone(Run& run, int64_t count)
{
    Run local = run;
    for (int64_t i = 0; i < count; ++i) local.step();
    run = local;
}

// Two values side by side in one vector register: its products and sums are
// each element's own, rounded as the scalar ones are.
using Doubles2 = double __attribute__((vector_size(16)));

// Pairs of tangents stepped side by side, a coordinate of both in one vector:
// the same arithmetic, element by element, as TangentRun::step, renormalised
// at the same steps. `blocks` runs of kRenormaliseEvery steps from a
// renormalisation on.
template <size_t Pairs, typename Run>
void stepPairedBlocks(Run* runs, int64_t blocks)
{
    Doubles2 tx[Pairs], ty[Pairs], jacobianXX[Pairs], jacobianYX[Pairs];
    for (size_t k = 0; k < Pairs; ++k) {
        const Run& first = runs[2 * k];
        const Run& second = runs[2 * k + 1];
        tx[k] = Doubles2{first.t.x, second.t.x};
        ty[k] = Doubles2{first.t.y, second.t.y};
        jacobianXX[k] = Doubles2{first.jacobianXX, second.jacobianXX};
        jacobianYX[k] = Doubles2{first.jacobianYX, second.jacobianYX};
    }
    for (int64_t block = 0; block < blocks; ++block) {
        for (int32_t i = 0; i < kRenormaliseEvery; ++i) {
#pragma GCC unroll 4
            for (size_t k = 0; k < Pairs; ++k) {
                const Doubles2 states{double{runs[2 * k].x[i]}, double{runs[2 * k + 1].x[i]}};
                const Doubles2 slope = jacobianXX[k] * states;
                const Doubles2 nextX = slope * tx[k] + ty[k];
                ty[k] = jacobianYX[k] * tx[k];
                tx[k] = nextX;
            }
        }
        for (size_t k = 0; k < 2 * Pairs; ++k) {
            Run& run = runs[k];
            run.x += kRenormaliseEvery;
            run.t.x = tx[k / 2][k % 2];
            run.t.y = ty[k / 2][k % 2];
            run.t.exponent += renormalise(run.t.x, run.t.y);
        }
        for (size_t k = 0; k < Pairs; ++k) {
            tx[k] = Doubles2{runs[2 * k].t.x, runs[2 * k + 1].t.x};
            ty[k] = Doubles2{runs[2 * k].t.y, runs[2 * k + 1].t.y};
        }
    }
}

// N orbits' tangents `count` steps on: each alone up to its next
// renormalisation, then in pairs while all have whole blocks left, then each
// alone to the end.
template <size_t N, typename Run>
void stepInPairs(Run* runs, int64_t count)
{
    static_assert(N % 2 == 0);
    int64_t left[N];
    for (size_t k = 0; k < N; ++k) {
        const int64_t toRenormalisation = (kRenormaliseEvery - runs[k].t.sinceRenormalised) % kRenormaliseEvery;
        const int64_t first = std::min(count, toRenormalisation);
        stepAlone(runs[k], first);
        left[k] = count - first;
    }
    const int64_t blocks = *std::min_element(left, left + N) / kRenormaliseEvery;
    stepPairedBlocks<N / 2>(runs, blocks);
    for (size_t k = 0; k < N; ++k) stepAlone(runs[k], left[k] - blocks * kRenormaliseEvery);
}

}  // namespace

void resultsTogether(std::span<const OrbitAnalysis* const> orbits, std::span<OrbitClass> verdicts,
                     std::vector<MapRun>& mapRuns)
{
    using TangentRun = OrbitAnalysis::TangentRun;
    std::vector<OrbitAnalysis::Repetition> nears;
    std::vector<MapRun*> running;
    mapRuns.resize(std::max(mapRuns.size(), orbits.size()));
    for (const OrbitAnalysis* orbit : orbits) {
        nears.push_back(orbit->nearRepetition());
        if (nears.back().period == 0) continue;
        MapRun& run = mapRuns[running.size()];
        orbit->startMapRun(nears.back(), run);
        running.push_back(&run);
    }
    runMaps(running);

    std::vector<OrbitAnalysis::Plan> plans;
    std::vector<TangentRun> runs;
    std::vector<int64_t> left;
    std::vector<size_t> owners;
    const MapOrbit none;
    for (size_t k = 0, ran = 0; k < orbits.size(); ++k) {
        const OrbitAnalysis* orbit = orbits[k];
        plans.push_back(orbit->plan(nears[k], nears[k].period > 0 ? running[ran++]->orbit : none));
        const OrbitAnalysis::Tangent& t = plans.back().tangent;
        if (plans.back().exponentsFrom < 0 || t.at >= orbit->seen) continue;
        runs.push_back(orbit->runFrom(t));
        left.push_back(orbit->seen - t.at);
        owners.push_back(plans.size() - 1);
    }
    // Runs of unequal length go together as far as the shortest, which then drops out.
    while (!runs.empty()) {
        const int64_t count = *std::min_element(left.begin(), left.end());
        for (size_t from = 0; from < runs.size(); from += kTogether) {
            switch (std::min<size_t>(kTogether, runs.size() - from)) {
            case 1: stepAlone(runs[from], count); break;
            case 2: stepInPairs<2>(runs.data() + from, count); break;
            case 3:
                stepInPairs<2>(runs.data() + from, count);
                stepAlone(runs[from + 2], count);
                break;
            default: stepInPairs<kTogether>(runs.data() + from, count); break;
            }
        }
        for (size_t k = runs.size(); k-- > 0;) {
            left[k] -= count;
            if (left[k] > 0) continue;
            plans[owners[k]].tangent = runs[k].t;
            const auto at = std::ptrdiff_t(k);
            runs.erase(runs.begin() + at);
            left.erase(left.begin() + at);
            owners.erase(owners.begin() + at);
        }
    }
    for (size_t k = 0; k < orbits.size(); ++k) {
        orbits[k]->finish(plans[k]);
        verdicts[k] = plans[k].result;
    }
}

}  // namespace analysis
