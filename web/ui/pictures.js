// The explorer's pictures in the look of tessel-render's: the attractor as a
// log-density plot in the inferno colours, and x and y over a few
// milliseconds, from where the cycle settled, as staircases. What they show and in which colours is asked of
// the module's WebAssembly build (`tessel`, a loaded TesselMap), whose code
// draws tessel-render's pictures too; this module only puts it on a canvas.

/** @typedef {import("../engine/tessel.js").TesselMap} TesselMap */
/** @typedef {keyof import("../engine/records").PictureColours} PictureColour */

/**
 * One of the pictures' colours as CSS, with an opacity.
 * @param {TesselMap} tessel @param {PictureColour} name @param {number} [alpha]
 */
export function pictureColour(tessel, name, alpha = 1) {
  const colour = tessel.facts.pictureColours[name];
  return `rgba(${(colour >>> 16) & 255},${(colour >>> 8) & 255},${colour & 255},${alpha})`;
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

// About as many ticks on each axis: the pictures here are about half as large as tessel-render's.
const WANTED_TICKS = { up: 5, across: 6 };

// Plot area inside a picture: room on the left and below for the axes.
function plotArea(picture) {
  return { left: 56, top: 8, width: picture.width - 64, height: picture.height - 40 };
}

// A plot's frame, and the pen set for the labels of its upright axis.
export function frameForLabels(context, area, tessel) {
  context.strokeStyle = pictureColour(tessel, "frame");
  context.strokeRect(area.left - 0.5, area.top - 0.5, area.width + 1, area.height + 1);
  context.fillStyle = pictureColour(tessel, "dimText");
  context.font = "11px ui-monospace, Consolas, monospace";
  context.textAlign = "right";
  context.textBaseline = "middle";
}

// Ticks in volts on the left and below a plot; low and high in volts.
export function drawAxes(context, area, across, up, acrossName, upName, tessel) {
  frameForLabels(context, area, tessel);
  for (const { value, text } of tessel.figures.ticks(up.low, up.high, WANTED_TICKS.up)) {
    const y = area.top + area.height * (up.high - value) / (up.high - up.low);
    context.fillRect(area.left - 5, Math.round(y), 4, 1);
    context.fillText(text, area.left - 7, y);
  }
  context.textAlign = "center";
  context.textBaseline = "top";
  for (const { value, text } of tessel.figures.ticks(across.low, across.high, WANTED_TICKS.across)) {
    const x = area.left + area.width * (value - across.low) / (across.high - across.low);
    context.fillRect(Math.round(x), area.top + area.height + 1, 1, 4);
    context.fillText(text, x, area.top + area.height + 6);
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
  const picture = fitted(canvas);
  const context = picture.context;
  const axesArea = plotArea(picture);
  // The points in the device's pixels.
  const area = Object.fromEntries(Object.entries(axesArea).map(([side, at]) => [side, Math.round(at * picture.scale)]));
  tessel.figures.setTake(x, y);
  const { pixels, view, visited } = tessel.figures.attractor(area.width, area.height);
  context.clearRect(0, 0, picture.width, picture.height);
  context.putImageData(new ImageData(pixels, area.width, area.height), area.left, area.top);
  const { voltsPerUnit } = tessel.facts;
  const volts = (low, high) => ({ low: low * voltsPerUnit, high: high * voltsPerUnit });
  drawAxes(context, axesArea, volts(view.xLow, view.xHigh), volts(view.yLow, view.yHigh), "x (V)", "y (V)", tessel);
  return { view, visited };
}

// x above y, each a staircase over `count` samples from `start` of the take the attractor was drawn from (where its
// cycle settled from `settle`), within its view.
export function drawTraces(canvas, { start, count, settle }, rate, view, tessel) {
  const picture = fitted(canvas);
  const context = picture.context;
  context.clearRect(0, 0, picture.width, picture.height);
  const left = 56;
  const width = picture.width - 64;
  const height = Math.floor((picture.height - 44) / 2);
  /** @type {{output: "x" | "y", top: number, low: number, high: number, colour: PictureColour}[]} */
  const strips = [
    { output: "x", top: 4, low: view.xLow, high: view.xHigh, colour: "xTrace" },
    { output: "y", top: 8 + height, low: view.yLow, high: view.yHigh, colour: "yTrace" },
  ];
  for (const strip of strips) {
    context.fillStyle = pictureColour(tessel, "background");
    context.fillRect(left, strip.top, width, height);
    const { rows, zero } = tessel.figures.trace(strip.output, start, count, width, height, strip.low, strip.high);
    if (zero >= 0) {
      context.fillStyle = pictureColour(tessel, "zeroLine");
      context.fillRect(left, strip.top + zero, width, 1);
    }
    context.fillStyle = pictureColour(tessel, strip.colour);
    for (let column = 0; column < width; column++) {
      if (rows[2 * column + 1] > 0) context.fillRect(left + column, strip.top + rows[2 * column], 1, rows[2 * column + 1]);
    }
    context.strokeStyle = pictureColour(tessel, "frame");
    context.strokeRect(left - 0.5, strip.top - 0.5, width + 1, height + 1);
    context.fillStyle = pictureColour(tessel, strip.colour);
    context.font = "bold 14px system-ui, sans-serif";
    context.textAlign = "center";
    context.textBaseline = "middle";
    context.fillText(strip.output, 24, strip.top + height / 2);
  }
  const [from, to] = [1000 * start / rate, 1000 * (start + count) / rate];
  const area = { left, top: 8 + height, width, height };
  context.fillStyle = pictureColour(tessel, "dimText");
  context.font = "11px ui-monospace, Consolas, monospace";
  context.textAlign = "center";
  context.textBaseline = "top";
  for (const { value, text } of tessel.figures.ticks(from, to, WANTED_TICKS.across)) {
    const px = left + width * (value - from) / (to - from);
    context.fillRect(Math.round(px), area.top + height + 1, 1, 4);
    context.fillText(text, px, area.top + height + 6);
  }
  // Squeezed, where need be, to fit a phone's narrow picture.
  context.fillText(`time (ms), ${tessel.figures.traceWords(start, count, settle)}`, left + width / 2,
    area.top + height + 20, width);
}
