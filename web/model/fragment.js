// The settings in the page's address, "a=1.4&b=0.3&x0=0&y0=0&mode=continuous
// &gate=1000&normalize=on&rate=44100", an LFO in place of its input's volts
// ("a=sine:1.2:0.2:0.5") and the Reset clock ("reset-hz=1"): a link keeps a
// patch. No DOM.
import { LFO_HZ, LFO_INPUTS, LFO_SHAPES, RESET_HZ, mostDepth, readLfo, signalText } from "./lfo.js";
import { INPUT_KNOBS, defaultSettings, knobsOf, mostGateHz, ratesOf, readField, voltsText } from "./settings.js";

/** @typedef {import("../engine/tessel.js").TesselMap} TesselMap */
/** @typedef {import("./settings.js").Settings} Settings */

// The fields a fragment may have.
const FRAGMENT_FIELDS = [...INPUT_KNOBS, "mode", "gate", "normalize", "rate", "reset-hz"];

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
 * Settings from a fragment, and what of it was refused or clamped, a line each (what the link had, what is
 * kept, the range). Anything missing keeps its default; anything unreadable keeps it too, and is said; a
 * number outside its range is clamped, like a typed value, and said.
 * @param {TesselMap} tessel @param {string} fragment @returns {{settings: Settings, refused: string[]}}
 */
export function readFragment(tessel, fragment) {
  const settings = defaultSettings(tessel);
  const knobs = knobsOf(tessel);
  const fields = new URLSearchParams(String(fragment).replace(/^#/, ""));
  /** @type {string[]} */
  const refused = [];
  /** @param {string} name @param {string} why */
  const refuse = (name, why) => refused.push(`${name}=${fields.get(name).slice(0, 40)}: ${why}`);
  /** @param {string} name @param {string[]} offered @param {string} kept */
  const choice = (name, offered, kept) => {
    if (!fields.has(name)) return kept;
    if (offered.includes(fields.get(name))) return fields.get(name);
    refuse(name, `kept ${kept}; give ${offered.join(" or ")}`);
    return kept;
  };
  settings.mode = choice("mode", ["continuous", "gated"], settings.mode);
  settings.normalize = choice("normalize", ["on", "off"], settings.normalize ? "on" : "off") === "on";
  settings.rate = Number(choice("rate", ratesOf(tessel).map(String), String(settings.rate)));
  const most = { ...knobs, gate: { ...knobs.gate, high: mostGateHz(tessel, settings.rate) } };
  for (const name of /** @type {const} */ (["a", "b", "x0", "y0", "gate"])) {
    const text = fields.get(name);
    if (text === null || (LFO_INPUTS.includes(/** @type {any} */ (name)) && text.includes(":"))) continue;
    const knob = most[name];
    const read = readField(text, knob.low, knob.high, knob.unit, String(settings[name]));
    if (read.ok) settings[name] = read.value;
    if (read.message) refuse(name, read.message);
  }
  settings.gate = Math.min(settings.gate, most.gate.high);
  for (const name of LFO_INPUTS) {
    const text = fields.get(name);
    if (text === null || !text.includes(":")) continue;
    const read = readLfo(tessel, name, text, settings.rate);
    if (!read) {
      refuse(name, `no LFO the page offers (shape:centre:depth:Hz, a shape of ${LFO_SHAPES.join(", ")}, ` +
        `${LFO_HZ.low} to ${LFO_HZ.high} Hz, a depth of 0 to ${mostDepth(tessel, name)} V, the centre within ` +
        `the knob): kept ${name} ${voltsText(tessel, settings[name])} V`);
      continue;
    }
    settings[name] = read.centre;
    settings.lfos[name] = read.lfo;
  }
  if (fields.has("reset-hz")) {
    const resetHz = Number(fields.get("reset-hz"));
    if (resetHz >= RESET_HZ.low && resetHz <= RESET_HZ.high) settings.resetHz = resetHz;
    else refuse("reset-hz", `kept no Reset clock; give ${RESET_HZ.low} to ${RESET_HZ.high} Hz`);
  }
  for (const name of new Set(fields.keys())) {
    if (!FRAGMENT_FIELDS.includes(name)) refuse(name, "no setting of the page's; left out");
  }
  return { settings, refused };
}

/** Settings from a fragment, whatever was refused. @param {TesselMap} tessel @param {string} fragment */
export function settingsOfFragment(tessel, fragment) {
  return readFragment(tessel, fragment).settings;
}
