// The spectrum of a take, as the ear hears its sound: a cycle's lines at the
// rate over its period and their harmonics, noise's broad shape. Welch's
// estimate: Hann-windowed segments overlapping by half, their powers
// averaged, in dB of full scale (a sine of peak 1.0, that is 10 V, reads
// 0 dB). No DOM.

// Samples per segment: bins of the rate over 8192 (5.4 Hz at 44.1 kHz),
// fine enough to part the lines of a cycle of a few hundred steps.
export const SEGMENT = 8192;
// A long take's segments are spread over it, at most this many, so a redraw stays quick.
const MOST_SEGMENTS = 8;
// Silence, and anything quieter, reads as this level.
export const FLOOR_DB = -200;

// A radix-2 transform of one size, its tables made once.
class Fourier {
  constructor(size) {
    this.size = size;
    this.reversed = new Uint32Array(size);
    const bits = Math.log2(size);
    for (let i = 0; i < size; i++) {
      let r = 0;
      for (let bit = 0; bit < bits; bit++) r |= ((i >> bit) & 1) << (bits - 1 - bit);
      this.reversed[i] = r;
    }
    this.cos = Float64Array.from({ length: size / 2 }, (_, k) => Math.cos(2 * Math.PI * k / size));
    this.sin = Float64Array.from({ length: size / 2 }, (_, k) => -Math.sin(2 * Math.PI * k / size));
    this.window = Float64Array.from({ length: size }, (_, n) => 0.5 - 0.5 * Math.cos(2 * Math.PI * n / size));
    this.windowSum = size / 2;
  }

  // The forward transform of (re, im), in place.
  transform(re, im) {
    const n = this.size;
    for (let i = 0; i < n; i++) {
      const j = this.reversed[i];
      if (j > i) {
        const r = re[i];
        re[i] = re[j];
        re[j] = r;
        const m = im[i];
        im[i] = im[j];
        im[j] = m;
      }
    }
    for (let half = 1; half < n; half *= 2) {
      const stride = n / (2 * half);
      for (let start = 0; start < n; start += 2 * half) {
        for (let k = 0; k < half; k++) {
          const c = this.cos[k * stride];
          const s = this.sin[k * stride];
          const p = start + k;
          const q = p + half;
          const tr = re[q] * c - im[q] * s;
          const ti = re[q] * s + im[q] * c;
          re[q] = re[p] - tr;
          im[q] = im[p] - ti;
          re[p] += tr;
          im[p] += ti;
        }
      }
    }
  }
}

const fouriers = new Map();
function fourierOf(size) {
  if (!fouriers.has(size)) fouriers.set(size, new Fourier(size));
  return fouriers.get(size);
}

// Where the segments start: overlapping by half, or spread evenly over a long take.
function segmentStarts(length, size) {
  const count = Math.min(MOST_SEGMENTS, 1 + Math.floor((length - size) / (size / 2)));
  if (count === 1) return [0];
  return Array.from({ length: count }, (_, j) => Math.round(j * (length - size) / (count - 1)));
}

// { hz, db }: the level of each bin from 0 Hz to half the rate. Two real
// segments go through one complex transform, one as its real part, one as
// its imaginary part, and are parted by the transform's symmetry.
export function spectrumOf(samples, rate) {
  let size = SEGMENT;
  while (size > samples.length && size > 2) size /= 2;
  const fourier = fourierOf(size);
  const bins = size / 2 + 1;
  const power = new Float64Array(bins);
  const re = new Float64Array(size);
  const im = new Float64Array(size);
  const starts = segmentStarts(samples.length, size);
  for (let pair = 0; pair < starts.length; pair += 2) {
    const first = starts[pair];
    const second = starts[pair + 1];
    for (let n = 0; n < size; n++) {
      re[n] = fourier.window[n] * samples[first + n];
      im[n] = second === undefined ? 0 : fourier.window[n] * samples[second + n];
    }
    fourier.transform(re, im);
    for (let k = 0; k < bins; k++) {
      const m = (size - k) % size;
      const ar = re[k] + re[m];
      const ai = im[k] - im[m];
      const br = im[k] + im[m];
      const bi = re[m] - re[k];
      power[k] += (ar * ar + ai * ai + br * br + bi * bi) / 4;
    }
  }
  // A bin between 0 Hz and half the rate holds half of its sine's power.
  const scale = (k) => ((k === 0 || k === bins - 1 ? 1 : 2) / fourier.windowSum) ** 2 / starts.length;
  const db = Float64Array.from(power, (p, k) => Math.max(FLOOR_DB, 10 * Math.log10(p * scale(k))));
  const hz = Float64Array.from({ length: bins }, (_, k) => k * rate / size);
  return { hz, db, segments: starts.length, size };
}
