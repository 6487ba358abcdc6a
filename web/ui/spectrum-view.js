// The spectrum of a take drawn: level against frequency on a log axis, in
// the look of the traces.
import { FLOOR_DB } from "../model/spectrum.js";
import { fitted, frameForLabels, pictureColour } from "./pictures.js";

// The axes: from 10 Hz to half the rate; levels over 100 dB below the loudest bin's next 10 dB.
const LOWEST_HZ = 10;
const LEVEL_SPAN_DB = 100;
const LEVEL_STEP_DB = 20;

/** @param {number} hz */
function hzText(hz) {
  return hz >= 1000 ? `${hz / 1000}k` : String(hz);
}

/**
 * The level against log frequency, with its axes.
 * @param {HTMLCanvasElement} canvas @param {{hz: Float64Array, db: Float64Array}} spectrum @param {number} rate
 * @param {import("../engine/tessel.js").TesselMap} tessel
 */
export function drawSpectrum(canvas, spectrum, rate, tessel) {
  const picture = fitted(canvas);
  const context = picture.context;
  const area = { left: 56, top: 8, width: picture.width - 64, height: picture.height - 40 };
  const highHz = rate / 2;
  const across = (hz) => area.left + area.width * Math.log(hz / LOWEST_HZ) / Math.log(highHz / LOWEST_HZ);
  const loudest = spectrum.db.reduce((most, v) => Math.max(most, v), FLOOR_DB);
  const top = loudest > FLOOR_DB ? Math.ceil(loudest / LEVEL_STEP_DB) * LEVEL_STEP_DB : 0;
  const bottom = top - LEVEL_SPAN_DB;
  const down = (db) => area.top + area.height * (top - Math.max(bottom, db)) / LEVEL_SPAN_DB;
  context.clearRect(0, 0, picture.width, picture.height);
  context.fillStyle = pictureColour(tessel, "background");
  context.fillRect(area.left, area.top, area.width, area.height);
  context.save();
  context.beginPath();
  context.rect(area.left, area.top, area.width, area.height);
  context.clip();
  context.beginPath();
  context.moveTo(area.left, area.top + area.height);
  for (let k = 1; k < spectrum.hz.length; k++) {
    if (spectrum.hz[k + 1] < LOWEST_HZ) continue;
    context.lineTo(across(spectrum.hz[k]), down(spectrum.db[k]));
  }
  context.lineTo(area.left + area.width, area.top + area.height);
  context.fillStyle = pictureColour(tessel, "xTrace", 0.35);
  context.fill();
  context.strokeStyle = pictureColour(tessel, "xTrace");
  context.lineWidth = 1;
  context.stroke();
  context.restore();

  frameForLabels(context, area, tessel);
  for (let db = top; db >= bottom; db -= LEVEL_STEP_DB) {
    const y = down(db);
    context.fillRect(area.left - 5, Math.round(y), 4, 1);
    context.fillText(String(db), area.left - 7, y);
  }
  context.textAlign = "center";
  context.textBaseline = "top";
  const below = area.top + area.height;
  for (let decade = LOWEST_HZ; decade < highHz; decade *= 10) {
    for (const factor of [1, 2, 5]) {
      const hz = decade * factor;
      if (hz > highHz) break;
      const x = across(hz);
      context.fillRect(Math.round(x), below + 1, 1, factor === 1 ? 5 : 3);
      context.fillText(hzText(hz), x, below + 6);
    }
  }
  context.fillText("frequency (Hz), the spectrum of x", area.left + area.width / 2, below + 20);
  context.save();
  context.translate(12, area.top + area.height / 2);
  context.rotate(-Math.PI / 2);
  context.fillText("level (dB)", 0, -6);
  context.restore();
}
