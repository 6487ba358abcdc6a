// The attracting cycle an orbit's floats follow, sought among the periods the
// map's own orbit repeats with.
#include "map_cycle.h"

#include <algorithm>
#include <cmath>

#include "exact_step.h"
#include "generator/map_step.h"

namespace analysis {

namespace {

// Newton's work per orbit of the map, in cycle points refined, at most: near
// b = -1 V a slowly circling orbit can make every period a candidate, and
// beside a cascade of doublings each multiple of the first period refines
// to the unstable cycle it began as.
constexpr int64_t kRefinementBudget = 4096;
// An orbit still this far from a cycle (10 mV) that it approaches falls onto
// it, slowly, near a bifurcation; Newton's points any farther from the
// states it was given are another cycle than the one they circle.
constexpr double kWithinReach = 1e-3;

// The largest distance, per coordinate, of states [from, to) of an orbit
// from the cycle's points, state `first` belonging to point 0.
double distanceFrom(const MapCycle& cycle, const UnsetVector<double>& x, const UnsetVector<double>& y, int32_t from,
                    int32_t to, int32_t first)
{
    const int32_t period = cycle.period;
    int32_t k = ((from - first) % period + period) % period;
    // One running maximum per coordinate: two short chains, not one long one.
    double largestX = 0.0, largestY = 0.0;
    for (int32_t i = from; i < to; ++i, k = k + 1 == period ? 0 : k + 1) {
        largestX = std::max(largestX, std::abs(x[size_t(i)] - cycle.x[size_t(k)]));
        largestY = std::max(largestY, std::abs(y[size_t(i)] - cycle.y[size_t(k)]));
    }
    return std::max(largestX, largestY);
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
    : constant(tessel::kConstantTerm),
      quadratic(double{tessel::kQuadraticFactor} * a),
      yFactor(double{tessel::kYFactor} * b)
{
}

MapCycle cycleFollowed(const ExactMap& map, const MapOrbit& orbit, const float* x, const float* y, int64_t count,
                       int32_t longest)
{
    const int32_t window = 2 * longest;
    const UnsetVector<double>& orbitX = orbit.x;
    const UnsetVector<double>& orbitY = orbit.y;
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
