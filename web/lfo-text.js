// The explorer's moving inputs in words and numbers: an LFO on x0, y0, a or b
// as a signal text in tessel-render's own grammar (the .wasm parses it and
// makes its samples), the Reset clock, the path's length, the fragment's
// fields and the equivalent command line. No DOM.
import { knobsOf, readField, voltsText } from "./explorer-text.js";

export const LFO_INPUTS = ["a", "b", "x0", "y0"];
export const LFO_SHAPES = ["sine", "triangle", "square", "saw"];
// What the LFO's controls offer.
export const LFO_HZ = Object.freeze({ low: 0.01, high: 20, initial: 0.5 });
export const RESET_HZ = Object.freeze({ low: 0.01, high: 20, initial: 1 });
// A typed rate or depth, a decimal comma read as a point, held to its range; its initial value where it is no
// number.
export function lfoNumber(text, { low, high, initial }) {
  const read = readField(text, low, high, "");
  return read.ok ? read.value : initial;
}
// The path on the chart: one period of its LFOs, at most this long.
export const PATH_MOST_SECONDS = 100;
// The Hz of two LFOs line up on multiples of this, as typed with at most six decimals.
const HZ_UNITS = 1e6;

// No LFO on any input, no Reset clock.
export function stillInputs() {
  return { lfos: Object.fromEntries(LFO_INPUTS.map((name) => [name, null])), resetHz: 0 };
}

// The depth an input's LFO may have: its knob's whole span.
export function mostDepth(tessel, name) {
  const knob = knobsOf(tessel)[name];
  return knob.high - knob.low;
}

// "sine:1.2:0.2:0.5": the input's LFO around its knob's value, or null for none.
export function signalText(tessel, settings, name) {
  const lfo = settings.lfos && settings.lfos[name];
  if (!lfo) return null;
  return `${lfo.shape}:${voltsText(tessel, settings[name])}:${lfo.depth}:${lfo.hz}`;
}

// What an input gets: its LFO's text, or its volts.
export function inputText(tessel, settings, name) {
  return signalText(tessel, settings, name) ?? voltsText(tessel, settings[name]);
}

// An LFO's fields within the controls' ranges, or null.
function lfoWithin(tessel, name, { shape, depth, hz }) {
  if (!LFO_SHAPES.includes(shape)) return null;
  if (!(hz >= LFO_HZ.low && hz <= LFO_HZ.high)) return null;
  if (!(depth >= 0 && depth <= mostDepth(tessel, name))) return null;
  return { shape, depth, hz };
}

// An input's field of a fragment read as an LFO ("sine:1.2:0.2:0.5"):
// { centre, lfo }, or null where it is none the controls could have set.
export function readLfo(tessel, name, text, rate) {
  const fields = String(text).split(":");
  if (fields.length !== 4) return null;
  const knob = knobsOf(tessel)[name];
  const [shape, centre, depth, hz] = [fields[0], ...fields.slice(1).map(Number)];
  const lfo = lfoWithin(tessel, name, { shape, depth, hz });
  if (!lfo || !(centre >= knob.low && centre <= knob.high)) return null;
  if (tessel.signalError(text, { rate, samples: rate }) !== null) return null;
  return { centre, lfo };
}

// The settings a fragment gives, with its LFOs and Reset clock (`reset-hz`), on top of `settings`.
export function withLfosOfFragment(tessel, fragment, settings) {
  const fields = new URLSearchParams(String(fragment).replace(/^#/, ""));
  const moving = { ...settings, ...stillInputs() };
  for (const name of LFO_INPUTS) {
    const read = fields.has(name) ? readLfo(tessel, name, fields.get(name), settings.rate) : null;
    if (!read) continue;
    moving[name] = read.centre;
    moving.lfos[name] = read.lfo;
  }
  const resetHz = Number(fields.get("reset-hz"));
  if (resetHz >= RESET_HZ.low && resetHz <= RESET_HZ.high) moving.resetHz = resetHz;
  return moving;
}

// The fragment with each LFO in place of its input's volts, and the Reset clock.
export function lfoFragment(tessel, settings, fragment) {
  const fields = new URLSearchParams(fragment);
  for (const name of LFO_INPUTS) {
    const text = signalText(tessel, settings, name);
    if (text) fields.set(name, text);
  }
  if (settings.resetHz > 0) fields.set("reset-hz", String(settings.resetHz));
  return fields.toString().replace(/%3A/g, ":");
}

// "a sine:1.2:0.2:0.5, Reset clock 1 Hz": what moves, for the patch's line; empty when nothing does.
export function movingText(tessel, settings) {
  const parts = LFO_INPUTS.filter((name) => settings.lfos[name])
    .map((name) => `${name} ${signalText(tessel, settings, name)}`);
  if (settings.resetHz > 0) parts.push(`Reset clock ${settings.resetHz} Hz`);
  return parts.join(", ");
}

// The tessel-render command line that renders the drawn take.
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

function greatestCommonDivisor(p, q) {
  return q === 0 ? p : greatestCommonDivisor(q, p % q);
}

// The path's length: one period of the LFOs on a and b together, at most
// PATH_MOST_SECONDS (where they never line up within it, their first that
// many seconds); 0 where neither moves.
export function pathSeconds(settings) {
  const units = ["a", "b"].filter((name) => settings.lfos[name] && settings.lfos[name].depth > 0)
    .map((name) => Math.round(settings.lfos[name].hz * HZ_UNITS));
  if (units.length === 0) return 0;
  const common = units.reduce(greatestCommonDivisor);
  return Math.min(PATH_MOST_SECONDS, HZ_UNITS / common);
}
