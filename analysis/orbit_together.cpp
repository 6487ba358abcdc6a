// Several orbits' verdicts at once, for the chart's lanes of points: their
// maps run and their tangents stepped in turn, so that each waits on its own
// step, not on the others'.
#include <algorithm>
#include <vector>

#include "orbit_analysis.h"
#include "tangent.h"

namespace analysis {

namespace {

// Orbits whose tangents are followed step by step in turn, at most.
constexpr size_t kTogether = 4;

// N orbits' tangents `count` steps on, step by step in turn.
template <size_t N, typename Run>
void stepTogether(Run* runs, int64_t count)
{
    Run local[N];
    std::copy(runs, runs + N, local);
    for (int64_t i = 0; i < count; ++i) {
#pragma GCC unroll 4
        for (size_t k = 0; k < N; ++k) local[k].step();
    }
    std::copy(local, local + N, runs);
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
            case 1: stepTogether<1>(runs.data() + from, count); break;
            case 2: stepTogether<2>(runs.data() + from, count); break;
            case 3: stepTogether<3>(runs.data() + from, count); break;
            default: stepTogether<kTogether>(runs.data() + from, count); break;
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
