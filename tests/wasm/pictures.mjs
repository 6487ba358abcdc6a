// tessel-render's take picture against what the page draws of the same take:
// the attractor's pixels (its view's margin, the dots' sizes, the density's
// colours) and the staircases of x and y must be the tool's, pixel for pixel,
// as both ask the same C++ (verdict/figures.h) for them.
import { execFileSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { inflateSync } from 'node:zlib';

// Where tessel-render's take picture puts its panels (tools/pictures/take_picture.cpp).
const PLOT = { left: 150, width: 1020 };
const DENSITY = { top: 140, height: 600 };
const STRIPS = [{ output: 'x', top: 840, height: 140 }, { output: 'y', top: 996, height: 140 }];

// Takes whose pictures differ in how they are drawn: many pixels visited, dots grown for few, a stop after a
// few steps, a cycle of a few points with Normalize off, a cycle that settles after the usual 5 ms. `strip`: the
// samples the tool traces; `held`: a continuous take's a and b (volts) and rate, whose traces start as the page
// starts them, where the orbit judged over the take settled.
export const pictureCases = [
  { name: 'the usual take, 2 s', options: ['--seconds', '2'], strip: 221, held: { a: 1.4, b: 0.3, rate: 44100 } },
  { name: 'gated at 500 Hz, reset each 0.25 s', options: ['--seconds', '1', '--mode', 'gated', '--gate-hz', '500',
    '--reset-at', '0.25', '--reset-at', '0.5', '--reset-at', '0.75'], strip: 1412 },
  { name: 'a take that stops after a few steps', options: ['--seconds', '0.2', '--a', '2.1'], strip: 221,
    held: { a: 2.1, b: 0.3, rate: 44100 } },
  { name: 'a cycle, Normalize off, 48000 Hz', options: ['--seconds', '0.5', '--a', '0.9', '--b', '0.2',
    '--normalize', 'off', '--rate', '48000'], strip: 240, held: { a: 0.9, b: 0.2, rate: 48000 } },
  { name: 'a cycle that settles after its attack, a 1.3 V', options: ['--seconds', '2', '--a', '1.3'], strip: 221,
    held: { a: 1.3, b: 0.3, rate: 44100 } },
];

// An 8-bit RGB PNG as libpng writes it: its rows unfiltered.
export function readPng(path) {
  const file = readFileSync(path);
  const width = file.readUInt32BE(16);
  const height = file.readUInt32BE(20);
  const chunks = [];
  for (let at = 8; at < file.length;) {
    const size = file.readUInt32BE(at);
    if (file.toString('latin1', at + 4, at + 8) === 'IDAT') chunks.push(file.subarray(at + 8, at + 8 + size));
    at += 12 + size;
  }
  const packed = inflateSync(Buffer.concat(chunks));
  const stride = 3 * width;
  const rgb = new Uint8Array(stride * height);
  for (let row = 0; row < height; ++row) {
    const filter = packed[row * (stride + 1)];
    for (let i = 0; i < stride; ++i) {
      const raw = packed[row * (stride + 1) + 1 + i];
      const left = i >= 3 ? rgb[row * stride + i - 3] : 0;
      const up = row > 0 ? rgb[(row - 1) * stride + i] : 0;
      const corner = row > 0 && i >= 3 ? rgb[(row - 1) * stride + i - 3] : 0;
      const guess = left + up - corner;
      const nearest = [left, up, corner].reduce((best, v) => (Math.abs(guess - v) < Math.abs(guess - best) ? v : best));
      const predicted = [0, left, up, (left + up) >> 1, nearest][filter];
      rgb[row * stride + i] = (raw + predicted) & 255;
    }
  }
  return { width, rgb };
}

/** The first pixel where the page's attractor differs from the tool's, or null. */
function attractorDifference(map, png) {
  const { pixels } = map.figures.attractor(PLOT.width, DENSITY.height);
  for (let row = 0; row < DENSITY.height; ++row) {
    for (let column = 0; column < PLOT.width; ++column) {
      const at = 3 * ((DENSITY.top + row) * png.width + PLOT.left + column);
      const page = pixels.subarray(4 * (row * PLOT.width + column), 4 * (row * PLOT.width + column) + 3);
      if (page.some((v, k) => v !== png.rgb[at + k])) {
        return `attractor pixel ${column}, ${row}: page ${[...page]}, tessel-render ${[...png.rgb.subarray(at, at + 3)]}`;
      }
    }
  }
  return null;
}

/** The first column where the page's staircase of x or y covers other rows than the tool's, or null. */
function traceDifference(map, png, strip, start, count) {
  const { view } = map.figures.attractor(1, 1);
  const [low, high] = strip.output === 'x' ? [view.xLow, view.xHigh] : [view.yLow, view.yHigh];
  const { rows } = map.figures.trace(strip.output, start, count, PLOT.width, strip.height, low, high);
  const colour = map.facts.pictureColours[`${strip.output}Trace`];
  for (let column = 0; column < PLOT.width; ++column) {
    for (let row = 0; row < strip.height; ++row) {
      const at = 3 * ((strip.top + row) * png.width + PLOT.left + column);
      const tool = ((png.rgb[at] << 16) | (png.rgb[at + 1] << 8) | png.rgb[at + 2]) === colour;
      const page = row >= rows[2 * column] && row < rows[2 * column] + rows[2 * column + 1];
      if (tool !== page) return `${strip.output} at column ${column}, row ${row}: page ${page}, tessel-render ${tool}`;
    }
  }
  return null;
}

/** What differs between the page's picture of a take and tessel-render's, or null. */
export function comparePicture(map, renderPath, take, scratch) {
  const [wavPath, pngPath] = [join(scratch, 'picture.wav'), join(scratch, 'picture.png')];
  execFileSync(renderPath, ['--quiet', '--out', wavPath, '--plot', pngPath, ...take.options],
    { stdio: ['ignore', 'ignore', 'inherit'] });
  const wav = readFileSync(wavPath);
  const data = wav.indexOf('data', 12, 'latin1');
  const frames = new Float32Array(wav.buffer.slice(wav.byteOffset + data + 8, wav.byteOffset + wav.length));
  const x = frames.filter((_, i) => i % 2 === 0);
  const y = frames.filter((_, i) => i % 2 === 1);
  const png = readPng(pngPath);
  const settle = take.held ? map.analysePoint({ ...take.held, steps: x.length }).settle : -1;
  const start = map.figures.traceStart(settle, take.strip, x.length);
  map.figures.setTake(x, y);
  return attractorDifference(map, png) ?? STRIPS.reduce((found, strip) =>
    found ?? traceDifference(map, png, strip, start, take.strip), /** @type {string | null} */ (null));
}
