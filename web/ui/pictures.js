// The explorer's pictures in the look of tessel-render's: the attractor as a
// log-density plot in the inferno colours, and x and y over the first
// milliseconds as staircases. The colours of the module's own verdicts come
// from its WebAssembly build (`tessel`, a loaded TesselMap).

export const PLOT_BACKGROUND = [0, 0, 4];
const FRAME = "rgb(96,96,108)";
const DIM_TEXT = "rgb(160,160,172)";
const ZERO_LINE = "rgb(52,52,64)";
export const X_TRACE = [249, 142, 9];
export const Y_TRACE = [96, 196, 255];

// --- the attractor ---------------------------------------------------------------
// Where the colour map starts for a pixel visited once.
const DENSITY_FLOOR = 0.3;

// An opaque colour as one pixel of an ImageData seen as 32-bit words (little-endian: RGBA in memory).
/** @param {number[]} rgb */
function packed([r, g, b]) {
  return (255 << 24 | b << 16 | g << 8 | r) >>> 0;
}

// The inferno colours at 1024 steps, made once per loaded module, so a redraw computes no colour per pixel.
const infernoTables = new WeakMap();
function infernoTable(tessel) {
  if (!infernoTables.has(tessel)) {
    infernoTables.set(tessel, Uint32Array.from({ length: 1024 }, (_, k) => packed(tessel.inferno(k / 1023))));
  }
  return infernoTables.get(tessel);
}

// The outputs' extent with a margin, never of zero extent; signal scale.
export function viewOf(x, y) {
  let xLow = Infinity;
  let xHigh = -Infinity;
  let yLow = Infinity;
  let yHigh = -Infinity;
  for (let i = 0; i < x.length; i++) {
    // A step held over many samples (Gated mode) is looked at once.
    if (i > 0 && x[i] === x[i - 1] && y[i] === y[i - 1]) continue;
    if (!Number.isFinite(x[i]) || !Number.isFinite(y[i])) continue;
    if (x[i] < xLow) xLow = x[i];
    if (x[i] > xHigh) xHigh = x[i];
    if (y[i] < yLow) yLow = y[i];
    if (y[i] > yHigh) yHigh = y[i];
  }
  if (xLow > xHigh) [xLow, xHigh, yLow, yHigh] = [0, 0, 0, 0];
  const pad = (low, high) => {
    const span = high - low;
    const least = Math.max(0.01, 1e-3 * Math.max(Math.abs(low), Math.abs(high)));
    return span < least ? [low - least, high + least] : [low - span * 0.04, high + span * 0.04];
  };
  const [viewXLow, viewXHigh] = pad(xLow, xHigh);
  const [viewYLow, viewYHigh] = pad(yLow, yHigh);
  return { xLow: viewXLow, xHigh: viewXHigh, yLow: viewYLow, yHigh: viewYHigh };
}

// Each picture's shape, height over width, as the page's markup gives it.
const shapes = new WeakMap();

/**
 * A picture's canvas sized to the width it is shown at, in the device's pixels, its shape kept, so that its
 * text is as large as the page's own at any width; it is drawn on in CSS pixels.
 * @param {HTMLCanvasElement} canvas
 * @returns {{context: CanvasRenderingContext2D, width: number, height: number, scale: number}}
 */
export function fitted(canvas) {
  if (!shapes.has(canvas)) shapes.set(canvas, { width: canvas.width, shape: canvas.height / canvas.width });
  const { width: marked, shape } = shapes.get(canvas);
  const width = canvas.clientWidth || marked;
  const height = Math.round(width * shape);
  const scale = window.devicePixelRatio || 1;
  canvas.width = Math.round(width * scale);
  canvas.height = Math.round(height * scale);
  const context = canvas.getContext("2d");
  context.setTransform(scale, 0, 0, scale, 0, 0);
  return { context, width, height, scale };
}

// Plot area inside a picture: room on the left and below for the axes.
function plotArea(picture) {
  return { left: 56, top: 8, width: picture.width - 64, height: picture.height - 40 };
}

