// The chart's judgement of points: one judge per rate inside the .wasm, a
// point at a time or many at once with several orbits in flight.
import { wholeNumber } from "./wasm-memory.js";

/** @typedef {import("./tessel.js").TesselMap} TesselMap */
/** @typedef {import("./records").Orbit} Orbit */
/** @typedef {number | Float64Array} Inputs */
/**
 * Verdicts in columns, one entry a point: outcome an index of facts.outcomes, settle -1 where the CSV leaves it
 * empty, rounding 1 for a rounding cycle; without a cycle's lines, which only a point's words need.
 * @typedef {{outcome: Int8Array, period: Int32Array, steps: Int32Array, settle: Int32Array, lyapunov: Float64Array,
 *   rounding: Uint8Array}} VerdictColumns
 */

export class PointJudges {
  /** @type {import("./calls").WasmExports} */
  #exports;
  #map;
  /** @type {Map<number, number>} rate -> judge handle */
  #judges = new Map();

  /** @param {import("./calls").WasmExports} exports @param {TesselMap} map */
  constructor(exports, map) {
    this.#exports = exports;
    this.#map = map;
  }

  /** One judge per rate, made on first use and kept: a hosted instance. @param {number} rate */
  #judge(rate) {
    let judge = this.#judges.get(rate);
    if (judge === undefined) {
      judge = this.#exports.tessel_judge_new(rate);
      if (judge === 0) throw new Error("tessel-map.wasm made no instance (out of memory?)");
      this.#judges.set(rate, judge);
    }
    return judge;
  }

  /** @param {string} name @param {number | string} volts */
  #signal(name, volts) {
    const signal = this.#map.signalOf(Number(volts));
    if (!Number.isFinite(signal)) throw new RangeError(`${name}: ${volts} V is no finite 32-bit sample`);
    return signal;
  }

  /** The volts an input takes unless set: its declared default text. @param {string} name */
  #pinDefault(name) {
    return Number(this.#map.pin(name).default);
  }

  /**
   * The chart's judgement of one point: a hosted instance, Continuous with Normalize off, reset to x0, y0,
   * and its next `steps` outputs judged.
   * @param {{a: number, b: number, x0?: number, y0?: number, steps?: number, rate?: number}} point
   * @returns {Orbit}
   */
  analysePoint({ a, b, x0 = 0, y0 = 0, steps = this.#map.facts.steps.chart, rate = this.#map.facts.rate.usual }) {
    wholeNumber("steps", steps, this.#map.facts.steps.least, this.#map.facts.steps.most);
    wholeNumber("rate", rate, this.#map.facts.rate.least, this.#map.facts.rate.most);
    const inputs = [this.#signal("a", a), this.#signal("b", b), this.#signal("x0", x0), this.#signal("y0", y0)];
    const at = this.#exports.tessel_judge_point(this.#judge(rate), inputs[0], inputs[1], inputs[2], inputs[3], steps);
    const record = new DataView(this.#exports.memory.buffer, at, this.#map.facts.verdict.size);
    /** @type {Record<string, number>} */
    const verdict = {};
    for (const { name, offset, type } of this.#map.facts.verdict.fields) {
      verdict[name] = type === "float64" ? record.getFloat64(offset, true) : record.getInt32(offset, true);
    }
    return {
      a: this.#map.voltsOf(inputs[0]),
      b: this.#map.voltsOf(inputs[1]),
      x0: this.#map.voltsOf(inputs[2]),
      y0: this.#map.voltsOf(inputs[3]),
      outcome: this.#map.facts.outcomes[verdict.outcome],
      period: verdict.period,
      steps: verdict.steps,
      lyapunov: verdict.lyapunov,
      settle: verdict.settle,
      rounding: verdict.rounding !== 0,
      loudest: verdict.loudest,
      fundamentalBelowDb: verdict.fundamentalBelowDb,
    };
  }

  /**
   * The chart's judgement of many points at once, several orbits in flight: each verdict as analysePoint's but
   * for a cycle's lines (loudest, fundamentalBelowDb), in columns.
   * @param {{a: Inputs, b: Inputs, x0: Inputs, y0: Inputs, steps: number, rate: number}} points in volts: each
   *   input one value for every point or one for each
   * @returns {VerdictColumns}
   */
  judgePoints({ a, b, x0, y0, steps, rate }) {
    let count = 0;
    for (const v of [a, b, x0, y0]) if (typeof v !== "number") count = Math.max(count, v.length);
    // An input held for every point is converted once.
    const signals = [this.#signals("a", a), this.#signals("b", b), this.#signals("x0", x0), this.#signals("y0", y0)];
    /** @param {number | Float32Array} v @param {number} i */
    const at = (v, i) => (typeof v === "number" ? v : v[i]);
    /** @type {VerdictColumns} */
    const columns = { outcome: new Int8Array(count), period: new Int32Array(count), steps: new Int32Array(count),
      settle: new Int32Array(count), lyapunov: new Float64Array(count), rounding: new Uint8Array(count) };
    const exports = this.#exports;
    const judge = this.#judge(rate);
    const most = this.#map.facts.chartSide.most;
    for (let from = 0; from < count; from += most) {
      const n = Math.min(most, count - from);
      // The room is made first: making it may grow the memory, which detaches an earlier view of it.
      const room = exports.tessel_judge_batch(judge, n);
      const inputs = new Float32Array(exports.memory.buffer, room, 4 * n);
      for (let i = 0; i < n; ++i) {
        for (let input = 0; input < 4; ++input) inputs[4 * i + input] = at(signals[input], from + i);
      }
      const records = exports.tessel_judge_points(judge, n, steps);
      if (records === 0) throw new RangeError(`steps: ${steps} is not a chart's step count`);
      this.#readColumns(columns, records, from, n);
    }
    return columns;
  }

  /**
   * An input's signals: one for every point, or one for each. @param {string} name @param {Inputs} volts
   * @returns {number | Float32Array}
   */
  #signals(name, volts) {
    if (typeof volts === "number") return this.#signal(name, volts);
    const signals = new Float32Array(volts.length);
    for (let i = 0; i < volts.length; ++i) signals[i] = this.#signal(name, volts[i]);
    return signals;
  }

  /**
   * `n` verdict records at `records` into the columns from `from` on.
   * @param {Record<string, any>} columns @param {number} records @param {number} from @param {number} n
   */
  #readColumns(columns, records, from, n) {
    const { size, fields } = this.#map.facts.verdict;
    const view = new DataView(this.#exports.memory.buffer, records, size * n);
    for (const { name, offset, type } of fields.filter((field) => field.name in columns)) {
      const column = columns[name];
      for (let i = 0; i < n; ++i) {
        column[from + i] = type === "float64" ? view.getFloat64(size * i + offset, true)
          : view.getInt32(size * i + offset, true);
      }
    }
  }

  /**
   * `width` analysePoint results, point i across at pointVolts(lo, hi, width, i). Plane 'ab': a across,
   * b = fixed, from x0, y0. Plane 'xy': x0 across, y0 = fixed, at a, b. For row j of a chart of height H give
   * fixed = pointVolts(upLo, upHi, H, j): the rows of tessel-render --chart-data --size {width}xH, bottom
   * row first. a, b, x0 and y0 default to their pins' defaults.
   * @param {{plane?: string, lo: number, hi: number, fixed: number, width: number, steps?: number,
   *   rate?: number, a?: number, b?: number, x0?: number, y0?: number}} row
   */
  chartRow({ plane = "ab", lo, hi, fixed, width, steps = this.#map.facts.steps.chart,
    rate = this.#map.facts.rate.usual, a = this.#pinDefault("a"), b = this.#pinDefault("b"),
    x0 = this.#pinDefault("x0"), y0 = this.#pinDefault("y0") }) {
    if (plane !== "ab" && plane !== "xy") throw new RangeError(`plane: '${plane}' is neither 'ab' nor 'xy'`);
    wholeNumber("width", width, this.#map.facts.chartSide.least, this.#map.facts.chartSide.most);
    const row = [];
    for (let i = 0; i < width; ++i) {
      const across = this.#map.pointVolts(lo, hi, width, i);
      row.push(plane === "ab"
        ? this.analysePoint({ a: across, b: fixed, x0, y0, steps, rate })
        : this.analysePoint({ a, b, x0: across, y0: fixed, steps, rate }));
    }
    return row;
  }
}
