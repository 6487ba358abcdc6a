// A recording of the sound playing, as the worklet hands it over chunk by
// chunk (engine/recorder.js): kept from the Reset it starts with, its sound
// as a stereo WAV (x left, y right, before the volume), its inputs as the
// module read them, one WAV channel for each that moves, and the
// tessel-render command line that renders the same sound from that file,
// the inputs that stay constant given in exact volts. No DOM.
import { PLANES } from "../engine/recorder.js";
import { wavHeader } from "./take.js";

/** @typedef {import("../engine/tessel.js").TesselMap} TesselMap */
/** @typedef {{frames: number, value: number} | {frames: number, samples: Float32Array}} Segment */

// A chunk's planes: the inputs, then x and y.
const INPUT_PINS = PLANES - 2;
const X_PLANE = PLANES - 2;
const Y_PLANE = PLANES - 1;

/**
 * Whether the samples are all one float, bit for bit (0 and -0 apart).
 * @param {Float32Array} samples
 */
function constant(samples) {
  const bits = new Uint32Array(samples.buffer, samples.byteOffset, samples.length);
  for (let i = 1; i < bits.length; ++i) if (bits[i] !== bits[0]) return false;
  return true;
}

export class Recording {
  /**
   * @param {{rate: number, mode: string, normalize: boolean}} settings those that cannot change while it records
   * @param {boolean} resetWasHigh whether Reset was high just before the recording's first frame
   * @param {number} mostFrames where it stops
   */
  constructor(settings, resetWasHigh, mostFrames) {
    this.settings = settings;
    this.resetWasHigh = resetWasHigh;
    this.mostFrames = mostFrames;
    this.frames = 0;
    this.started = false;  // whether Reset has risen, where the recording starts
    /** @type {Float32Array[]} the sound, x and y interleaved */
    this.sound = [];
    /** @type {Segment[][]} each input pin's samples, chunk by chunk */
    this.inputs = Array.from({ length: INPUT_PINS }, () => []);
  }

  get full() {
    return this.frames >= this.mostFrames;
  }

  /**
   * A chunk from the worklet, read before its buffer goes back: the frames from the first where Reset rises.
   * @param {{buffer: ArrayBuffer, frames: number, chunkFrames: number}} chunk
   */
  add({ buffer, frames, chunkFrames }) {
    /** @param {number} pin */
    const plane = (pin) => new Float32Array(buffer, pin * chunkFrames * 4, frames);
    const from = this.started ? 0 : this.risingFrom(plane(1));
    if (from < 0) return;
    this.started = true;
    const to = Math.min(frames, from + this.mostFrames - this.frames);
    if (to <= from) return;
    const x = plane(X_PLANE);
    const y = plane(Y_PLANE);
    const sound = new Float32Array(2 * (to - from));
    for (let i = from; i < to; ++i) {
      sound[2 * (i - from)] = x[i];
      sound[2 * (i - from) + 1] = y[i];
    }
    this.sound.push(sound);
    for (let pin = 0; pin < INPUT_PINS; ++pin) {
      const samples = plane(pin).subarray(from, to);
      this.inputs[pin].push(constant(samples) ? { frames: to - from, value: samples[0] } :
        { frames: to - from, samples: samples.slice() });
    }
    this.frames += to - from;
  }

  /**
   * The first frame where Reset rises, or -1 (and Reset's last level kept for the next chunk).
   * @param {Float32Array} reset
   */
  risingFrom(reset) {
    for (let i = 0; i < reset.length; ++i) {
      const wasHigh = i === 0 ? this.resetWasHigh : reset[i - 1] > 0;
      if (reset[i] > 0 && !wasHigh) return i;
    }
    if (reset.length > 0) this.resetWasHigh = reset[reset.length - 1] > 0;
    return -1;
  }

  /** Whether input `pin` takes more than one value. @param {number} pin */
  moves(pin) {
    const segments = this.inputs[pin];
    const first = segments[0];
    return segments.some((segment) => !("value" in segment) || !("value" in first) ||
      !Object.is(segment.value, first.value));
  }

  /** The pins that move, each a channel of the inputs file in this order. */
  get movingPins() {
    return Array.from({ length: INPUT_PINS }, (_, pin) => pin).filter((pin) => this.moves(pin));
  }

  /** The sound as a stereo WAV file's parts. */
  soundParts() {
    return [wavHeader(2, this.settings.rate, this.frames), ...this.sound];
  }

  /** The moving inputs as a WAV file's parts, a channel each; null when none moves. */
  inputParts() {
    const pins = this.movingPins;
    if (pins.length === 0) return null;
    /** @type {BlobPart[]} */
    const parts = [wavHeader(pins.length, this.settings.rate, this.frames)];
    this.sound.forEach((_, chunk) => {
      const frames = this.inputs[0][chunk].frames;
      const samples = new Float32Array(frames * pins.length);
      pins.forEach((pin, channel) => {
        const segment = this.inputs[pin][chunk];
        for (let i = 0; i < frames; ++i) {
          samples[i * pins.length + channel] = "value" in segment ? segment.value : segment.samples[i];
        }
      });
      parts.push(samples);
    });
    return parts;
  }

  /**
   * The command line that renders the recorded sound from the inputs file, to `out`.
   * @param {TesselMap} tessel @param {string} inputsFile @param {string} out
   */
  commandLine(tessel, inputsFile, out) {
    const { rate, mode, normalize } = this.settings;
    const words = ["tessel-render", "--seconds", String(this.frames / rate), "--rate", String(rate),
      "--mode", mode, "--normalize", normalize ? "on" : "off"];
    const moving = this.movingPins;
    for (let pin = 0; pin < INPUT_PINS; ++pin) {
      const name = tessel.facts.pins[pin].name.toLowerCase();
      if (moving.includes(pin)) words.push("--input", `${name}=${inputsFile}:${moving.indexOf(pin) + 1}`);
      else if (["x0", "y0", "a", "b"].includes(name)) {
        words.push(`--${name}`, String(tessel.voltsOf(/** @type {{value: number}} */ (this.inputs[pin][0]).value)));
      }
    }
    words.push("--out", out);
    return words.join(" ");
  }
}

/**
 * Empty chunks for the worklet to record into.
 * @param {number} count @param {number} frames @returns {ArrayBuffer[]}
 */
export function chunkBuffers(count, frames) {
  return Array.from({ length: count }, () => new ArrayBuffer(PLANES * frames * Float32Array.BYTES_PER_ELEMENT));
}