function ticks(low, high, wanted) {
  const rough = (high - low) / wanted;
  if (!(rough > 0) || !Number.isFinite(rough)) return { values: [], decimals: 0 };
  const power = 10 ** Math.floor(Math.log10(rough));
  let step = power;
  for (const factor of [2, 5, 10]) {
    if (Math.abs(Math.log(power * factor / rough)) < Math.abs(Math.log(step / rough))) step = power * factor;
  }
  const values = [];
  for (let k = Math.ceil(low / step); k * step <= high; k++) values.push(k * step);
  return { values, decimals: Math.max(0, -Math.floor(Math.log10(step) + 1e-9)) };
}

// A plot's frame, and the pen set for the labels of its upright axis.
export function frameForLabels(context, area) {
  context.strokeStyle = FRAME;
  context.strokeRect(area.left - 0.5, area.top - 0.5, area.width + 1, area.height + 1);
  context.fillStyle = DIM_TEXT;
  context.font = "11px ui-monospace, Consolas, monospace";
  context.textAlign = "right";
  context.textBaseline = "middle";
}

// Ticks in volts on the left and below a plot; low and high in volts.
export function drawAxes(context, area, across, up, acrossName, upName) {
  frameForLabels(context, area);
  const upTicks = ticks(up.low, up.high, 5);
  for (const v of upTicks.values) {
    const y = area.top + area.height * (up.high - v) / (up.high - up.low);
    context.fillRect(area.left - 5, Math.round(y), 4, 1);
    context.fillText(v.toFixed(upTicks.decimals), area.left - 7, y);
  }
  context.textAlign = "center";
  context.textBaseline = "top";
  const acrossTicks = ticks(across.low, across.high, 6);
  for (const v of acrossTicks.values) {
    const x = area.left + area.width * (v - across.low) / (across.high - across.low);
    context.fillRect(Math.round(x), area.top + area.height + 1, 1, 4);
    context.fillText(v.toFixed(acrossTicks.decimals), x, area.top + area.height + 6);
  }
  context.fillText(acrossName, area.left + area.width / 2, area.top + area.height + 20);
  context.save();
  context.translate(12, area.top + area.height / 2);
  context.rotate(-Math.PI / 2);
  context.fillText(upName, 0, -6);
  context.restore();
}

// y against x for every sample, log density: brighter where the outputs come more often.
export function drawAttractor(canvas, x, y, tessel) {
  const colours = infernoTable(tessel);
  const picture = fitted(canvas);
  const context = picture.context;
  const axesArea = plotArea(picture);
  // The points in the device's pixels.
  const area = Object.fromEntries(Object.entries(axesArea).map(([side, at]) => [side, Math.round(at * picture.scale)]));
  const view = viewOf(x, y);
  const density = new Uint32Array(area.width * area.height);
  const xScale = area.width / (view.xHigh - view.xLow);
  const yScale = area.height / (view.yHigh - view.yLow);
  let most = 1;
  for (let i = 0; i < x.length;) {
    // A step held over many samples (Gated mode) lands where its first sample did, all at once.
    let end = i + 1;
    while (end < x.length && x[end] === x[i] && y[end] === y[i]) end++;
    if (Number.isFinite(x[i]) && Number.isFinite(y[i])) {
      const column = Math.min(area.width - 1, Math.max(0, Math.trunc((x[i] - view.xLow) * xScale)));
      const row = Math.min(area.height - 1, Math.max(0, Math.trunc((view.yHigh - y[i]) * yScale)));
      const pixel = row * area.width + column;
      density[pixel] += end - i;
      if (density[pixel] > most) most = density[pixel];
    }
    i = end;
  }
  const visited = [];
  for (let pixel = 0; pixel < density.length; pixel++) if (density[pixel] > 0) visited.push(pixel);
  // Few visited pixels would be lost as single dots, so they grow, the densest drawn last, on top.
  const n = visited.length;
  const radius = n < 200 ? 3 : n < 1000 ? 2 : n < 5000 ? 1 : 0;
  if (radius > 0) visited.sort((p, q) => density[p] - density[q]);
  const logMost = most > 1 ? Math.log(most) : 1;
  const image = context.createImageData(area.width, area.height);
  const pixels = new Uint32Array(image.data.buffer);
  pixels.fill(packed(PLOT_BACKGROUND));
  for (const pixel of visited) {
    const colour = colours[Math.round((colours.length - 1) *
      (DENSITY_FLOOR + (1 - DENSITY_FLOOR) * Math.log(density[pixel]) / logMost))];
    const row = Math.floor(pixel / area.width);
    const column = pixel % area.width;
    for (let r = Math.max(0, row - radius); r <= Math.min(area.height - 1, row + radius); r++) {
      for (let c = Math.max(0, column - radius); c <= Math.min(area.width - 1, column + radius); c++) {
        pixels[r * area.width + c] = colour;
      }
    }
  }
  context.clearRect(0, 0, picture.width, picture.height);
  context.putImageData(image, area.left, area.top);
  const { voltsPerUnit } = tessel.facts;
  const volts = (low, high) => ({ low: low * voltsPerUnit, high: high * voltsPerUnit });
  drawAxes(context, axesArea, volts(view.xLow, view.xHigh), volts(view.yLow, view.yHigh), "x (V)", "y (V)");
  return { view, visited: n };
}

