// Several points judged at once on one thread. One orbit's steps form a chain
// in which each waits for the one before; a handful of orbits stepped in turn
// keep the processor busy while each chain waits. Each orbit is PointOrbit's,
// state for state, and each verdict the one judgePoint gives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "orbit_analysis.h"

namespace analysis {

// Orbits in flight at a time: on a 32-bit build more lanes than this spill
// their states to memory and gain nothing.
constexpr int32_t kLanes = 4;

// The next point to judge and the number its verdict is handed back under;
// false when none is left.
using NextPoint = std::function<bool(PointStart& start, size_t& id)>;
using PointJudged = std::function<void(size_t id, const OrbitClass& verdict)>;

// Judges points of `steps` iterates each until `next` has none left, in any
// order of completion.
void judgePoints(int64_t steps, const NextPoint& next, const PointJudged& judged);

// verdicts[i] is the judgement of points[i]; the spans are equally long.
void judgePoints(std::span<const PointStart> points, int64_t steps, std::span<OrbitClass> verdicts);

// The lanes' stepping alone, for the benchmark: each point's states made as
// judgePoints makes them, and dropped.
void stepPoints(std::span<const PointStart> points, int64_t steps);

}  // namespace analysis
