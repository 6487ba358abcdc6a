// The path a and b's LFOs take over the chart: one period of them (at most
// PATH_MOST_SECONDS), its points the .wasm's own samples of the signals,
// decimated; the drawn two seconds marked on it, and while the sound plays a
// dot where it is. Drawn on the chart's overlay, through its hook.
import { pathSeconds, signalText } from "../../model/lfo.js";
import { takeSeconds } from "../../model/take.js";

/** @typedef {import("../../engine/tessel.js").TesselMap} TesselMap */
/** @typedef {import("../../model/settings.js").Settings} Settings */
/** @typedef {import("../../model/chart-grid.js").View} View */

// Points along the path: enough for a smooth line, few enough to draw in a blink.
const PATH_POINTS = 2000;
const PATH_COLOUR = "rgba(255, 255, 255, 0.55)";
const TAKE_COLOUR = "#7fdbff";
const DOT_COLOUR = "#ff4fd8";

export class ChartPath {
  /** @param {TesselMap} tessel @param {import("./chart-view.js").ChartView} chart whose overlay it draws on */
  constructor(tessel, chart) {
    this.tessel = tessel;
    this.chart = chart;
    this.key = "";
    /** @type {{a: Float64Array, b: Float64Array, samples: number, every: number, rate: number,
     *   takeEnd: number} | null} */
    this.points = null;
    this.dotAt = -1;
    chart.overlayHooks.push((context, view, size) => this.drawOn(context, view, size));
  }

  /**
   * The path of the settings' a and b, the take's length of it marked; none where neither moves.
   * @param {Settings} settings
   */
  follow(settings) {
    const seconds = pathSeconds(settings);
    const taken = takeSeconds(settings);
    const key = seconds > 0 ? ["a", "b"].map((name) => signalText(this.tessel, settings, name) ?? settings[name])
      .concat(seconds, settings.rate, taken).join(" ") : "";
    if (key === this.key) return;
    this.key = key;
    this.points = null;
    this.dotAt = -1;
    if (seconds > 0) {
      const samples = Math.round(seconds * settings.rate);
      const every = samples / PATH_POINTS;
      const { voltsPerUnit } = this.tessel.facts;
      /** @param {"a" | "b"} name */
      const along = (name) => {
        const text = signalText(this.tessel, settings, name);
        if (!text) return new Float64Array(PATH_POINTS + 1).fill(settings[name]);
        const signals = this.tessel.signalSamples(text,
          { rate: settings.rate, samples, every, count: PATH_POINTS + 1 });
        return Float64Array.from(signals, (signal) => signal * voltsPerUnit);
      };
      this.points = { a: along("a"), b: along("b"), samples, every, rate: settings.rate,
        takeEnd: Math.min(PATH_POINTS, Math.ceil(taken * settings.rate / every)) };
    }
    this.chart.drawOverlay();
  }

  /** Where the sound is: sample `frame` of the instance playing, along the repeating path. @param {number} frame */
  dot(frame) {
    if (!this.points) return;
    this.dotAt = Math.round((frame % this.points.samples) / this.points.every);
    this.chart.drawOverlay();
  }

  stopDot() {
    this.dotAt = -1;
    this.chart.drawOverlay();
  }

  /** The path's start, its extent in volts, its length, the take's end and the dot; null without a path. */
  extent() {
    if (!this.points) return null;
    const { a, b } = this.points;
    /** @param {Float64Array} values */
    const low = (values) => values.reduce((least, v) => Math.min(least, v));
    /** @param {Float64Array} values */
    const high = (values) => values.reduce((most, v) => Math.max(most, v));
    return { start: [a[0], b[0]], aLow: low(a), aHigh: high(a), bLow: low(b), bHigh: high(b),
      seconds: this.points.samples / this.points.rate, takeEnd: this.points.takeEnd, dotAt: this.dotAt };
  }

  /** @param {CanvasRenderingContext2D} context @param {View} view @param {{width: number, height: number}} size */
  drawOn(context, view, { width, height }) {
    if (!this.points) return;
    const { a, b, takeEnd } = this.points;
    /** @param {number} volts */
    const x = (volts) => width * (volts - view.acrossLow) / (view.acrossHigh - view.acrossLow);
    /** @param {number} volts */
    const y = (volts) => height * (view.upHigh - volts) / (view.upHigh - view.upLow);
    /** @param {number} from @param {number} to @param {string} colour @param {number} lineWidth */
    const line = (from, to, colour, lineWidth) => {
      context.strokeStyle = colour;
      context.lineWidth = lineWidth;
      context.beginPath();
      context.moveTo(x(a[from]), y(b[from]));
      for (let i = from + 1; i <= to; i++) context.lineTo(x(a[i]), y(b[i]));
      context.stroke();
    };
    line(0, a.length - 1, PATH_COLOUR, 1.5);
    line(0, takeEnd, TAKE_COLOUR, 3);
    if (this.dotAt >= 0) {
      context.fillStyle = DOT_COLOUR;
      context.beginPath();
      context.arc(x(a[this.dotAt]), y(b[this.dotAt]), 5, 0, 2 * Math.PI);
      context.fill();
    }
  }
}
