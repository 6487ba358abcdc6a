// The pictures' rules, asked of the .wasm so that the page draws as tessel-render does: ticks, the chart's
// legend, and the take's attractor and traces from its samples.
import { textAt } from "./wasm-memory.js";

/** @typedef {import("./records").Rgb} Rgb */
/** @typedef {import("./records").View} View */
/** @typedef {import("./records").LegendEntry} LegendEntry */

/** @param {number} colour @returns {Rgb} */
export const rgbOf = (colour) => [(colour >>> 16) & 255, (colour >>> 8) & 255, colour & 255];

export class Figures {
  /** @type {import("./calls").WasmExports} */
  #exports;
  #samples = 0;

  /** @param {import("./calls").WasmExports} exports */
  constructor(exports) {
    this.#exports = exports;
  }

  /**
   * The samples a take's traces show of its `samples`, at a Gate clock of `gateHz` (0: Continuous).
   * @param {number} gateHz @param {number} rate @param {number} samples @returns {number}
   */
  traceSamples(gateHz, rate, samples) {
    return this.#exports.tessel_trace_samples(gateHz, rate, samples);
  }

  /**
   * Ticks at round values over [low, high], about `wanted` of them, each with its label.
   * @param {number} low @param {number} high @param {number} wanted @returns {{value: number, text: string}[]}
   */
  ticks(low, high, wanted) {
    return JSON.parse(textAt(this.#exports, this.#exports.tessel_ticks(low, high, wanted)));
  }

  /**
   * The chart's legend at `steps` a point, its tones at `rate`: tessel-render's entries and words.
   * @param {number} steps @param {number} rate @returns {LegendEntry[]}
   */
  legend(steps, rate) {
    const entries = [];
    for (let at; (at = this.#exports.tessel_legend_entry(steps, rate, entries.length)) !== 0;) {
      const index = entries.length;
      const entry = JSON.parse(textAt(this.#exports, at));
      entries.push({ ...entry,
        colourAt: (/** @type {number} */ share) =>
          rgbOf(this.#exports.tessel_legend_colour(steps, rate, index, share)) });
    }
    return entries;
  }

  /**
   * Takes the samples the attractor and the traces are drawn from.
   * @param {Float32Array} x @param {Float32Array} y
   */
  setTake(x, y) {
    const at = this.#exports.tessel_take_samples(x.length);
    if (at === 0) throw new RangeError("the take has no samples");
    const samples = new Float32Array(this.#exports.memory.buffer, at, 2 * x.length);
    samples.set(x);
    samples.set(y, x.length);
    this.#samples = x.length;
  }

  /**
   * The take's attractor `width` by `height` pixels: RGBA from the top row, its view (signal scale) and how many
   * pixels the samples visited.
   * @param {number} width @param {number} height
   * @returns {{pixels: Uint8ClampedArray, view: View, visited: number}}
   */
  attractor(width, height) {
    const at = this.#exports.tessel_attractor(width, height);
    if (at === 0) throw new RangeError(`no attractor of ${width}x${height} pixels`);
    const pixels = new Uint8ClampedArray(this.#exports.memory.buffer, at, 4 * width * height).slice();
    const [xLow, xHigh, yLow, yHigh, visited] =
      new Float64Array(this.#exports.memory.buffer, this.#exports.tessel_attractor_view(), 5);
    return { pixels, view: { xLow, xHigh, yLow, yHigh }, visited };
  }

  /**
   * Where `traced` samples of traces of a take of `samples` start: at the sample its cycle settled from
   * (`settle`, -1: none), earlier where the take ends first.
   * @param {number} settle @param {number} traced @param {number} samples @returns {number}
   */
  traceStart(settle, traced, samples) {
    return this.#exports.tessel_trace_start(settle, traced, samples);
  }

  /**
   * What the traces show, for their heading: "the first 221 samples", "221 samples from sample 383, where the
   * cycle has settled".
   * @param {number} start @param {number} count @param {number} settle @returns {string}
   */
  traceWords(start, count, settle) {
    return textAt(this.#exports, this.#exports.tessel_trace_words(start, count, settle));
  }

  /**
   * A staircase of x or y over `count` of the take's samples from `start`, `columns` wide and `height` tall,
   * showing [low, high] (signal scale): each column's top row and rows covered (0: none), and the row of 0 V (-1:
   * none).
   * @param {"x" | "y"} output @param {number} start @param {number} count @param {number} columns
   * @param {number} height @param {number} low @param {number} high
   */
  trace(output, start, count, columns, height, low, high) {
    const at = this.#exports.tessel_trace(output === "x" ? 0 : 1, start, Math.min(count, this.#samples - start),
      columns, height, low, high);
    if (at === 0) throw new RangeError(`no trace of ${count} samples in ${columns}x${height} pixels`);
    const rows = new Int32Array(this.#exports.memory.buffer, at, 2 * columns + 1).slice();
    return { rows: rows.subarray(0, 2 * columns), zero: rows[2 * columns] };
  }
}
