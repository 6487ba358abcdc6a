// The chart's colour legend drawn: a swatch and the words of each entry.
import { legendEntries } from "../../model/legend.js";
import { writeExplained } from "../glossary-view.js";

/** @typedef {import("../../model/legend.js").LegendEntry} LegendEntry */

/** @param {LegendEntry} entry */
function swatch({ size, hatched, colourAt }) {
  const canvas = document.createElement("canvas");
  [canvas.width, canvas.height] = [size.width, size.height];
  const context = canvas.getContext("2d");
  const image = context.createImageData(size.width, size.height);
  for (let column = 0; column < size.width; column++) {
    const share = column / (size.width - 1);
    // Each colour is asked of the module: a plain swatch's once a column.
    const plain = hatched ? null : colourAt(share, column, 0);
    for (let row = 0; row < size.height; row++) {
      image.data.set([...(plain ?? colourAt(share, column, row)), 255], 4 * (row * size.width + column));
    }
  }
  context.putImageData(image, 0, 0);
  canvas.setAttribute("aria-hidden", "true");
  return canvas;
}

/** The words in a span of their own, glossary words explained.
 * @param {string} words @param {import("../../engine/tessel.js").TesselMap} tessel @param {string} [className] */
function explained(words, tessel, className) {
  const span = document.createElement("span");
  writeExplained(span, words, tessel);
  if (className) span.className = className;
  return span;
}

/**
 * Fills the legend's list for a chart of `steps` a point at `rate`.
 * @param {HTMLElement} list @param {import("../../engine/tessel.js").TesselMap} tessel @param {number} steps
 * @param {number} rate
 */
export function drawLegend(list, tessel, steps, rate) {
  list.replaceChildren(...legendEntries(tessel, steps, rate).map((entry) => {
    const item = document.createElement("li");
    if (entry.heading) item.append(explained(entry.heading, tessel, "legend-heading"));
    if (entry.before) item.append(explained(entry.before, tessel, "legend-before"));
    item.append(swatch(entry), explained(entry.words, tessel));
    return item;
  }));
}
