// Tessel Map in WebAssembly: the module itself (build/wasm/tessel-map.wasm,
// preset `wasm`), hosted inside the .wasm as a host holds it, wrapped for
// JavaScript. The same bits as the native module and `tessel-render`.
//
// Plain ES module without fetch or DOM: it runs unchanged in Node, on a page's
// main thread, in a Web Worker and in an AudioWorkletGlobalScope. The caller
// supplies the .wasm's bytes (an ArrayBuffer or a Uint8Array).
//
//   const map = await loadTesselMap(bytes);      // or loadTesselMapSync(bytes) in a
//                                                // worker or worklet (browsers refuse a
//                                                // synchronous compile this large on a page)
//   const take = map.newInstance({ rate: 44100 });
//   take.set({ a: 1.4, b: 0.3 });                 // volts, as on the pins
//   const { x, y } = take.render(44100);          // Float32Arrays, x and y outputs
//   take.free();
//
// The .wasm's calls are declared in one table, wasm/calls.def; calls.d.ts, made
// from it by scripts/make-wasm-calls, types them here.
import { Figures, rgbOf } from "./figures.js";
import { MapInstance } from "./map-instance.js";
import { textAt, textOrNull, wholeNumber, writeSignalText } from "./wasm-memory.js";
import { PointJudges } from "./point-judges.js";

export { MapInstance };

/** @typedef {import("./calls").WasmExports} WasmExports */
/** @typedef {import("./records").Facts} Facts */
/** @typedef {import("./records").Pin} Pin */
/** @typedef {import("./records").Orbit} Orbit */
/** @typedef {import("./records").OrbitFields} OrbitFields */
/** @typedef {import("./records").Rgb} Rgb */
/** @typedef {import("./records").SignalFields} SignalFields */

/** @param {ArrayBuffer | ArrayBufferView} bytes */
function bytesOf(bytes) {
  if (bytes instanceof ArrayBuffer || ArrayBuffer.isView(bytes)) return bytes;
  throw new TypeError("tessel-map.wasm: give its bytes as an ArrayBuffer or a Uint8Array");
}

/** @param {ArrayBuffer | ArrayBufferView | WebAssembly.Module} code the .wasm's bytes or the module compiled */
export async function loadTesselMap(code) {
  if (code instanceof WebAssembly.Module) return new TesselMap(await WebAssembly.instantiate(code, {}));
  const { instance } = await WebAssembly.instantiate(bytesOf(code), {});
  return new TesselMap(instance);
}

/**
 * The module compiled once may be posted to workers: they then share its machine code, and the engine optimises
 * each hot function once for all of them rather than once in each.
 * @param {ArrayBuffer | ArrayBufferView | WebAssembly.Module} code the .wasm's bytes or the module compiled
 */
export function loadTesselMapSync(code) {
  const module = code instanceof WebAssembly.Module ? code : new WebAssembly.Module(bytesOf(code));
  return new TesselMap(new WebAssembly.Instance(module, {}));
}

/** @param {Rgb} rgb */
const packed = ([r, g, b]) => ((r << 16) | (g << 8) | b) >>> 0;

export class TesselMap {
  /** @type {WasmExports} the .wasm's calls: their table is wasm/calls.def */
  #exports;
  /** @type {PointJudges} */
  #points;

