// The chart's axes: each tick a mark at its value holding its label.
import { ticksOf } from "../../model/ticks.js";

/** @typedef {import("../../model/chart-grid.js").View} View */

// About as many ticks as an axis gets, at the round step nearest to giving them.
const WANTED_TICKS = { across: 7, up: 6 };

/**
 * @param {HTMLElement} element @param {ReturnType<typeof ticksOf>} ticks @param {"left" | "bottom"} side
 */
function place(element, ticks, side) {
  element.replaceChildren(...ticks.map((tick) => {
    const mark = document.createElement("span");
    mark.className = "tick";
    mark.style[side] = `${(100 * tick.at).toFixed(3)}%`;
    const label = document.createElement("span");
    label.textContent = tick.text;
    mark.append(label);
    return mark;
  }));
}

/**
 * Writes the ticks of a view into the two axis elements: a across, b up (from the bottom). A label that would
 * reach past the end of a's axis is moved back within it, so the chart never widens the page.
 * @param {HTMLElement} across @param {HTMLElement} up @param {View} view
 * @param {import("../../engine/tessel.js").TesselMap} tessel
 */
export function drawAxes(across, up, view, tessel) {
  place(across, ticksOf(tessel, view.acrossLow, view.acrossHigh, WANTED_TICKS.across), "left");
  const end = across.getBoundingClientRect().right;
  for (const label of across.querySelectorAll(".tick > span")) {
    const beyond = label.getBoundingClientRect().right - end;
    if (beyond > 0) /** @type {HTMLElement} */ (label).style.translate = `${-beyond}px`;
  }
  const upTicks = ticksOf(tessel, view.upLow, view.upHigh, WANTED_TICKS.up);
  place(up, upTicks, "bottom");
  // Labels placed by position take no room of their own: the column is as wide as the longest.
  up.style.width = `${Math.max(...upTicks.map((tick) => tick.text.length)) + 1}ch`;
}
