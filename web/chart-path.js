// The path a and b's LFOs take over the chart: one period of them (at most
// PATH_MOST_SECONDS), its points the .wasm's own samples of the signals,
// decimated; the drawn two seconds marked on it, and while the sound plays a
// dot where it is. Drawn on the chart's overlay, through its hook. Given
// lfo-text.js's module by the explorer, as LfoControls is.

// Points along the path: enough for a smooth line, few enough to draw in a blink.
const PATH_POINTS = 2000;
const PATH_COLOUR = "rgba(255, 255, 255, 0.55)";
const TAKE_COLOUR = "#7fdbff";
const DOT_COLOUR = "#ff4fd8";

export class ChartPath {
  // chart: the ChartView whose overlay it draws on; lfoText: lfo-text.js's exports.
  constructor(tessel, chart, lfoText) {
    this.tessel = tessel;
    this.lfoText = lfoText;
    this.chart = chart;
    this.points = null;
    this.dotAt = -1;
    chart.overlayHooks.push((context, view, size) => this.drawOn(context, view, size));
  }

  // The path of the settings' a and b, the first `takeSeconds` of it marked; none where neither moves.
  follow(settings, takeSeconds) {
    const { pathSeconds, signalText } = this.lfoText;
    const seconds = pathSeconds(settings);
    const key = seconds > 0 ? ["a", "b"].map((name) => signalText(this.tessel, settings, name) ?? settings[name])
      .concat(seconds, settings.rate, takeSeconds).join(" ") : "";
    if (key === this.key) return;
    this.key = key;
    this.points = null;
    this.dotAt = -1;
    if (seconds > 0) {
      const samples = Math.round(seconds * settings.rate);
      const every = samples / PATH_POINTS;
      const { voltsPerUnit } = this.tessel.facts;
      const along = (name) => {
        const text = signalText(this.tessel, settings, name);
        if (!text) return new Float64Array(PATH_POINTS + 1).fill(settings[name]);
        const signals = this.tessel.signalSamples(text,
          { rate: settings.rate, samples, every, count: PATH_POINTS + 1 });
        return Float64Array.from(signals, (signal) => signal * voltsPerUnit);
      };
      this.points = { a: along("a"), b: along("b"), samples, every, rate: settings.rate,
        takeEnd: Math.min(PATH_POINTS, Math.ceil(takeSeconds * settings.rate / every)) };
    }
    this.chart.drawOverlay();
  }

  // Where the sound is: sample `frame` of the instance playing, along the repeating path.
  dot(frame) {
    if (!this.points) return;
    this.dotAt = Math.round((frame % this.points.samples) / this.points.every);
    this.chart.drawOverlay();
  }

  stopDot() {
    this.dotAt = -1;
    this.chart.drawOverlay();
  }

  // The path's start and its extent in volts, for the tests; null without a path.
  extent() {
    if (!this.points) return null;
    const { a, b } = this.points;
    const low = (values) => values.reduce((least, v) => Math.min(least, v));
    const high = (values) => values.reduce((most, v) => Math.max(most, v));
    return { start: [a[0], b[0]], aLow: low(a), aHigh: high(a), bLow: low(b), bHigh: high(b),
      seconds: this.points.samples / this.points.rate, takeEnd: this.points.takeEnd, dotAt: this.dotAt };
  }

  drawOn(context, view, { width, height }) {
    if (!this.points) return;
    const { a, b, takeEnd } = this.points;
    const x = (volts) => width * (volts - view.aLow) / (view.aHigh - view.aLow);
    const y = (volts) => height * (view.bHigh - volts) / (view.bHigh - view.bLow);
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
