// The explorer's two charts: of a and b from the current x0 and y0 (where the
// map sounds), and of the starting points x0 and y0 at the current a and b
// (which of them sound and which stop), as tessel-render --plane ab and xy
// chart them. Each names the inputs across and up and the two held still. No DOM.

/** @typedef {"a" | "b" | "x0" | "y0"} Input */
/** @typedef {{name: "ab" | "xy", across: Input, up: Input, held: [Input, Input], heldWords: string}} ChartPlane */

/** @type {Readonly<Record<"ab" | "xy", ChartPlane>>} */
export const CHART_PLANES = Object.freeze({
  ab: { name: "ab", across: "a", up: "b", held: ["x0", "y0"], heldWords: "from" },
  xy: { name: "xy", across: "x0", up: "y0", held: ["a", "b"], heldWords: "at" },
});

/**
 * The settings' fields a picked point sets.
 * @param {ChartPlane} plane @param {number} across @param {number} up @returns {Partial<Record<Input, number>>}
 */
export function pickedInputs(plane, across, up) {
  return { [plane.across]: across, [plane.up]: up };
}
