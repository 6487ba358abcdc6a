#include "map_cycle.h"

#include <algorithm>
#include <cmath>

#include "generator/map_step.h"

namespace analysis {

namespace {

// Newton either converges within a few steps from states near a cycle
// (quadratically, from about an ulp of float) or not at all.
constexpr int32_t kMostNewtonSteps = 16;
// Done when no point moves more than this (states are at most 0.2), or when
// the largest move, below kRoundingNoise, no longer halves: converging, it
// would square. Along a long cycle the Jacobians' products carry the
// roundings of the solve, and the moves stall somewhat above 1e-14.
constexpr double kConverged = 1e-14;
constexpr double kRoundingNoise = 1e-10;
// A solution leaves each point this near, at most, to the map's image of the
// point before (the roundings of one step are some 1e-17): a move that stalls
// short of a solution is not one.
constexpr double kSolved = 1e-14;
// Beyond the guard's bound by far: Newton has left the map's bounded region.
constexpr double kOutOfReach = 1.0;
// Two points of a refined cycle this close are the same point: converged
// points agree to about 1e-16, distinct ones sit at least some 1e-5 apart
// even a float's step of a beyond a period doubling.
constexpr double kSamePoint = 1e-10;
// Newton's work per orbit of the map, in cycle points refined, at most: near
// b = -1 V a slowly circling orbit can make every period a candidate, and
// beside a cascade of doublings each multiple of the first period refines
// to the unstable cycle it began as.
constexpr int64_t kRefinementBudget = 4096;
// An orbit this close to a cycle, per coordinate, is on it: Newton's points
// and the orbit's states agree to about 1e-16 once it has converged.
constexpr double kOnCycle = 1e-12;
// An orbit still this far from a cycle (10 mV) that it approaches falls onto
// it, slowly, near a bifurcation; Newton's points any farther from the
// states it was given are another cycle than the one they circle.
constexpr double kWithinReach = 1e-3;
// The map's orbit is run this many steps at a time, and looked at in between:
// most orbits are on their cycle after the first few stretches.
constexpr int32_t kMapStretch = 512;
static_assert(kMapSteps % kMapStretch == 0);

// [[xx, xy], [yx, yy]]
struct Matrix {
    double xx, xy, yx, yy;
};

constexpr Matrix kIdentity{1.0, 0.0, 0.0, 1.0};

Matrix times(const Matrix& l, const Matrix& r)
{
    return {l.xx * r.xx + l.xy * r.yx, l.xx * r.xy + l.xy * r.yy, l.yx * r.xx + l.yy * r.yx,
            l.yx * r.xy + l.yy * r.yy};
}

Matrix jacobian(const ExactMap& map, double x) { return {-2.0 * map.quadratic * x, 1.0, map.yFactor, 0.0}; }

// The map's image of (x, y), in its two parts.
inline double imageX(const ExactMap& map, double x, double y) { return (y + map.constant) - (x * x) * map.quadratic; }
inline double imageY(const ExactMap& map, double x) { return x * map.yFactor; }

// The Jacobian's product once around the cycle from its first point.
Matrix periodJacobian(const ExactMap& map, const MapCycle& cycle)
{
    Matrix product = kIdentity;
    for (int32_t k = 0; k < cycle.period; ++k) product = times(jacobian(map, cycle.x[size_t(k)]), product);
    return product;
}

// One Newton step for z(k+1) = F(z(k)) around the cycle, all points at once.
// The linear system d(k+1) - J(k)·d(k) = F(z(k)) - z(k+1) is cyclic and
// block bidiagonal; it is solved through the first point's 2x2 system
// (I - M)·d(0) = sum, M the Jacobian once around, and then forward. That is
// exact for the linear system and stable where the cycle attracts, the only
// case that must converge. Returns the largest move, or -1 when the system is
// singular or the step leaves the map's reach.
double newtonStep(const ExactMap& map, std::vector<double>& x, std::vector<double>& y, std::vector<double>& rx,
                  std::vector<double>& ry)
{
    const size_t p = x.size();
    double sx = 0.0, sy = 0.0;
    Matrix around = kIdentity;
    for (size_t k = 0; k < p; ++k) {
        const size_t next = k + 1 == p ? 0 : k + 1;
        rx[k] = imageX(map, x[k], y[k]) - x[next];
        ry[k] = imageY(map, x[k]) - y[next];
        const Matrix j = jacobian(map, x[k]);
        const double nextSx = j.xx * sx + sy + rx[k];
        sy = j.yx * sx + ry[k];
        sx = nextSx;
        around = times(j, around);
    }
    const Matrix system{1.0 - around.xx, -around.xy, -around.yx, 1.0 - around.yy};
    const double determinant = system.xx * system.yy - system.xy * system.yx;
    if (!(std::abs(determinant) > 0.0) || !std::isfinite(determinant)) return -1.0;
    double dx = (system.yy * sx - system.xy * sy) / determinant;
    double dy = (system.xx * sy - system.yx * sx) / determinant;
    double largest = 0.0;
    for (size_t k = 0; k < p; ++k) {
        largest = std::max({largest, std::abs(dx), std::abs(dy)});
        const double nextDx = -2.0 * map.quadratic * x[k] * dx + dy + rx[k];
        const double nextDy = map.yFactor * dx + ry[k];
        x[k] += dx;
        y[k] += dy;
        if (!(std::abs(x[k]) < kOutOfReach && std::abs(y[k]) < kOutOfReach)) return -1.0;
        dx = nextDx;
        dy = nextDy;
    }
    return largest;
}

// The largest distance, per coordinate, between a point's image and the next point.
double largestResidual(const ExactMap& map, const std::vector<double>& x, const std::vector<double>& y)
{
    const size_t p = x.size();
    double largest = 0.0;
    for (size_t k = 0; k < p; ++k) {
        const size_t next = k + 1 == p ? 0 : k + 1;
        largest = std::max(
            {largest, std::abs(imageX(map, x[k], y[k]) - x[next]), std::abs(imageY(map, x[k]) - y[next])});
    }
    return largest;
}

int32_t leastPeriod(const std::vector<double>& x, const std::vector<double>& y)
{
    const auto p = static_cast<int32_t>(x.size());
    for (int32_t q = 1; q < p; ++q) {
        if (p % q != 0) continue;
        bool repeats = true;
        for (int32_t k = 0; k < p - q && repeats; ++k)
            repeats = std::abs(x[size_t(k)] - x[size_t(k + q)]) <= kSamePoint &&
                      std::abs(y[size_t(k)] - y[size_t(k + q)]) <= kSamePoint;
        if (repeats) return q;
    }
    return p;
}

// Both roots of m² - trace·m + det inside the unit circle (Jury's
// conditions, arithmetic only): |det| < 1 and |trace| < 1 + det.
bool attracts(double trace, double det) { return std::abs(det) < 1.0 && std::abs(trace) < 1.0 + det; }

// Whether the last `length` states repeat with `period` within `gap`; judged
// from the end back, so most periods fail at once.
bool repeats(const double* x, const double* y, int32_t length, int32_t period, double gap)
{
    for (int32_t i = length - 1; i >= period; --i) {
        if (std::abs(x[i] - x[i - period]) > gap || std::abs(y[i] - y[i - period]) > gap) return false;
    }
    return true;
}

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

// The largest distance, per coordinate, of states [from, to) of an orbit
// from the cycle's points, state `first` belonging to point 0.
double distanceFrom(const MapCycle& cycle, const std::vector<double>& x, const std::vector<double>& y, int32_t from,
                    int32_t to, int32_t first)
{
    const int32_t period = cycle.period;
    int32_t k = ((from - first) % period + period) % period;
    double largest = 0.0;
    for (int32_t i = from; i < to; ++i, k = k + 1 == period ? 0 : k + 1) {
        largest = std::max({largest, std::abs(x[size_t(i)] - cycle.x[size_t(k)]),
                            std::abs(y[size_t(i)] - cycle.y[size_t(k)])});
    }
    return largest;
}

// Whether each of the floats x[from..to) lies within `gap` of one of the
// cycle's points. Not necessarily the next point each time: where points of
// a cycle lie close together (a cycle born of doublings, its points in
// pairs), the floats may hop between the points of one pair.
bool floatsBeside(const MapCycle& cycle, const float* x, const float* y, size_t from, size_t to, double gap)
{
    const auto period = static_cast<size_t>(cycle.period);
    const auto beside = [&](size_t i, size_t k) {
        return std::abs(double{x[i]} - cycle.x[k]) <= gap && std::abs(double{y[i]} - cycle.y[k]) <= gap;
    };
    size_t k = 0;
    for (size_t i = from; i < to; ++i) {
        k = k + 1 == period ? 0 : k + 1;
        if (beside(i, k)) continue;
        k = 0;
        while (k < period && !beside(i, k)) ++k;
        if (k == period) return false;
    }
    return true;
}

}  // namespace

ExactMap::ExactMap(float a, float b)
    : constant(tessel::kConstantTerm), quadratic(double{tessel::kQuadraticFactor} * a),
      yFactor(double{tessel::kYFactor} * b)
{
}

MapCycle refineCycle(const ExactMap& map, const double* x, const double* y, int32_t p)
{
    MapCycle cycle;
    cycle.x.assign(x, x + p);
    cycle.y.assign(y, y + p);
    std::vector<double> rx(static_cast<size_t>(p)), ry(static_cast<size_t>(p));
    bool converged = false;
    double lastMove = kOutOfReach;
    for (int32_t step = 0; step < kMostNewtonSteps && !converged; ++step) {
        const double moved = newtonStep(map, cycle.x, cycle.y, rx, ry);
        if (moved < 0.0) return {};
        converged = moved <= kConverged || (moved <= kRoundingNoise && moved > 0.5 * lastMove);
        lastMove = moved;
    }
    if (!converged || largestResidual(map, cycle.x, cycle.y) > kSolved) return {};

    cycle.period = leastPeriod(cycle.x, cycle.y);
    cycle.x.resize(size_t(cycle.period));
    cycle.y.resize(size_t(cycle.period));
    const Matrix around = periodJacobian(map, cycle);
    cycle.trace = around.xx + around.yy;
    cycle.determinant = around.xx * around.yy - around.xy * around.yx;
    cycle.attracting = attracts(cycle.trace, cycle.determinant);
    return cycle;
}

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

MapCycle cycleFollowed(const ExactMap& map, const MapOrbit& orbit, const float* x, const float* y, int64_t count,
                       int32_t longest)
{
    const int32_t window = 2 * longest;
    const std::vector<double>& orbitX = orbit.x;
    const std::vector<double>& orbitY = orbit.y;
    if (orbitX.empty()) return {};

    const auto length = static_cast<int32_t>(orbitX.size());
    const double* lastX = orbitX.data() + (length - window);
    const double* lastY = orbitY.data() + (length - window);
    const auto repeatsWith = [&](int32_t p) { return p <= longest && repeats(lastX, lastY, window, p, kRepeatGap); };
    std::vector<bool> tried(size_t(longest) + 1);
    int64_t budget = kRefinementBudget;
    // The periods in the order tried: from 1 up, but after one that refines
    // to an unstable cycle, that cycle's double first.
    int32_t next = 1, doubled = 0;
    while (budget > 0) {
        int32_t p = doubled;
        doubled = 0;
        if (p == 0) {
            while (next <= longest && (tried[size_t(next)] || !repeatsWith(next))) ++next;
            if (next > longest) break;
            p = next++;
        }
        if (budget < p) continue;
        budget -= p;
        tried[size_t(p)] = true;
        const int32_t first = length - p;
        MapCycle cycle = refineCycle(map, orbitX.data() + first, orbitY.data() + first, p);
        if (cycle.period == 0 || !cycle.attracting) {
            const int32_t twice = 2 * cycle.period;
            if (twice > 0 && twice <= longest && !tried[size_t(twice)] && repeatsWith(twice)) doubled = twice;
            continue;
        }
        const double atEnd = distanceFrom(cycle, orbitX, orbitY, length - longest, length, first);
        const double atStart = distanceFrom(cycle, orbitX, orbitY, 0, longest, first);
        if (atEnd > kOnCycle && !(atEnd < atStart && atEnd <= kWithinReach)) continue;
        // The floats' last states against the cycle, as near as the map's
        // orbit is at the same steps, or at its last once it is on the cycle.
        const auto mapTo = static_cast<int32_t>(std::min<int64_t>(count, length));
        const double mapAway = distanceFrom(cycle, orbitX, orbitY, mapTo - longest, mapTo, first);
        if (!floatsBeside(cycle, x, y, size_t(count - longest), size_t(count), kNearGap + mapAway)) return {};
        return cycle;
    }
    return {};
}

}  // namespace analysis
