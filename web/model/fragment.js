// The settings in the page's address, "a=1.4&b=0.3&x0=0&y0=0&mode=continuous
// &gate=1000&normalize=on&rate=44100", an LFO in place of its input's volts
// ("a=sine:1.2:0.2:0.5") and the Reset clock ("reset-hz=1"): a link keeps a
// patch. No DOM.
import { LFO_INPUTS, RESET_HZ, readLfo, signalText } from "./lfo.js";
import { INPUT_KNOBS, defaultSettings, knobsOf, mostGateHz, ratesOf, readField, voltsText } from "./settings.js";

/** @typedef {import("../engine/tessel.js").TesselMap} TesselMap */
/** @typedef {import("./settings.js").Settings} Settings */

/** The fragment of the settings. @param {TesselMap} tessel @param {Settings} settings */
export function fragmentOf(tessel, settings) {
  const fields = new URLSearchParams();
  for (const name of INPUT_KNOBS) fields.set(name, signalText(tessel, settings, name) ?? voltsText(tessel, settings[name]));
  fields.set("mode", settings.mode);
  fields.set("gate", String(settings.gate));
  fields.set("normalize", settings.normalize ? "on" : "off");
  fields.set("rate", String(settings.rate));
  if (settings.resetHz > 0) fields.set("reset-hz", String(settings.resetHz));
  return fields.toString().replace(/%3A/g, ":");
}

/**
 * Settings from a fragment; anything missing, unreadable or out of range keeps its default or is clamped,
 * like a typed value.
 * @param {TesselMap} tessel @param {string} fragment @returns {Settings}
 */
export function settingsOfFragment(tessel, fragment) {
  const settings = defaultSettings(tessel);
  const knobs = knobsOf(tessel);
  const fields = new URLSearchParams(String(fragment).replace(/^#/, ""));
  for (const name of /** @type {const} */ (["a", "b", "x0", "y0", "gate"])) {
    if (!fields.has(name)) continue;
    const knob = knobs[name];
    const read = readField(fields.get(name), knob.low, knob.high, knob.unit);
    if (read.ok) settings[name] = read.value;
  }
  if (fields.get("mode") === "gated") settings.mode = "gated";
  if (fields.get("normalize") === "off") settings.normalize = false;
  const rate = Number(fields.get("rate"));
  if (ratesOf(tessel).includes(rate)) settings.rate = rate;
  settings.gate = Math.min(settings.gate, mostGateHz(tessel, settings.rate));
  for (const name of LFO_INPUTS) {
    const read = fields.has(name) ? readLfo(tessel, name, fields.get(name), settings.rate) : null;
    if (!read) continue;
    settings[name] = read.centre;
    settings.lfos[name] = read.lfo;
  }
  const resetHz = Number(fields.get("reset-hz"));
  if (resetHz >= RESET_HZ.low && resetHz <= RESET_HZ.high) settings.resetHz = resetHz;
  return settings;
}
