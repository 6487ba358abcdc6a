// The chart's axes: ticks at round values (1, 2 or 5 times a power of ten),
// written as the step's own decimals. No DOM.

/**
 * The round step giving at most `most` ticks over [low, high], and the decimals that write it.
 * @param {number} low @param {number} high @param {number} most
 */
export function roundStep(low, high, most) {
  const rough = (high - low) / most;
  const power = 10 ** Math.floor(Math.log10(rough));
  const step = [1, 2, 5, 10].map((m) => m * power).find((candidate) => candidate >= rough);
  return { step, decimals: Math.max(0, -Math.floor(Math.log10(step) + 1e-9)) };
}

/**
 * The ticks over [low, high]: { value, text, at } with `at` the share of the way from low.
 * @param {number} low @param {number} high @param {number} most
 */
export function ticksOf(low, high, most) {
  const { step, decimals } = roundStep(low, high, most);
  const ticks = [];
  for (let k = Math.ceil(low / step); k * step <= high; k++) {
    const value = k * step;
    ticks.push({ value, text: (value === 0 ? 0 : value).toFixed(decimals), at: (value - low) / (high - low) });
  }
  return ticks;
}
