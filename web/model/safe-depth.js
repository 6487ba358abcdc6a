// An LFO's depth that keeps the map sounding: a map taken out of where it
// sounds stops itself and stays silent until a reset, so a new LFO starts at
// the largest of a few depths whose whole period, rendered by the module from
// a reset at the current settings, never stops it. The rendering goes in
// slices, so that a caller on the page's main thread can yield between them.
// No DOM.
import { takeInstance } from "./take.js";

/** @typedef {import("../engine/tessel.js").TesselMap} TesselMap */
/** @typedef {import("./settings.js").Settings} Settings */
/** @typedef {import("./settings.js").Lfo} Lfo */

// The depths tried, largest first; the last is the depth given where none keeps the map sounding.
export const SAFE_DEPTHS = [0.5, 0.2, 0.1, 0.05, 0.02, 0.01];
// Samples rendered between two yields: a few milliseconds of the module's work.
const SLICE_SAMPLES = 1 << 19;

/**
 * Whether one period of the settings with `name`'s LFO at `depth` stops the map, a slice at a time: yields
 * after each slice, returns the answer.
 * @param {TesselMap} tessel @param {Settings} settings @param {string} name @param {Lfo} lfo
 * @returns {Generator<void, boolean>}
 */
function* stopsWithin(tessel, settings, name, lfo) {
  const samples = Math.round(settings.rate / lfo.hz);
  const trial = { ...settings, lfos: { ...settings.lfos, [name]: lfo } };
  const instance = takeInstance(tessel, trial, samples);
  const slice = Math.min(samples, SLICE_SAMPLES);
  const x = new Float32Array(slice);
  const y = new Float32Array(slice);
  try {
    for (let done = 0; done < samples && instance.stoppedAt < 0; done += slice) {
      const count = Math.min(slice, samples - done);
      instance.renderInto(x.subarray(0, count), y.subarray(0, count));
      yield;
    }
    return instance.stoppedAt >= 0;
  } finally {
    instance.free();
  }
}

/**
 * The largest of SAFE_DEPTHS at which `name`'s LFO of that shape and rate, with the other settings as they
 * are, keeps the map sounding over its whole period; where none does, the smallest, and `stops`. Yields
 * between slices of the rendering.
 * @param {TesselMap} tessel @param {Settings} settings @param {string} name
 * @param {{shape: string, hz: number}} lfo
 * @returns {Generator<void, {depth: number, stops: boolean, stopsAt: number | null}>} `stopsAt`: the next
 *   larger depth tried, which stops it (null where the largest holds)
 */
export function* safeDepth(tessel, settings, name, { shape, hz }) {
  let stopsAt = null;
  for (const depth of SAFE_DEPTHS) {
    if (!(yield* stopsWithin(tessel, settings, name, { shape, hz, depth }))) return { depth, stops: false, stopsAt };
    stopsAt = depth;
  }
  return { depth: SAFE_DEPTHS[SAFE_DEPTHS.length - 1], stops: true, stopsAt };
}
