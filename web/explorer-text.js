// The explorer's numbers and words: the knobs' ranges, what a number field
// accepts, the settings in the URL fragment, and what the settings do. What
// the module itself says and computes (volts and the floats it sees, a
// verdict's words) comes from its WebAssembly build, `tessel`, a loaded
// TesselMap (tessel.js). No DOM: the page, the tests and Node can all use it.

// The slowest Gate clock the page offers: its slider is logarithmic, so it
// needs a floor above the hosts' 0 Hz.
const GATE_FLOOR_HZ = 0.1;

// The fastest Gate clock the hosts accept at `rate`.
export function mostGateHz(tessel, rate) {
  return rate / tessel.facts.gateHz.leastPeriod;
}

// The rates the page offers, the hosts' common ones; it starts at the usual one.
export function ratesOf(tessel) {
  return tessel.facts.commonRates;
}

// The knobs' ranges and initial values: a, b, x0 and y0 in volts as the
// module declares those inputs (range text "upper,lower,upper,lower", default
// text); the Gate clock in Hz as the hosts run it, at most as fast as the
// fastest rate offered allows (each rate holds it to its own most).
export function knobsOf(tessel) {
  const knobs = {};
  for (const name of ["a", "b", "x0", "y0"]) {
    const pin = tessel.pin(name);
    const [high, low] = pin.range.split(",").map(Number);
    knobs[name] = Object.freeze({ low, high, initial: Number(pin.default), unit: "V" });
  }
  knobs.gate = Object.freeze({
    low: GATE_FLOOR_HZ, high: mostGateHz(tessel, Math.max(...ratesOf(tessel))), initial: tessel.facts.gateHz.usual,
    unit: "Hz",
  });
  return Object.freeze(knobs);
}

// The item a list pin starts at: its declared default index into its range text.
function listDefault(tessel, name) {
  const pin = tessel.pin(name);
  return pin.range.split(",")[Number(pin.default)];
}

// The shortest decimal volts that read back to the float the module sees for `volts`.
export function voltsText(tessel, volts) {
  return String(tessel.voltsOf(tessel.signalOf(volts)));
}

const DECIMAL = /^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$/;

// What a number field holds: a value within [low, high], or a refusal.
// Text that is not a plain decimal number is refused; a decimal comma reads
// as a point, as many musicians write it ("1,2" is 1.2); a number outside the
// range (however large) is clamped to its edge, and the message says so.
export function readField(text, low, high, unit) {
  const trimmed = String(text).trim();
  const decimal = trimmed.replace(",", ".");
  if (!DECIMAL.test(decimal)) {
    return { ok: false, message: `"${trimmed.slice(0, 24)}" is not a number: give ${low} to ${high} ${unit}` };
  }
  const value = Number(decimal);
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

// The same in the short words a musician reads first.
export function summarizeSettings(tessel, orbit, settings) {
  if (settings.mode === "continuous") return `Continuous: ${tessel.summarizeOrbit(orbit, { rate: settings.rate })}`;
  return `Gated by a ${settings.gate} Hz clock: ${tessel.summarizeOrbit(orbit, { clock: settings.gate })}`;
}

// What the page says of the sound playing once the map has stopped itself:
// `stop` is where (the frame counted from Play) and the frame of the last
// Reset before it (-1: none since Play).
export function soundStoppedText(stop, rate) {
  const since = stop.lastReset < 0 ? "Play" : "the last Reset";
  const samples = stop.at - Math.max(stop.lastReset, 0);
  const after = `${samples} ${samples === 1 ? "sample" : "samples"} (${(samples / rate).toFixed(3)} s) after ${since}`;
  return `The sound playing has stopped: the map stopped itself ${after} and stays silent, ` +
    "whatever the knobs do, until Reset starts it again (or turn on Reset on change).";
}

// The settings of a fresh page: the knobs' initial values, Mode and Normalize as the module starts them.
export function defaultSettings(tessel) {
  const knobs = knobsOf(tessel);
  return {
    a: knobs.a.initial, b: knobs.b.initial, x0: knobs.x0.initial, y0: knobs.y0.initial,
    mode: listDefault(tessel, "Mode").toLowerCase(), gate: knobs.gate.initial,
    normalize: listDefault(tessel, "Normalize") === "On", rate: tessel.facts.rate.usual,
  };
}

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
export function settingsOfFragment(tessel, fragment) {
  const settings = defaultSettings(tessel);
  const knobs = knobsOf(tessel);
  const fields = new URLSearchParams(String(fragment).replace(/^#/, ""));
  for (const name of ["a", "b", "x0", "y0", "gate"]) {
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
  return settings;
}
