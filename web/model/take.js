// The take the explorer draws and saves: how long it lasts, and the WAV file
// that keeps it, named after its settings. No DOM: the page and Node can use it.
import { LFO_INPUTS, signalText } from "./lfo.js";
import { gateHzOf, voltsText } from "./settings.js";

/** @typedef {import("./settings.js").Settings} Settings */
/** @typedef {import("../engine/tessel.js").TesselMap} TesselMap */

// A take lasts two seconds; at a slow Gate clock long enough for a phrase of
// PHRASE_STEPS steps, but no longer than MOST_TAKE_SECONDS, so a redraw stays quick.
export const TAKE_SECONDS = 2;
export const PHRASE_STEPS = 64;
export const MOST_TAKE_SECONDS = 4;

/**
 * The take's length in seconds; its samples are Math.round(seconds * rate), as tessel-render counts them.
 * @param {{mode: string, gate: number}} settings
 */
export function takeSeconds(settings) {
  if (settings.mode !== "gated") return TAKE_SECONDS;
  return Math.min(MOST_TAKE_SECONDS, Math.max(TAKE_SECONDS, PHRASE_STEPS / settings.gate));
}

/** What the take's line says of its length. @param {{gate: number}} settings @param {number} seconds */
export function takeLengthText(settings, seconds) {
  if (seconds === TAKE_SECONDS) return `${seconds} s`;
  // The clock rises at the take's first sample and every period after it.
  const ticks = Math.ceil(seconds * settings.gate - 1e-9);
  return `${Number(seconds.toPrecision(3))} s, longer than the usual ${TAKE_SECONDS} s for ` +
    `${ticks} ${ticks === 1 ? "tick" : "ticks"} of the ${settings.gate} Hz clock`;
}

/**
 * A new instance patched as the settings say, from a reset, for a take of `samples`: the knobs, Mode, the
 * Gate clock, Normalize, each input's LFO and the Reset clock.
 * @param {TesselMap} tessel @param {Settings} s @param {number} samples
 */
export function takeInstance(tessel, s, samples) {
  const instance = tessel.newInstance({ rate: s.rate });
  instance.set({ a: s.a, b: s.b, x0: s.x0, y0: s.y0 });
  instance.setMode(s.mode);
  instance.setGateHz(gateHzOf(s));
  instance.setNormalize(s.normalize);
  for (const name of LFO_INPUTS) instance.setSignal(name, signalText(tessel, s, name), samples);
  instance.setResetHz(s.resetHz);
  return instance;
}

const WAVE_FORMAT_IEEE_FLOAT = 3;
const CHANNELS = 2;
const BYTES_PER_SAMPLE = 4;
const WAV_HEADER_BYTES = 12 + (8 + 18) + (8 + 4) + 8;

/**
 * Samples shown as traces, as tessel-render's picture shows them (5 ms, in Gated mode at least 16 clock
 * periods); a take lengthened for a slow clock is traced whole, since its phrase is what it was lengthened for.
 * @param {import("../engine/tessel.js").TesselMap} tessel @param {{mode: string, gate: number, rate: number}} settings
 * @param {number} samples
 */
export function traceLength(tessel, settings, samples) {
  if (takeSeconds(settings) > TAKE_SECONDS) return samples;
  return tessel.figures.traceSamples(gateHzOf(settings), settings.rate, samples);
}

// A WAV file of 32-bit float samples, little-endian: the RIFF header, "fmt "
// (with the extension size a non-PCM format carries), "fact" (the frame
// count, which a non-PCM format needs) and "data", whose samples follow.
/** @param {number} channels @param {number} rate @param {number} frames */
export function wavHeader(channels, rate, frames) {
  const dataBytes = frames * channels * BYTES_PER_SAMPLE;
  const view = new DataView(new ArrayBuffer(WAV_HEADER_BYTES));
  let at = 0;
  /** @param {string} word */
  const text = (word) => { for (const c of word) view.setUint8(at++, c.charCodeAt(0)); };
  /** @param {number} value */
  const u16 = (value) => { view.setUint16(at, value, true); at += 2; };
  /** @param {number} value */
  const u32 = (value) => { view.setUint32(at, value, true); at += 4; };
  text("RIFF"); u32(WAV_HEADER_BYTES - 8 + dataBytes); text("WAVE");
  text("fmt "); u32(18);
  u16(WAVE_FORMAT_IEEE_FLOAT); u16(channels); u32(rate); u32(rate * channels * BYTES_PER_SAMPLE);
  u16(channels * BYTES_PER_SAMPLE); u16(8 * BYTES_PER_SAMPLE); u16(0);
  text("fact"); u32(4); u32(frames);
  text("data"); u32(dataBytes);
  return new Uint8Array(view.buffer);
}

// A stereo WAV of the take, x left and y right.
/** @param {Float32Array} x @param {Float32Array} y @param {number} rate */
export function wavBytesOf(x, y, rate) {
  const frames = x.length;
  const bytes = new Uint8Array(WAV_HEADER_BYTES + frames * CHANNELS * BYTES_PER_SAMPLE);
  bytes.set(wavHeader(CHANNELS, rate, frames));
  const view = new DataView(bytes.buffer);
  for (let i = 0, at = WAV_HEADER_BYTES; i < frames; i++, at += 8) {
    view.setFloat32(at, x[i], true);
    view.setFloat32(at + 4, y[i], true);
  }
  return bytes;
}

// "tessel-map_a1.4_b0.3_x0+0_y0+0_continuous_normalize-on_44100Hz.wav": x0
// and y0 carry their sign, so that their values part from their names' digit;
// an input's LFO follows its centre ("a1.2-sine-0.2V-0.5Hz") and the Reset
// clock comes last ("reset-2Hz"). Letters, digits, ".", "+", "-" and "_"
// only: a safe file name on every system.
/** @param {TesselMap} tessel @param {Settings} settings */
export function wavNameOf(tessel, settings) {
  /** @param {"a" | "b" | "x0" | "y0"} name @param {boolean} sign */
  const input = (name, sign) => {
    const volts = settings[name];
    const lfo = settings.lfos[name];
    const text = `${name}${sign && volts >= 0 ? "+" : ""}${voltsText(tessel, volts)}`;
    return lfo ? `${text}-${lfo.shape}-${lfo.depth}V-${lfo.hz}Hz` : text;
  };
  const mode = settings.mode === "gated" ? `gated-${settings.gate}Hz` : "continuous";
  const words = ["tessel-map", input("a", false), input("b", false), input("x0", true), input("y0", true), mode,
    `normalize-${settings.normalize ? "on" : "off"}`, `${settings.rate}Hz`];
  if (settings.resetHz > 0) words.push(`reset-${settings.resetHz}Hz`);
  return words.join("_") + ".wav";
}
