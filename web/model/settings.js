// The explorer's settings: the knobs' ranges and initial values as the module
// declares its pins, what a number field accepts, and the settings of a fresh
// page. What the module itself says and computes (volts and the floats it
// sees) comes from its WebAssembly build, `tessel`, a loaded TesselMap. No DOM.

/** @typedef {import("../engine/tessel.js").TesselMap} TesselMap */

/**
 * An input's LFO: its shape, rate in Hz and depth in volts either side of the knob's value.
 * @typedef {{shape: string, hz: number, depth: number}} Lfo
 */

/**
 * Everything the musician sets: the inputs in volts, Mode, the Gate clock in Hz, Normalize, the sample rate,
 * an LFO on each of the four inputs (null: none) and the Reset clock in Hz (0: none).
 * @typedef {{a: number, b: number, x0: number, y0: number, mode: string, gate: number, normalize: boolean,
 *   rate: number, lfos: Record<string, Lfo | null>, resetHz: number}} Settings
 */

/** @typedef {{low: number, high: number, initial: number, unit: string}} Knob */
/** @typedef {Readonly<Record<KnobName, Readonly<Knob>>>} Knobs */
/** @typedef {"a" | "b" | "x0" | "y0" | "gate"} KnobName */

// The inputs a knob sets, in pin order.
export const INPUT_KNOBS = /** @type {const} */ (["a", "b", "x0", "y0"]);
export const KNOB_NAMES = /** @type {KnobName[]} */ ([...INPUT_KNOBS, "gate"]);

// The slowest Gate clock the page offers: its slider is logarithmic, so it
// needs a floor above the hosts' 0 Hz.
const GATE_FLOOR_HZ = 0.1;

/** The fastest Gate clock the hosts accept at `rate`. @param {TesselMap} tessel @param {number} rate */
export function mostGateHz(tessel, rate) {
  return rate / tessel.facts.gateHz.leastPeriod;
}

/** The rates the page offers, the hosts' common ones. @param {TesselMap} tessel */
export function ratesOf(tessel) {
  return tessel.facts.commonRates;
}

/**
 * The knobs' ranges and initial values: a, b, x0 and y0 in volts as the module declares those inputs (range
 * text "upper,lower,upper,lower", default text); the Gate clock in Hz as the hosts run it, at most as fast as
 * the fastest rate offered allows (each rate holds it to its own most).
 * @param {TesselMap} tessel @returns {Knobs}
 */
export function knobsOf(tessel) {
  /** @type {Record<string, Readonly<Knob>>} */
  const knobs = {};
  for (const name of INPUT_KNOBS) {
    const pin = tessel.pin(name);
    const [high, low] = pin.range.split(",").map(Number);
    knobs[name] = Object.freeze({ low, high, initial: Number(pin.default), unit: "V" });
  }
  knobs.gate = Object.freeze({
    low: GATE_FLOOR_HZ, high: mostGateHz(tessel, Math.max(...ratesOf(tessel))), initial: tessel.facts.gateHz.usual,
    unit: "Hz",
  });
  return /** @type {Knobs} */ (Object.freeze(knobs));
}

/** The item a list pin starts at: its declared default index into its range text. */
function listDefault(/** @type {TesselMap} */ tessel, /** @type {string} */ name) {
  const pin = tessel.pin(name);
  return pin.range.split(",")[Number(pin.default)];
}

/**
 * The shortest decimal volts that read back to the float the module sees for `volts`.
 * @param {TesselMap} tessel @param {number} volts
 */
export function voltsText(tessel, volts) {
  return plainDecimal(tessel.voltsOf(tessel.signalOf(volts)));
}

/**
 * A number as a musician types it, with no exponent: 1e-9 as "0.000000001", the same value.
 * @param {number} value
 */
export function plainDecimal(value) {
  const text = String(value);
  const exponent = /^-?(\d)(?:\.(\d+))?e([+-]\d+)$/.exec(text);
  if (!exponent) return text;
  const decimals = Math.max(0, (exponent[2] ?? "").length - Number(exponent[3]));
  return value.toFixed(Math.min(100, decimals));
}

const DECIMAL = /^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$/;

/**
 * What a number field holds: a value within [low, high], or a refusal. Text that is not a plain decimal
 * number is refused, and the message says what was refused, what is kept (`kept`, the value in effect, where
 * given) and the range; a decimal comma reads as a point, as many musicians write it ("1,2" is 1.2); a number
 * outside the range (however large) is clamped to its edge, and the message says so.
 * @param {string} text @param {number} low @param {number} high @param {string} unit @param {string} [kept]
 * @returns {{ok: boolean, value?: number, message: string}}
 */
export function readField(text, low, high, unit, kept) {
  const trimmed = String(text).trim();
  const decimal = trimmed.replace(",", ".");
  const shown = trimmed.slice(0, 24);
  const range = `${low} to ${high} ${unit}`.trim();
  if (!DECIMAL.test(decimal)) {
    const keeping = kept === undefined ? "" : `kept ${kept}${/\d$/.test(kept) ? ` ${unit}` : ""}; `;
    return { ok: false, message: `"${shown}" is not a number: ${keeping}give ${range}` };
  }
  const value = Number(decimal);
  /** @param {string} where @param {number} edge */
  const clamped = (where, edge) =>
    ({ ok: true, value: edge, message: `${shown} is ${where} ${range}: set to ${edge} ${unit}`.trim() });
  if (value < low) return clamped("below", low);
  if (value > high) return clamped("above", high);
  return { ok: true, value, message: "" };
}

/** No LFO on any input, no Reset clock. @returns {{lfos: Record<string, Lfo | null>, resetHz: number}} */
export function stillInputs() {
  return { lfos: Object.fromEntries(INPUT_KNOBS.map((name) => [name, null])), resetHz: 0 };
}

/**
 * The settings of a fresh page: the knobs' initial values, Mode and Normalize as the module starts them.
 * @param {TesselMap} tessel @returns {Settings}
 */
export function defaultSettings(tessel) {
  const knobs = knobsOf(tessel);
  return {
    a: knobs.a.initial, b: knobs.b.initial, x0: knobs.x0.initial, y0: knobs.y0.initial,
    mode: listDefault(tessel, "Mode").toLowerCase(), gate: knobs.gate.initial,
    normalize: listDefault(tessel, "Normalize") === "On", rate: tessel.facts.rate.usual, ...stillInputs(),
  };
}

/**
 * The Gate clock the module gets: none in Continuous mode, as tessel-render drives it.
 * @param {{mode: string, gate: number}} settings
 */
export function gateHzOf(settings) {
  return settings.mode === "gated" ? settings.gate : 0;
}