  /** @param {WebAssembly.Instance} instance */
  constructor(instance) {
    this.#exports = /** @type {WasmExports} */ (/** @type {unknown} */ (instance.exports));
    this.#exports._initialize();
    const facts = JSON.parse(textAt(this.#exports, this.#exports.tessel_facts()));
    facts.pins = [];
    for (let at; (at = this.#exports.tessel_pin(facts.pins.length)) !== 0;) {
      facts.pins.push(Object.freeze(JSON.parse(textAt(this.#exports, at))));
    }
    Object.freeze(facts.pins);
    /** @type {Readonly<Facts>} */
    this.facts = Object.freeze(facts);
    this.#points = new PointJudges(this.#exports, this);
    /** The pictures' rules, tessel-render's. */
    this.figures = new Figures(this.#exports);
  }

  /** The pin of that name in facts.pins; RangeError for none. @param {string} name */
  pin(name) {
    const pin = this.facts.pins.find((declared) => declared.name === name);
    if (pin === undefined) throw new RangeError(`'${name}' is no pin the module declares`);
    return pin;
  }

  /**
   * One hosted instance, opened: Continuous, Normalize on, every input 0 V, Gate clock 0 Hz (Gate at 0 V).
   * `block`: the most samples per process call. RangeError for a rate or a block outside the facts' limits.
   * @param {{rate?: number, block?: number}} options
   */
  newInstance({ rate = this.facts.rate.usual, block = this.facts.block.usual } = {}) {
    wholeNumber("rate", rate, this.facts.rate.least, this.facts.rate.most);
    wholeNumber("block", block, this.facts.block.least, this.facts.block.most);
    const handle = this.#exports.tessel_new(rate, block);
    if (handle === 0) throw new Error("tessel-map.wasm made no instance (out of memory?)");
    return new MapInstance(this.#exports, handle, this);
  }

  /**
   * The verdict's words explained, in the glossary's order.
   * @returns {{id: string, term: string, phrases: string[], explains: string}[]}
   */
  get glossary() {
    const entries = [];
    for (let at; (at = this.#exports.tessel_glossary_entry(entries.length)) !== 0;) {
      entries.push(JSON.parse(textAt(this.#exports, at)));
    }
    return entries;
  }

  /** The longest take tessel-render renders, in seconds: the longest recording it can replay. */
  get mostTakeSeconds() {
    return this.#exports.tessel_most_take_seconds();
  }

  /** The float the module sees for a voltage: float(volts / 10). @param {number} volts @returns {number} */
  signalOf(volts) {
    return this.#exports.tessel_signal_of(volts);
  }

  /** The shortest decimal volts whose signalOf is `signal`. @param {number} signal */
  voltsOf(signal) {
    const value = Math.fround(signal);
    if (!Number.isFinite(value)) return value;
    return Number(textAt(this.#exports, this.#exports.tessel_volts_text(value)));
  }

  /**
   * Why a signal text in tessel-render's grammar (sine:CENTRE:DEPTH:HZ[:PHASE], ...) is refused over a take
   * of `samples` at `rate`, or null.
   * @param {string} text @param {{rate?: number, samples: number}} take
   */
  signalError(text, { rate = this.facts.rate.usual, samples }) {
    writeSignalText(this.#exports, text);
    return textOrNull(this.#exports, this.#exports.tessel_signal_error(rate, samples));
  }

  /**
   * A signal text's fields as tessel-render's grammar reads them over a take of `samples` at `rate`, or null
   * where it is refused.
   * @param {string} text @param {{rate?: number, samples: number}} take @returns {SignalFields | null}
   */
  signalFields(text, { rate = this.facts.rate.usual, samples }) {
    writeSignalText(this.#exports, text);
    const at = this.#exports.tessel_signal_fields(rate, samples);
    return at === 0 ? null : JSON.parse(textAt(this.#exports, at));
  }

  /**
   * `count` samples (signal scale) of the signal, sample every * i for i from 0.
   * @param {string} text @param {{rate?: number, samples: number, every?: number, count: number}} take
   */
  signalSamples(text, { rate = this.facts.rate.usual, samples, every = 1, count }) {
    writeSignalText(this.#exports, text);
    const at = this.#exports.tessel_signal_samples(rate, samples, every, count);
    if (at === 0) throw new RangeError(this.signalError(text, { rate, samples }) || `count: ${count}`);
    return new Float32Array(this.#exports.memory.buffer, at, count).slice();
  }


  /**
   * Point i of `count` across [lo, hi], as the chart computes it.
   * @param {number} lo @param {number} hi @param {number} count @param {number} i @returns {number}
   */
  pointVolts(lo, hi, count, i) {
    return this.#exports.tessel_point_volts(lo, hi, count, i);
  }

  /** The chart's judgement of one point: see PointJudges. @param {Parameters<PointJudges["analysePoint"]>[0]} point */
  analysePoint(point) {
    return this.#points.analysePoint(point);
  }

  /** Many points' judgements in columns: see PointJudges. @param {Parameters<PointJudges["judgePoints"]>[0]} points */
  judgePoints(points) {
    return this.#points.judgePoints(points);
  }

  /** A row of a chart: see PointJudges. @param {Parameters<PointJudges["chartRow"]>[0]} row */
  chartRow(row) {
    return this.#points.chartRow(row);
  }

  /**
   * tessel-render's words for an orbit, a cycle's tone at the sample rate `rate` (Continuous) or at a Gate
   * clock of `clock` Hz (Gated, one step per tick).
   * @param {OrbitFields} orbit @param {{rate?: number, clock?: number}} stepping
   */
  describeOrbit(orbit, stepping) {
    return this.#words(this.#exports.tessel_describe, orbit, stepping);
  }

  /**
   * The same orbit in the short words a musician reads first, as tessel-render's report says them; a stop that a
   * Reset clock of `resetHz` restarts said so.
   * @param {OrbitFields} orbit @param {{rate?: number, clock?: number, resetHz?: number}} stepping
   */
  summarizeOrbit(orbit, { resetHz = 0, ...stepping }) {
    return this.#words(this.#exports.tessel_summarize, orbit, stepping, resetHz);
  }

  /**
   * Why a gated take whose a or b moves is judged at the LFOs' centres, said after its verdict, in short or
   * exactly.
   * @param {boolean} inShort @returns {string}
   */
  unjudgedPath(inShort) {
    return textAt(this.#exports, this.#exports.tessel_unjudged_path(inShort ? 1 : 0));
  }

  /**
   * @param {Function} wordsOf @param {OrbitFields} orbit @param {{rate?: number, clock?: number}} stepping
   * @param {...number} more what the words take after the orbit's fields
   * @returns {string}
   */
  #words(wordsOf, orbit, { rate, clock }, ...more) {
    const gated = clock !== undefined;
    const at = wordsOf(this.#outcomeCode(orbit), orbit.period ?? 0, orbit.steps ?? 0, orbit.settle ?? -1,
      orbit.lyapunov ?? 0, orbit.rounding ? 1 : 0, gated ? clock : rate, gated ? 1 : 0, orbit.loudest ?? 0,
      orbit.fundamentalBelowDb ?? 0, ...more);
    return textAt(this.#exports, at);
  }

  /** Whether an orbit holds one level: a cycle of period 1. @param {OrbitFields} orbit */
  isConstant(orbit) {
    return this.#exports.tessel_is_constant(this.#outcomeCode(orbit), orbit.period ?? 0) !== 0;
  }

  /**
   * The chart's colour (0xRRGGBB) of a verdict judged over `chartSteps`, its fields as judgePoints' columns hold
   * them (outcome an index of facts.outcomes): a chart paints many at once, with no object for each.
   * @param {number} outcome @param {number} period @param {number} steps @param {number} lyapunov
   * @param {number} chartSteps
   */
  chartColour(outcome, period, steps, lyapunov, chartSteps) {
    return this.#exports.tessel_chart_colour(outcome, period, steps, lyapunov, chartSteps);
  }

  /** A rounding cycle's pixel of a colour. @param {Rgb} colour @param {number} column @param {number} row */
  hatched(colour, column, row) {
    return rgbOf(this.hatchedColour(packed(colour), column, row));
  }

  /** The same, the colours packed as 0xRRGGBB. @param {number} colour @param {number} column @param {number} row */
  hatchedColour(colour, column, row) {
    return this.#exports.tessel_hatched(colour, column, row);
  }

  /** The inferno colour map, t from 0 (dark) to 1 (bright). @param {number} t */
  inferno(t) {
    return rgbOf(this.#exports.tessel_inferno(t));
  }

  /** @param {OrbitFields} orbit */
  #outcomeCode(orbit) {
    const code = this.facts.outcomes.indexOf(orbit.outcome);
    if (code < 0) throw new RangeError(`outcome: '${orbit.outcome}' is none of ${this.facts.outcomes.join(", ")}`);
    return code;
  }
}
