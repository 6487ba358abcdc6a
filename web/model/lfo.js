// The explorer's moving inputs: an LFO on x0, y0, a or b as a signal text in
// tessel-render's own grammar (the .wasm parses it and makes its samples), the
// Reset clock, the chart path's length and the equivalent command line. No DOM.
import { INPUT_KNOBS, knobsOf, readField, voltsText } from "./settings.js";

/** @typedef {import("../engine/tessel.js").TesselMap} TesselMap */
/** @typedef {import("./settings.js").Settings} Settings */
/** @typedef {import("./settings.js").Lfo} Lfo */
/** @typedef {{low: number, high: number, initial: number}} Range */

export const LFO_INPUTS = INPUT_KNOBS;
export const LFO_SHAPES = ["sine", "triangle", "square", "saw"];
// What the LFO's controls offer.
export const LFO_HZ = Object.freeze({ low: 0.01, high: 20, initial: 0.5 });
export const RESET_HZ = Object.freeze({ low: 0.01, high: 20, initial: 1 });
// The path on the chart: one period of its LFOs, at most this long.
export const PATH_MOST_SECONDS = 100;
// The Hz of two LFOs line up on multiples of this, as typed with at most six decimals.
const HZ_UNITS = 1e6;

/**
 * A typed rate or depth, a decimal comma read as a point, held to its range; its initial value where it is
 * no number.
 * @param {string} text @param {Range} range
 */
export function lfoNumber(text, { low, high, initial }) {
  const read = readField(text, low, high, "");
  return read.ok ? read.value : initial;
}

/** The depth an input's LFO may have: its knob's whole span. @param {TesselMap} tessel @param {string} name */
export function mostDepth(tessel, name) {
  const knob = knobsOf(tessel)[/** @type {import("./settings.js").KnobName} */ (name)];
  return knob.high - knob.low;
}

/** An LFO's depth range, with the depth it starts at. @param {TesselMap} tessel @param {string} name */
export function depthRange(tessel, name) {
  const most = mostDepth(tessel, name);
  return { low: 0, high: most, initial: Number((0.1 * most).toPrecision(3)) };
}

/**
 * "sine:1.2:0.2:0.5": the input's LFO around its knob's value, or null for none.
 * @param {TesselMap} tessel @param {Settings} settings @param {string} name
 */
export function signalText(tessel, settings, name) {
  const lfo = settings.lfos && settings.lfos[name];
  if (!lfo) return null;
  return `${lfo.shape}:${voltsText(tessel, settings[name])}:${lfo.depth}:${lfo.hz}`;
}

/** What an input gets: its LFO's text, or its volts. @param {TesselMap} tessel @param {Settings} settings
 * @param {string} name */
export function inputText(tessel, settings, name) {
  return signalText(tessel, settings, name) ?? voltsText(tessel, settings[name]);
}

/**
 * An LFO's fields within the controls' ranges, or null.
 * @param {TesselMap} tessel @param {string} name @param {Lfo} lfo @returns {Lfo | null}
 */
function lfoWithin(tessel, name, { shape, depth, hz }) {
  if (!LFO_SHAPES.includes(shape)) return null;
  if (!(hz >= LFO_HZ.low && hz <= LFO_HZ.high)) return null;
  if (!(depth >= 0 && depth <= mostDepth(tessel, name))) return null;
  return { shape, depth, hz };
}

/**
 * An input's field of a fragment read as an LFO ("sine:1.2:0.2:0.5"): { centre, lfo }, or null where it is
 * none the controls could have set.
 * @param {TesselMap} tessel @param {string} name @param {string} text @param {number} rate
 * @returns {{centre: number, lfo: Lfo} | null}
 */
export function readLfo(tessel, name, text, rate) {
  let fields;
  try {
    fields = tessel.signalFields(String(text), { rate, samples: rate });
  } catch (error) {
    if (error instanceof RangeError) return null;  // no signal text at all
    throw error;
  }
  // The controls set no phase: a wave from phase 0 only.
  if (!fields || fields.centre === undefined || fields.phase !== 0) return null;
  const knob = knobsOf(tessel)[/** @type {import("./settings.js").KnobName} */ (name)];
  const lfo = lfoWithin(tessel, name, { shape: fields.shape, depth: Number(fields.depth), hz: Number(fields.hz) });
  if (!lfo || !(fields.centre >= knob.low && fields.centre <= knob.high)) return null;
  return { centre: fields.centre, lfo };
}

/**
 * The tessel-render command line that renders the drawn take.
 * @param {TesselMap} tessel @param {Settings} settings @param {number} seconds
 */
export function commandLine(tessel, settings, seconds) {
  const words = ["tessel-render", "--seconds", String(seconds), "--rate", String(settings.rate),
    "--mode", settings.mode];
  if (settings.mode === "gated") words.push("--gate-hz", String(settings.gate));
  for (const name of LFO_INPUTS) words.push(`--${name}`, inputText(tessel, settings, name));
  words.push("--normalize", settings.normalize ? "on" : "off");
  if (settings.resetHz > 0) words.push("--reset-hz", String(settings.resetHz));
  words.push("--out", "take.wav");
  return words.join(" ");
}

/** @param {number} p @param {number} q @returns {number} */
function greatestCommonDivisor(p, q) {
  return q === 0 ? p : greatestCommonDivisor(q, p % q);
}

/**
 * The path's length: one period of the LFOs on a and b together, at most PATH_MOST_SECONDS (where they never
 * line up within it, their first that many seconds); 0 where neither moves.
 * @param {Settings} settings
 */
export function pathSeconds(settings) {
  const units = ["a", "b"].filter((name) => settings.lfos[name] && settings.lfos[name].depth > 0)
    .map((name) => Math.round(settings.lfos[name].hz * HZ_UNITS));
  if (units.length === 0) return 0;
  const common = units.reduce(greatestCommonDivisor);
  return Math.min(PATH_MOST_SECONDS, HZ_UNITS / common);
}
