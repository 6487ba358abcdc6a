// The map's orbits run from float states in double, several side by side,
// each until it is on its cycle, leaves the map's reach, or runs its length.
#include <algorithm>
#include <cmath>
#include <vector>

#include "exact_step.h"
#include "map_cycle.h"

namespace analysis {

namespace {

// The map's orbit is run this many steps at a time, and looked at in between:
// most orbits are on their cycle after the first few stretches.
constexpr int32_t kMapStretch = 512;
static_assert(kMapSteps % kMapStretch == 0);

// kMapStretch more states of each run's orbit, the runs stepped in turn;
// a run whose orbit leaves the map's bounded region is told by `inReach`.
template <size_t N>
void stretchTogether(MapRun* const* runs)
{
    ExactMap maps[N];  // copies, in registers: the stores below cannot touch them
    double u[N], v[N];
    bool inReach[N];
    double* orbitX[N];
    double* orbitY[N];
    for (size_t k = 0; k < N; ++k) {
        maps[k] = runs[k]->map;
        u[k] = runs[k]->x;
        v[k] = runs[k]->y;
        inReach[k] = true;
        const size_t at = runs[k]->orbit.x.size();
        runs[k]->orbit.x.resize(at + kMapStretch);
        runs[k]->orbit.y.resize(at + kMapStretch);
        orbitX[k] = runs[k]->orbit.x.data() + at;
        orbitY[k] = runs[k]->orbit.y.data() + at;
    }
    for (int32_t n = 0; n < kMapStretch; ++n) {
#pragma GCC unroll 4
        for (size_t k = 0; k < N; ++k) {
            inReach[k] &= std::abs(u[k]) < kOutOfReach;
            inReach[k] &= std::abs(v[k]) < kOutOfReach;
            orbitX[k][n] = u[k];
            orbitY[k][n] = v[k];
            const double nextU = imageX(maps[k], u[k], v[k]);
            v[k] = imageY(maps[k], u[k]);
            u[k] = nextU;
        }
    }
    for (size_t k = 0; k < N; ++k) {
        runs[k]->x = u[k];
        runs[k]->y = v[k];
        runs[k]->inReach &= inReach[k];
    }
}

// Whether the orbit's last `window` states repeat within kOnCycle: it is then
// on its cycle, and stays there. Only the least period with which the last
// state repeats is worth a look: a multiple of a period the window does not
// repeat with fails too.
bool onCycle(const MapOrbit& orbit, int32_t window)
{
    const size_t last = orbit.x.size() - 1;
    int32_t p = 1;
    while (p <= window / 2 && !(std::abs(orbit.x[last] - orbit.x[last - size_t(p)]) <= kOnCycle &&
                                std::abs(orbit.y[last] - orbit.y[last - size_t(p)]) <= kOnCycle))
        ++p;
    return p <= window / 2 && repeats(orbit.x.data() + (last + 1 - size_t(window)),
                                      orbit.y.data() + (last + 1 - size_t(window)), window, p, kOnCycle);
}

}  // namespace

void MapRun::restart(const ExactMap& startMap, double startX, double startY, int32_t startWindow)
{
    map = startMap;
    x = startX;
    y = startY;
    window = startWindow;
    inReach = true;
    orbit.x.clear();
    orbit.y.clear();
    orbit.x.reserve(kMapSteps);
    orbit.y.reserve(kMapSteps);
}

void runMaps(std::span<MapRun* const> runs)
{
    constexpr size_t kTogether = 4;
    std::vector<MapRun*> running(runs.begin(), runs.end());
    while (!running.empty()) {
        for (size_t from = 0; from < running.size(); from += kTogether) {
            switch (std::min(kTogether, running.size() - from)) {
            case 1: stretchTogether<1>(running.data() + from); break;
            case 2: stretchTogether<2>(running.data() + from); break;
            case 3: stretchTogether<3>(running.data() + from); break;
            default: stretchTogether<kTogether>(running.data() + from); break;
            }
        }
        std::erase_if(running, [](MapRun* run) {
            const auto length = static_cast<int32_t>(run->orbit.x.size());
            if (!run->inReach) {
                run->orbit.x.clear();
                run->orbit.y.clear();
                return true;
            }
            return length >= kMapSteps || (length >= run->window && onCycle(run->orbit, run->window));
        });
    }
}

}  // namespace analysis
