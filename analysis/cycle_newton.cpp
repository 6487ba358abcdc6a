// Newton's method for a cycle of the exact map: all its points refined at
// once, reduced to the least period, and judged by its multipliers.
#include <algorithm>
#include <cmath>
#include <vector>

#include "exact_step.h"
#include "map_cycle.h"

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
// Two points of a refined cycle this close are the same point: converged
// points agree to about 1e-16, distinct ones sit at least some 1e-5 apart
// even a float's step of a beyond a period doubling.
constexpr double kSamePoint = 1e-10;

// [[xx, xy], [yx, yy]]
struct Matrix {
    double xx, xy, yx, yy;
};

constexpr Matrix kIdentity{1.0, 0.0, 0.0, 1.0};

Matrix times(const Matrix& l, const Matrix& r)
{
    return {l.xx * r.xx + l.xy * r.yx, l.xx * r.xy + l.xy * r.yy, l.yx * r.xx + l.yy * r.yx, l.yx * r.xy + l.yy * r.yy};
}

Matrix jacobian(const ExactMap& map, double x) { return {-2.0 * map.quadratic * x, 1.0, map.yFactor, 0.0}; }

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

}  // namespace

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

}  // namespace analysis
