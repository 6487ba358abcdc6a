// The explorer's numbers and words: the pins' ranges, what a number field
// accepts, the settings in the URL fragment, and what the settings do. What
// the module itself says and computes (volts and the floats it sees, a
// verdict's words) comes from its WebAssembly build, `tessel`, a loaded
// TesselMap (tessel.js). No DOM: the page, the tests and Node can all use it.

// The pins' ranges and defaults, in volts; the Gate clock's in Hz.
export const KNOBS = {
  a: { low: -1, high: 4, initial: 1.4, unit: "V" },
  b: { low: -1, high: 1, initial: 0.3, unit: "V" },
  x0: { low: -2, high: 2, initial: 0, unit: "V" },
  y0: { low: -2, high: 2, initial: 0, unit: "V" },
  gate: { low: 0.1, high: 22050, initial: 1000, unit: "Hz" },
};
export const RATES = [44100, 48000];

// The shortest decimal volts that read back to the float the module sees for `volts`.
export function voltsText(tessel, volts) {
  return String(tessel.voltsOf(tessel.signalOf(volts)));
}

const DECIMAL = /^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$/;

// What a number field holds: a value within [low, high], or a refusal.
// Text that is not a plain decimal number is refused; a number outside the
// range (however large) is clamped to its edge, and the message says so.
export function readField(text, low, high, unit) {
  const trimmed = String(text).trim();
  if (!DECIMAL.test(trimmed)) {
    return { ok: false, message: `"${trimmed.slice(0, 24)}" is not a number: give ${low} to ${high} ${unit}` };
  }
  const value = Number(trimmed);
  const shown = trimmed.slice(0, 24);
  if (value < low) return { ok: true, value: low, message: `${shown} is below the range: ${low} ${unit}` };
  if (value > high) return { ok: true, value: high, message: `${shown} is above the range: ${high} ${unit}` };
  return { ok: true, value, message: "" };
}

// What the settings do, in Continuous or Gated mode; in Gated mode a cycle of
// period p is a tone of the clock's rate over p.
export function describeSettings(tessel, orbit, settings) {
  if (settings.mode === "continuous") return `Continuous: ${tessel.describeOrbit(orbit, { rate: settings.rate })}`;
  return `Gated by a ${settings.gate} Hz clock, one step per tick: ` +
    tessel.describeOrbit(orbit, { clock: settings.gate });
}

export const DEFAULT_SETTINGS = Object.freeze({
  a: KNOBS.a.initial, b: KNOBS.b.initial, x0: KNOBS.x0.initial, y0: KNOBS.y0.initial,
  mode: "continuous", gate: KNOBS.gate.initial, normalize: true, rate: RATES[0],
});

// The Gate clock the module gets: none in Continuous mode, as tessel-render drives it.
export function gateHzOf(settings) {
  return settings.mode === "gated" ? settings.gate : 0;
}

// The patch as the musician sets it on the module.
export function patchText(tessel, settings) {
  const volts = (name) => `${name} ${voltsText(tessel, settings[name])} V`;
  const mode = settings.mode === "gated" ? `Gated (clock ${settings.gate} Hz)` : "Continuous";
  const normalize = `Normalize ${settings.normalize ? "On" : "Off"}`;
  return `${volts("a")}, ${volts("b")}, ${volts("x0")}, ${volts("y0")}, ${mode}, ${normalize}`;
}

// "a=1.4&b=0.3&x0=0&y0=0&mode=continuous&gate=1000&normalize=on&rate=44100"
export function fragmentOf(tessel, settings) {
  const parts = ["a", "b", "x0", "y0"].map((name) => `${name}=${voltsText(tessel, settings[name])}`);
  parts.push(`mode=${settings.mode}`, `gate=${settings.gate}`, `normalize=${settings.normalize ? "on" : "off"}`,
    `rate=${settings.rate}`);
  return parts.join("&");
}

// Settings from a fragment; anything missing, unreadable or out of range
// keeps its default or is clamped, like a typed value.
export function settingsOfFragment(fragment) {
  const settings = { ...DEFAULT_SETTINGS };
  const fields = new URLSearchParams(String(fragment).replace(/^#/, ""));
  for (const name of ["a", "b", "x0", "y0", "gate"]) {
    if (!fields.has(name)) continue;
    const knob = KNOBS[name];
    const read = readField(fields.get(name), knob.low, knob.high, knob.unit);
    if (read.ok) settings[name] = read.value;
  }
  if (fields.get("mode") === "gated") settings.mode = "gated";
  if (fields.get("normalize") === "off") settings.normalize = false;
  const rate = Number(fields.get("rate"));
  if (RATES.includes(rate)) settings.rate = rate;
  if (settings.gate > settings.rate / 2) settings.gate = settings.rate / 2;
  return settings;
}
