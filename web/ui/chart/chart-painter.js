// The chart's pixels: each point judged paints its block of the pass that
// computed it, until a finer point paints over it; a rounding cycle hatched.
import { CHART_HEIGHT, CHART_POINTS, CHART_WIDTH, STRIDES } from "../../model/chart-grid.js";

/** @typedef {import("../../engine/tessel.js").TesselMap} TesselMap */
/** @typedef {{pixels: Uint8ClampedArray, shownFrom: Int32Array, shownStride: Uint8Array}} PainterSnapshot */

// What a pixel shows before any point is in.
const UNCOMPUTED = [18, 18, 24, 255];
// While a pass fills, its pixels go onto the canvas this often, not at every frame: a frame with new pixels costs
// the page's thread, the compositor and the browser's drawing process a few milliseconds each, and at every frame
// that took a fifth of two cores from the workers.
const FILLING_PUT_MS = 200;

export class ChartPainter {
  /** @param {HTMLCanvasElement} canvas @param {TesselMap} tessel @param {number} steps */
  constructor(canvas, tessel, steps) {
    this.canvas = canvas;
    this.tessel = tessel;
    this.steps = steps;
    this.image = canvas.getContext("2d").createImageData(CHART_WIDTH, CHART_HEIGHT);
    // The point whose result each pixel shows until its own comes, and that point's pass stride.
    this.shownFrom = new Int32Array(CHART_POINTS);
    this.shownStride = new Uint8Array(CHART_POINTS);
    this.frameAsked = false;
    /** @type {ReturnType<typeof setTimeout> | null} */
    this.putTimer = null;
    this.lastPut = -Infinity;
    /** Called after each put that putSoon asked for. */
    this.afterPut = () => {};
  }

  clear() {
    this.shownFrom.fill(-1);
    this.shownStride.fill(STRIDES[0] + 1);
    for (let pixel = 0; pixel < this.image.data.length; pixel += 4) this.image.data.set(UNCOMPUTED, pixel);
  }

  /** @returns {PainterSnapshot} */
  snapshot() {
    return { pixels: this.image.data.slice(), shownFrom: this.shownFrom.slice(), shownStride: this.shownStride.slice() };
  }

  /** @param {PainterSnapshot} kept */
  restore(kept) {
    this.image.data.set(kept.pixels);
    this.shownFrom.set(kept.shownFrom);
    this.shownStride.set(kept.shownStride);
  }

  /**
   * Each point of a task in its colour over its block of the pass, where no finer point has painted yet: passes
   * are dealt out in order, but two workers may finish them out of order.
   * @param {number[]} points @param {number} stride
   * @param {import("../../engine/point-judges.js").VerdictColumns} verdicts the points' verdicts, in their order
   */
  paint(points, stride, verdicts) {
    const { outcome, period, steps, lyapunov, rounding } = verdicts;
    points.forEach((point, k) => {
      const colour = this.tessel.chartColour(outcome[k], period[k], steps[k], lyapunov[k], this.steps);
      this.paintBlock(point, stride, colour, rounding[k] === 1);
    });
  }

  /**
   * One point's block, a rounding cycle hatched. @param {number} point @param {number} stride
   * @param {number} colour 0xRRGGBB @param {boolean} hatched
   */
  paintBlock(point, stride, colour, hatched) {
    const data = this.image.data;
    const i0 = point % CHART_WIDTH;
    const j0 = Math.floor(point / CHART_WIDTH);
    for (let j = j0; j < Math.min(CHART_HEIGHT, j0 + stride); j++) {
      for (let i = i0; i < Math.min(CHART_WIDTH, i0 + stride); i++) {
        const cell = j * CHART_WIDTH + i;
        if (this.shownStride[cell] <= stride && cell !== point) continue;
        this.shownFrom[cell] = point;
        this.shownStride[cell] = cell === point ? 0 : stride;
        const row = CHART_HEIGHT - 1 - j;
        const pixel = 4 * (row * CHART_WIDTH + i);
        const rgb = hatched ? this.tessel.hatchedColour(colour, i, row) : colour;
        data[pixel] = rgb >>> 16;
        data[pixel + 1] = (rgb >>> 8) & 255;
        data[pixel + 2] = rgb & 255;
        data[pixel + 3] = 255;
      }
    }
  }

  /** The pixels onto the canvas now. */
  put() {
    this.lastPut = performance.now();
    this.canvas.getContext("2d").putImageData(this.image, 0, 0);
  }

  /**
   * The pixels onto the canvas at a frame to come, once however many points come before it: the next frame when
   * `promptly` (a pass just finished) or when the last put is FILLING_PUT_MS old, else the first frame after that.
   * @param {() => void} then called after the put @param {boolean} [promptly]
   */
  putSoon(then, promptly = false) {
    this.afterPut = then;
    if (this.frameAsked) return;
    const wait = promptly ? 0 : this.lastPut + FILLING_PUT_MS - performance.now();
    if (wait <= 0) this.askFrame();
    else if (this.putTimer === null) this.putTimer = setTimeout(() => this.askFrame(), wait);
  }

  askFrame() {
    if (this.putTimer !== null) clearTimeout(this.putTimer);
    this.putTimer = null;
    this.frameAsked = true;
    requestAnimationFrame(() => {
      this.frameAsked = false;
      this.put();
      this.afterPut();
    });
  }
}
