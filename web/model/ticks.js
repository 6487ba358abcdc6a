// The chart's axes: ticks at round values as tessel-render places and writes
// them, asked of the module's WebAssembly build. No DOM.

/**
 * The ticks over [low, high], about `wanted` of them: { value, text, at } with `at` the share of the way from low.
 * @param {import("../engine/tessel.js").TesselMap} tessel @param {number} low @param {number} high
 * @param {number} wanted
 */
export function ticksOf(tessel, low, high, wanted) {
  return tessel.figures.ticks(low, high, wanted).map(({ value, text }) => ({ value, text, at: (value - low) / (high - low) }));
}
