// The explorer's numbers and words: volts and the floats the module sees,
// the pins' ranges, what a number field accepts, the settings in the URL
// fragment, and what an orbit does, in the words of tessel-render's report.
// No DOM: the page, the tests and Node can all use it.

export const VOLTS_PER_UNIT = 10;

// The pins' ranges and defaults, in volts; the Gate clock's in Hz.
export const KNOBS = {
  a: { low: -1, high: 4, initial: 1.4, unit: "V" },
  b: { low: -1, high: 1, initial: 0.3, unit: "V" },
  x0: { low: -2, high: 2, initial: 0, unit: "V" },
  y0: { low: -2, high: 2, initial: 0, unit: "V" },
  gate: { low: 0.1, high: 22050, initial: 1000, unit: "Hz" },
};
export const RATES = [44100, 48000];

// The chart's defaults, as tessel-render draws it.
export const CHART_STEPS = 8192;
export const PERIOD_LIMIT = 512;
export const CHAOS_MARGIN = 0.01;

// The float the module sees for a voltage, as tessel-render computes it.
export function signalOf(volts) {
  return Math.fround(volts / VOLTS_PER_UNIT);
}

// The shortest decimal volts that read back to the same float.
export function voltsText(signal) {
  const volts = signal * VOLTS_PER_UNIT;
  for (let digits = 1; digits <= 17; digits++) {
    const text = String(Number(volts.toPrecision(digits)));
    if (signalOf(Number(text)) === signal) return text;
  }
  return String(volts);
}

// Point i of `count` across [low, high] sits in the middle of its cell,
// computed in the same order as tessel-render, so the floats agree.
export function pointVolts(low, high, count, i) {
  return low + (i + 0.5) * (high - low) / count;
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

// printf's "%.0f": ties go to the even neighbour.
function roundHalfEven(value) {
  const rounded = Math.round(value);
  return Math.abs(value % 1) === 0.5 ? 2 * Math.round(value / 2) : rounded;
}

export function toneText(period, rate) {
  return `${roundHalfEven(rate / period)} Hz`;
}

// tessel-render's words for an orbit: "a cycle of period 4: a tone of 11025 Hz from step 310".
// `nameTone(period)` names a cycle's tone; by default at `rate`, rounded as tessel-render rounds it.
export function describeOrbit(orbit, rate, nameTone = (period) => toneText(period, rate)) {
  const tone = () => (orbit.period === 1 ? "a constant" : `a tone of ${nameTone(orbit.period)}`);
  switch (orbit.outcome) {
    case "stops":
      return `stops: the guard stopped the map after ${orbit.steps} iterates`;
    case "cycle":
      return `a cycle of period ${orbit.period}: ${tone()} from step ${orbit.settle}`;
    default: {
      const exponent = `largest Lyapunov exponent ${orbit.lyapunov.toFixed(6)} per step`;
      if (orbit.rounding) {
        return `${orbit.outcome}: a rounding cycle of period ${orbit.period} (${tone()} from step ${orbit.settle}) ` +
          `that the map has only as an unstable one, or not at all, ${exponent}`;
      }
      if (orbit.outcome === "quasi") return `quasi: no cycle up to period ${PERIOD_LIMIT}, ${exponent}`;
      return `chaos: ${exponent}`;
    }
  }
}

// What the settings do, in Continuous or Gated mode.
export function describeSettings(orbit, settings) {
  if (settings.mode === "continuous") return `Continuous: ${describeOrbit(orbit, settings.rate)}`;
  // One step per clock tick: a cycle of period p is a tone of the clock's rate over p.
  const clockTone = (period) => `${Number((settings.gate / period).toPrecision(3))} Hz`;
  return `Gated by a ${settings.gate} Hz clock, one step per tick: ${describeOrbit(orbit, settings.rate, clockTone)}`;
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
export function patchText(settings) {
  const volts = (name) => `${name} ${voltsText(signalOf(settings[name]))} V`;
  const mode = settings.mode === "gated" ? `Gated (clock ${settings.gate} Hz)` : "Continuous";
  const normalize = `Normalize ${settings.normalize ? "On" : "Off"}`;
  return `${volts("a")}, ${volts("b")}, ${volts("x0")}, ${volts("y0")}, ${mode}, ${normalize}`;
}

// "a=1.4&b=0.3&x0=0&y0=0&mode=continuous&gate=1000&normalize=on&rate=44100"
export function fragmentOf(settings) {
  const parts = ["a", "b", "x0", "y0"].map((name) => `${name}=${voltsText(signalOf(settings[name]))}`);
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
