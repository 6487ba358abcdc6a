// The chart of starting points' markup: the a-b chart's, its ids prefixed
// with the plane's name and its words naming the plane's inputs, so that both
// charts have one layout.

/** @typedef {import("../../model/chart-planes.js").ChartPlane} ChartPlane */

/**
 * Fills `target` with a copy of `source`'s contents made for `plane`; returns the prefix of its ids.
 * @param {HTMLElement} source @param {HTMLElement} target @param {ChartPlane} plane
 */
export function copyChartSection(source, target, plane) {
  const prefix = `${plane.name}-`;
  target.replaceChildren(...Array.from(source.childNodes, (node) => node.cloneNode(true)));
  for (const node of target.querySelectorAll("[id]")) node.id = prefix + node.id;
  for (const node of target.querySelectorAll("[aria-labelledby]")) {
    node.setAttribute("aria-labelledby", prefix + node.getAttribute("aria-labelledby"));
  }
  const { across, up } = plane;
  const text = (/** @type {string} */ selector, /** @type {string} */ words) => {
    /** @type {HTMLElement} */ (target.querySelector(selector)).textContent = words;
  };
  text("h3", `The chart of starting points: ${across} across, ${up} up, at the current ${plane.held.join(" and ")}`);
  text(".chart-guide", `Click or tap: set ${across} and ${up} · double-click: put them back and zoom out · drag, ` +
    "wheel, + −: zoom · arrows, Enter: by keyboard");
  text(".across-name", across);
  text(".up-name", up);
  /** @type {HTMLElement} */ (target.querySelector("canvas[tabindex]")).setAttribute("aria-label",
    `the chart of ${across} and ${up}: click or tap a point to set ${across} and ${up}, double-click to put them ` +
    `back and zoom out, drag to zoom in, wheel, plus and minus to zoom; arrows move a cursor, Enter sets them`);
  return prefix;
}