// x above y, each a staircase over the first `count` samples, within the attractor's view.
export function drawTraces(canvas, x, y, count, rate, view) {
  const picture = fitted(canvas);
  const context = picture.context;
  context.clearRect(0, 0, picture.width, picture.height);
  const left = 56;
  const width = picture.width - 64;
  const height = Math.floor((picture.height - 44) / 2);
  const strips = [
    { samples: x, top: 4, low: view.xLow, high: view.xHigh, colour: X_TRACE, name: "x" },
    { samples: y, top: 8 + height, low: view.yLow, high: view.yHigh, colour: Y_TRACE, name: "y" },
  ];
  for (const strip of strips) {
    context.fillStyle = `rgb(${PLOT_BACKGROUND})`;
    context.fillRect(left, strip.top, width, height);
    const row = (v) => strip.top + (height - 2) * (strip.high - v) / (strip.high - strip.low);
    if (strip.low < 0 && strip.high > 0) {
      context.fillStyle = ZERO_LINE;
      context.fillRect(left, Math.round(row(0)), width, 1);
    }
    context.fillStyle = `rgb(${strip.colour})`;
    for (let column = 0; column < width; column++) {
      const from = column * count / width;
      const first = Math.min(count - 1, Math.floor(from));
      const last = Math.max(first, Math.min(count - 1, Math.ceil((column + 1) * count / width) - 1));
      const begin = column > 0 ? Math.min(first, Math.max(0, Math.ceil(from) - 1)) : first;
      let low = Infinity;
      let high = -Infinity;
      for (let i = begin; i <= last; i++) {
        if (!Number.isFinite(strip.samples[i])) continue;
        low = Math.min(low, strip.samples[i]);
        high = Math.max(high, strip.samples[i]);
      }
      if (low > high) continue;
      const top = Math.floor(row(high));
      context.fillRect(left + column, top, 1, Math.floor(row(low)) - top + 2);
    }
    context.strokeStyle = FRAME;
    context.strokeRect(left - 0.5, strip.top - 0.5, width + 1, height + 1);
    context.fillStyle = `rgb(${strip.colour})`;
    context.font = "bold 14px system-ui, sans-serif";
    context.textAlign = "center";
    context.textBaseline = "middle";
    context.fillText(strip.name, 24, strip.top + height / 2);
  }
  const milliseconds = 1000 * count / rate;
  const area = { left, top: 8 + height, width, height };
  context.fillStyle = DIM_TEXT;
  context.font = "11px ui-monospace, Consolas, monospace";
  context.textAlign = "center";
  context.textBaseline = "top";
  const marks = ticks(0, milliseconds, 6);
  for (const v of marks.values) {
    const px = left + width * v / milliseconds;
    context.fillRect(Math.round(px), area.top + height + 1, 1, 4);
    context.fillText(v.toFixed(marks.decimals), px, area.top + height + 6);
  }
  context.fillText(`time (ms), the first ${count} samples`, left + width / 2, area.top + height + 20);
}
