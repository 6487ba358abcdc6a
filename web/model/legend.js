// The chart's colour legend: every colour asked of the module as the chart's
// own points are, so the legend cannot drift from the chart. Cycle colours
// are grouped by the runs of periods sharing one. No DOM.

/** @typedef {import("../engine/tessel.js").TesselMap} TesselMap */
/** @typedef {import("../engine/tessel.js").Rgb} Rgb */
/** @typedef {import("../engine/tessel.js").OrbitFields} OrbitFields */
/**
 * An entry: its words, its swatch's size and the colour at a share of its width (and at a pixel, for hatching).
 * @typedef {{words: string, size: {width: number, height: number},
 *   colourAt: (share: number, column: number, row: number) => Rgb}} LegendEntry
 */

const SWATCH = { width: 28, height: 14 };
const BAR = { width: 56, height: 14 };
/** @param {Rgb} rgb */
const CSS_RGB = (rgb) => `rgb(${rgb.join(",")})`;

/**
 * Periods 1 up to the longest cycle looked for, in runs of one colour.
 * @param {TesselMap} tessel @param {number} steps @returns {{from: number, to: number, colour: Rgb}[]}
 */
export function cycleRuns(tessel, steps) {
  /** @type {{from: number, to: number, colour: Rgb}[]} */
  const runs = [];
  for (let period = 1; period <= tessel.facts.periodLimit; period++) {
    const colour = tessel.chartColour({ outcome: "cycle", period, steps }, steps);
    const last = runs[runs.length - 1];
    if (last && CSS_RGB(last.colour) === CSS_RGB(colour)) last.to = period;
    else runs.push({ from: period, to: period, colour });
  }
  return runs;
}

/**
 * The Lyapunov exponents over which chaos changes colour, found by asking the colours.
 * @param {TesselMap} tessel @param {number} steps
 */
function chaosSpan(tessel, steps) {
  /** @param {number} lyapunov */
  const colourAt = (lyapunov) => CSS_RGB(tessel.chartColour({ outcome: "chaos", lyapunov, steps }, steps));
  const probes = Array.from({ length: 401 }, (_, k) => k / 200);
  const changes = probes.filter((l, k) => k > 0 && colourAt(l) !== colourAt(probes[k - 1]));
  return { low: changes[0] - 1 / 200, high: changes[changes.length - 1] };
}

/** @param {number} rate @param {number} period */
function hz(rate, period) {
  return `${Math.round(rate / period)} Hz`;
}

/**
 * The legend's entries for a chart of `steps` a point, its tones at `rate`.
 * @param {TesselMap} tessel @param {number} steps @param {number} rate @returns {LegendEntry[]}
 */
export function legendEntries(tessel, steps, rate) {
  /** @param {OrbitFields} orbit */
  const colour = (orbit) => tessel.chartColour({ steps, ...orbit }, steps);
  /** @param {Rgb} rgb */
  const plain = (rgb) => () => rgb;
  const chaos = chaosSpan(tessel, steps);
  const tones = cycleRuns(tessel, steps).map(({ from, to, colour: rgb }) => ({
    size: SWATCH,
    colourAt: plain(rgb),
    words: from === 1 && to === 1 ? "a constant: no tone"
      : from === to ? `period ${from}: ${hz(rate, from)}`
        : `period ${from}–${to}: ${hz(rate, from)} to ${hz(rate, to)}`,
  }));
  return [
    { size: BAR, words: `silent: stops at once … after ${steps} steps`,
      colourAt: (share) => colour({ outcome: "stops", steps: Math.round(Math.expm1(share * Math.log1p(steps))) }) },
    ...tones,
    { size: SWATCH, colourAt: plain(colour({ outcome: "quasi" })), words: "no cycle, not chaos (quasi-periodic)" },
    { size: BAR, words: "chaos, mild to strong: noise",
      colourAt: (share) => colour({ outcome: "chaos", lyapunov: chaos.low + share * (chaos.high - chaos.low) }) },
    { size: SWATCH, words: "hatched: a cycle only the floats' rounding makes",
      colourAt: (share, column, row) => tessel.hatched(colour({ outcome: "chaos", lyapunov: chaos.high / 2 }),
        column, row) },
  ];
}
