// One step of the map in the signal scale (1.0 = 10 V): x' = y + 0.1 - 100·a·x²,
// y' = 10·b·x, and the divergence guard that judges it.
#pragma once

namespace tessel {

// Signal path constants. They are floats on purpose: the arithmetic widens
// them exactly, so 0.1 is the float nearest 0.1.
constexpr float kConstantTerm = 0.1f;  // the map's "1", i.e. 1 V
constexpr float kQuadraticFactor = 100.0f;
constexpr float kYFactor = 10.0f;
constexpr float kUpperBound = 0.2f;  // 2 V: a step reaching it stops the map
constexpr float kLowerBound = -0.2f;
constexpr float kNormalizeGain = 3.33f;  // about +-5 V out of the attractor's range

// Double arithmetic in the stated grouping on operands widened exactly, one
// rounding to float per value. False when the guard stops the map; it judges
// the stored floats, not the doubles.
[[gnu::always_inline]] inline bool mapStep(float stateX, float stateY, float a, float b, float& nextX, float& nextY)
{
    const double x = stateX, y = stateY;
    nextX = static_cast<float>((y + double{kConstantTerm}) - ((x * x) * double{a}) * double{kQuadraticFactor});
    nextY = static_cast<float>((x * double{b}) * double{kYFactor});
    return nextX > kLowerBound && nextX < kUpperBound && nextY > kLowerBound && nextY < kUpperBound;
}

}  // namespace tessel
