// What the page says of a patch and of what it does: the patch in a line, a
// verdict in Continuous or Gated mode, a point of the chart, a stopped sound.
// A verdict's own words come from the module's WebAssembly build. No DOM.
import { LFO_INPUTS } from "./lfo.js";
import { plainDecimal, voltsText } from "./settings.js";

/** @typedef {import("../engine/tessel.js").TesselMap} TesselMap */
/** @typedef {import("../engine/tessel.js").OrbitFields} OrbitFields */
/** @typedef {import("./settings.js").Settings} Settings */

/**
 * "a" or "an" before a number as it is read aloud: an 8, an 11, an 18, an 80, an 800, an 8000, an 11,000.
 * @param {number} value
 */
export function articleFor(value) {
  const whole = String(Math.trunc(Math.abs(value)));
  const leading = whole.slice(0, ((whole.length - 1) % 3) + 1);
  return leading.startsWith("8") || leading === "11" || leading === "18" ? "an" : "a";
}

/** "an 8 Hz clock". @param {number} hz */
function clockWords(hz) {
  return `${articleFor(hz)} ${hz} Hz clock`;
}

/**
 * What the settings do, in Continuous or Gated mode; in Gated mode a cycle of period p is a tone of the
 * clock's rate over p.
 * @param {TesselMap} tessel @param {OrbitFields} orbit @param {Settings} settings
 */
export function describeSettings(tessel, orbit, settings) {
  if (settings.mode === "continuous") return `Continuous: ${tessel.describeOrbit(orbit, { rate: settings.rate })}`;
  return `Gated by ${clockWords(settings.gate)}, one step per tick: ` +
    tessel.describeOrbit(orbit, { clock: settings.gate });
}

/**
 * The same in the short words a musician reads first.
 * @param {TesselMap} tessel @param {OrbitFields} orbit @param {Settings} settings
 */
export function summarizeSettings(tessel, orbit, settings) {
  const { resetHz } = settings;
  if (settings.mode === "continuous") {
    return `Continuous: ${tessel.summarizeOrbit(orbit, { rate: settings.rate, resetHz })}`;
  }
  return `Gated by ${clockWords(settings.gate)}: ${tessel.summarizeOrbit(orbit, { clock: settings.gate, resetHz })}`;
}

/**
 * What the chart says of a point's verdict: the short words a musician reads first, then the exact ones,
 * both tessel-render's.
 * @param {TesselMap} tessel @param {OrbitFields} orbit @param {number} rate
 */
export function pointWords(tessel, orbit, rate) {
  return `${tessel.summarizeOrbit(orbit, { rate })} (exactly: ${tessel.describeOrbit(orbit, { rate })})`;
}

// Once the map has stopped itself, whatever the knobs do.
export const ONLY_RESET = "only Reset (or Reset on change) starts it again";

// What the page says of a take in which the map stopped itself.
export const TAKE_STOPPED = `The map stops itself in this take and stays silent: ${ONLY_RESET}.`;

/**
 * What the page says of the sound playing once the map has stopped itself: `stop` is where (the frame
 * counted from Play) and the frame of the last Reset before it (-1: none since Play).
 * @param {{at: number, lastReset: number}} stop @param {number} rate
 */
export function soundStoppedText(stop, rate) {
  const since = stop.lastReset < 0 ? "Play" : "the last Reset";
  const samples = stop.at - Math.max(stop.lastReset, 0);
  const after = `${samples} ${samples === 1 ? "sample" : "samples"} (${(samples / rate).toFixed(3)} s) after ${since}`;
  return `The sound playing has stopped: the map stopped itself ${after} and stays silent whatever the knobs ` +
    `do: ${ONLY_RESET}.`;
}

/**
 * "a: sine LFO at 0.5 Hz, ±0.02 V around 1.4 V; Reset clock 1 Hz": what moves, in words; empty when nothing does.
 * @param {TesselMap} tessel @param {Settings} settings
 */
export function movingText(tessel, settings) {
  const parts = LFO_INPUTS.filter((name) => settings.lfos[name]).map((name) => {
    const { shape, hz, depth } = settings.lfos[name];
    return `${name}: ${shape} LFO at ${hz} Hz, ±${plainDecimal(depth)} V around ${voltsText(tessel, settings[name])} V`;
  });
  if (settings.resetHz > 0) parts.push(`Reset clock ${settings.resetHz} Hz`);
  return parts.join("; ");
}

/**
 * The patch as the musician sets it on the module, and what moves.
 * @param {TesselMap} tessel @param {Settings} settings
 */
export function patchText(tessel, settings) {
  /** @param {"a" | "b" | "x0" | "y0"} name */
  const volts = (name) => `${name} ${voltsText(tessel, settings[name])} V`;
  const mode = settings.mode === "gated" ? `Gated (clock ${settings.gate} Hz)` : "Continuous";
  const normalize = `Normalize ${settings.normalize ? "On" : "Off"}`;
  const moving = movingText(tessel, settings);
  return `${volts("a")}, ${volts("b")}, ${volts("x0")}, ${volts("y0")}, ${mode}, ${normalize}` +
    (moving ? `; ${moving}` : "");
}
