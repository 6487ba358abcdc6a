// The chart's colour legend: tessel-render's entries, words and colours,
// asked of the module's WebAssembly build, so the legend cannot drift from
// the chart or from the tool's picture. No DOM.

/** @typedef {import("../engine/tessel.js").TesselMap} TesselMap */
/** @typedef {import("../engine/tessel.js").Rgb} Rgb */
/**
 * An entry: its group's heading (on its first entry), the words before and after its swatch, the swatch's size
 * and its colour at a share of its width (and at a pixel, for hatching: only a hatched swatch's colour changes down
 * a column).
 * @typedef {{heading: string, before: string, words: string, size: {width: number, height: number},
 *   hatched: boolean, colourAt: (share: number, column: number, row: number) => Rgb}} LegendEntry
 */

const SWATCH = { width: 28, height: 14 };
const BAR = { width: 56, height: 14 };

/**
 * The legend's entries for a chart of `steps` a point, its tones at `rate`.
 * @param {TesselMap} tessel @param {number} steps @param {number} rate @returns {LegendEntry[]}
 */
export function legendEntries(tessel, steps, rate) {
  return tessel.figures.legend(steps, rate).map((entry) => {
    const hatched = entry.swatch === "hatched";
    return {
      heading: entry.heading,
      before: entry.before,
      words: entry.words.replaceAll("\n", " "),
      size: entry.swatch === "stops" || entry.swatch === "chaos" ? BAR : SWATCH,
      hatched,
      colourAt: hatched
        ? (share, column, row) => tessel.hatched(entry.colourAt(share), column, row)
        : (share) => entry.colourAt(share),
    };
  });
}
