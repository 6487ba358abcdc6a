// A slow judge of a chart point, apart from the analysis: the module's float
// orbit by its own step, then the map without its roundings in long double
// from the floats' last state, run far longer than the chart does, and a
// cycle of it solved by Newton's method on the period's map. It says whether
// the floats follow an attracting cycle, and which, only where it is sure.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "generator/map_step.h"

namespace slow {

// The floats of `steps` iterates from (x0, y0), as the module makes them;
// empty when the guard stops the map.
struct Floats {
    std::vector<float> x, y;
};

inline Floats floatsOf(float a, float b, float x0, float y0, int64_t steps)
{
    Floats floats;
    float x = x0, y = y0;
    for (int64_t n = 0; n < steps; ++n) {
        float nextX = 0.0f, nextY = 0.0f;
        if (!tessel::mapStep(x, y, a, b, nextX, nextY)) return {};
        floats.x.push_back(x = nextX);
        floats.y.push_back(y = nextY);
    }
    return floats;
}

struct Point {
    long double x, y;
};

struct Map {
    long double constant, quadratic, yFactor;

    Map(float a, float b) : constant(tessel::kConstantTerm), quadratic(100.0L * a), yFactor(10.0L * b) {}
    Point operator()(Point p) const { return {(p.y + constant) - quadratic * p.x * p.x, yFactor * p.x}; }
};

// The verdict where the judge is sure.
enum class Verdict { Unsure, Cycle, NoCycle };

struct Judged {
    Verdict verdict = Verdict::Unsure;
    int32_t period = 0;                 // Cycle: its least period
    long double largestMultiplier = 0;  // Cycle: the size of its larger multiplier
    long double floatsAway = 0;         // Cycle: the floats' largest distance from its nearest point, last 1024
};

namespace detail {

// Newton on the period's map G(z) = F^p(z) - z from z, in long double; the
// refined point and the Jacobian of F^p there, or nothing.
struct Solved {
    Point point;
    long double xx, xy, yx, yy;
};

inline std::optional<Solved> solve(const Map& map, Point z, int32_t period)
{
    for (int step = 0; step < 8; ++step) {
        Point p = z;
        long double xx = 1, xy = 0, yx = 0, yy = 1;
        for (int32_t k = 0; k < period; ++k) {
            const long double slope = -2.0L * map.quadratic * p.x;
            const long double nextXX = slope * xx + yx, nextXY = slope * xy + yy;
            yx = map.yFactor * xx;
            yy = map.yFactor * xy;
            xx = nextXX;
            xy = nextXY;
            p = map(p);
        }
        const Solved solved{z, xx, xy, yx, yy};
        const long double gx = p.x - z.x, gy = p.y - z.y;
        const long double ax = xx - 1, ay = yy - 1, det = ax * ay - xy * yx;
        if (!std::isfinite(det) || det == 0) return std::nullopt;
        const long double dx = (ay * gx - xy * gy) / det, dy = (ax * gy - yx * gx) / det;
        z = {z.x - dx, z.y - dy};
        if (std::fabs(dx) + std::fabs(dy) < 1e-18L) return solved;
    }
    return std::nullopt;
}

// The map run kRun steps from the floats' last state: its last 2·kLongest
// states, or none when it leaves the map's reach.
constexpr int64_t kRun = int64_t{1} << 17;
constexpr int32_t kLongest = 512;

inline std::vector<Point> finalOrbit(const Map& map, const Floats& floats)
{
    std::vector<Point> orbit;
    Point p{floats.x.back(), floats.y.back()};
    for (int64_t n = 0; n < kRun; ++n) {
        if (!(std::fabs(p.x) < 1 && std::fabs(p.y) < 1)) return {};
        if (n >= kRun - 2 * kLongest) orbit.push_back(p);
        p = map(p);
    }
    return orbit;
}

// The least period up to kLongest with which the orbit repeats within `gap`; 0: none.
inline int32_t repeatPeriod(const std::vector<Point>& orbit, long double gap)
{
    const auto repeatsWithin = [&](int32_t period) {
        for (size_t i = size_t(period); i < orbit.size(); ++i)
            if (std::fabs(orbit[i].x - orbit[i - size_t(period)].x) > gap ||
                std::fabs(orbit[i].y - orbit[i - size_t(period)].y) > gap)
                return false;
        return true;
    };
    for (int32_t q = 1; q <= kLongest; ++q)
        if (repeatsWithin(q)) return q;
    return 0;
}

// Repetition within 1e-15 may first come at twice the least period, where a
// multiplier near -1 flips the orbit's last deviation each time round; the
// solved point tells.
inline int32_t leastPeriod(const Map& map, Point point, int32_t period)
{
    for (int32_t q = 1; q < period; ++q) {
        if (period % q != 0) continue;
        Point p = point;
        for (int32_t k = 0; k < q; ++k) p = map(p);
        if (std::fabs(p.x - point.x) + std::fabs(p.y - point.y) < 1e-15L) return q;
    }
    return period;
}

// The size of the larger multiplier of a solved cycle.
inline long double largestMultiplier(const Solved& solved)
{
    const long double trace = solved.xx + solved.yy;
    const long double det = solved.xx * solved.yy - solved.xy * solved.yx;
    const long double discriminant = trace * trace - 4 * det;
    return discriminant >= 0 ? (std::fabs(trace) + std::sqrt(discriminant)) / 2 : std::sqrt(det);
}

// The floats' largest distance from the cycle's nearest point, over their
// last `last` states.
inline long double floatsAway(const Floats& floats, const std::vector<Point>& cycle, size_t last)
{
    long double away = 0;
    for (size_t i = floats.x.size() - last; i < floats.x.size(); ++i) {
        long double nearest = INFINITY;
        for (const Point& c : cycle)
            nearest = std::fmin(nearest, std::fmax(std::fabs(floats.x[i] - c.x), std::fabs(floats.y[i] - c.y)));
        away = std::fmax(away, nearest);
    }
    return away;
}

// How near the cycle's nearest point the map comes in 8192 steps from the
// floats' last state.
inline long double reachedFrom(const Map& map, const Floats& floats, const std::vector<Point>& cycle)
{
    Point q{floats.x.back(), floats.y.back()};
    for (int32_t n = 0; n < 8192; ++n) q = map(q);
    long double reached = INFINITY;
    for (const Point& c : cycle) reached = std::fmin(reached, std::fmax(std::fabs(q.x - c.x), std::fabs(q.y - c.y)));
    return reached;
}

}  // namespace detail

// Sure of a cycle when the map, run 2^17 steps from the floats' last state,
// has converged onto a cycle of period at most 512 to 1e-15, the cycle
// solved by Newton attracts with its multipliers clearly inside the unit
// circle, and the floats' last 1024 states lie within half a millivolt of
// its points. Sure of none when the map leaves, or its last states repeat
// with no period up to 512 even within 1e-6, or it is on a cycle the floats'
// last 256 states are not all within two millivolts of and that it reaches
// from their last state within 1e-9 in 8192 steps.
inline Judged judge(float a, float b, const Floats& floats)
{
    using namespace detail;
    const Map map(a, b);
    const std::vector<Point> orbit = finalOrbit(map, floats);
    if (orbit.empty()) return {Verdict::NoCycle};
    const int32_t repeating = repeatPeriod(orbit, 1e-15L);
    if (repeating == 0) return repeatPeriod(orbit, 1e-6L) > 0 ? Judged{} : Judged{Verdict::NoCycle};

    const auto solved = solve(map, orbit.back(), repeating);
    if (!solved) return {};
    const int32_t period = leastPeriod(map, solved->point, repeating);
    const auto least = solve(map, solved->point, period);
    if (!least) return {};
    const long double largest = largestMultiplier(*least);
    std::vector<Point> cycle{least->point};
    for (int32_t k = 1; k < period; ++k) cycle.push_back(map(cycle.back()));

    const long double away = floatsAway(floats, cycle, 1024);
    if (away <= 0.5e-4L && largest < 1 - 1e-6L) return {Verdict::Cycle, period, largest, away};
    // Floats far from a cycle the map reaches quickly from their state are
    // elsewhere; far from one it reaches slowly, they may be on their way.
    if (floatsAway(floats, cycle, 256) > 2e-4L && reachedFrom(map, floats, cycle) < 1e-9L) return {Verdict::NoCycle};
    return {};
}

}  // namespace slow
