// The chart steered by pointer (mouse, pen or touch) and keyboard: only a
// plain click, a tap or Enter sets a and b, at once, whether the chart has the
// keyboard or not; a dragged rectangle, the wheel, + and - zoom, and a double
// click's second click puts a and b back and zooms out, so that a double
// click leaves the patch as it was. Pointer events become picks and zooms of
// grid points; what is under the pointer and the keyboard's cursor are kept
// for the overlay.
import { CHART_HEIGHT, CHART_WIDTH } from "../../model/chart-grid.js";

/** @typedef {import("../../model/chart-grid.js").GridPoint} GridPoint */
/**
 * What the gestures ask of the chart.
 * @typedef {{pick: (point: GridPoint) => void, pickVolts: (volts: {across: number, up: number}) => void,
 *   marked: () => {across: number, up: number} | null,
 *   zoomTo: (from: GridPoint, to: GridPoint) => void, zoomAround: (point: GridPoint) => void,
 *   zoomOut: () => void, canZoomOut: () => boolean, hover: (point: GridPoint | null) => void,
 *   redraw: () => void}} ChartActions
 */

// Fewer pixels than this between press and release is a click, not a drag.
const LEAST_DRAG = 5;
// A second click this soon after a click makes a double click.
const DOUBLE_CLICK_MS = 400;
// Wheel events closer together than this are one gesture: one zoom, not a zoom per event.
const WHEEL_PAUSE_MS = 250;
// Arrow keys move the cursor this many points, with Shift this many.
const CURSOR_STEP = 4;
const CURSOR_LEAP = 20;
const ARROWS = { ArrowLeft: [-1, 0], ArrowRight: [1, 0], ArrowUp: [0, 1], ArrowDown: [0, -1] };

export class ChartGestures {
  /** @param {HTMLCanvasElement} canvas @param {ChartActions} actions */
  constructor(canvas, actions) {
    this.canvas = canvas;
    this.actions = actions;
    /** @type {{x: number, y: number, at: GridPoint | null} | null} */
    this.press = null;
    /** The point under the pointer. @type {GridPoint | null} */
    this.hovered = null;
    /** The keyboard's cursor. @type {GridPoint | null} */
    this.cursor = null;
    /** A rectangle being dragged. @type {{from: GridPoint, to: GridPoint} | null} */
    this.dragging = null;
    /** The a and b the last click replaced, until the next click. @type {{a: number, b: number} | null} */
    this.pickedBefore = null;
    this.lastWheel = -Infinity;
    // When the last click or tap that was not the second of a double came.
    this.lastClick = -Infinity;
    this.listen();
  }

  /** Forgets the cursor and the last click: the chart as it was first shown. */
  forget() {
    Object.assign(this, { cursor: null, pickedBefore: null, lastClick: -Infinity });
  }

  /** @param {{clientX: number, clientY: number}} event @returns {GridPoint | null} */
  pointUnder(event) {
    const box = this.canvas.getBoundingClientRect();
    const i = Math.floor((event.clientX - box.left) / box.width * CHART_WIDTH);
    const row = Math.floor((event.clientY - box.top) / box.height * CHART_HEIGHT);
    if (i < 0 || i >= CHART_WIDTH || row < 0 || row >= CHART_HEIGHT) return null;
    return { i, j: CHART_HEIGHT - 1 - row };
  }

  listen() {
    const canvas = this.canvas;
    canvas.addEventListener("pointerdown", (event) => {
      if (event.button !== 0 || !event.isPrimary) return;
      canvas.setPointerCapture(event.pointerId);
      this.press = { x: event.clientX, y: event.clientY, at: this.pointUnder(event) };
    });
    canvas.addEventListener("pointermove", (event) => {
      if (!event.isPrimary) return;
      const dragged = this.press && this.dragged(event);
      this.dragging = dragged && this.press.at ? { from: this.press.at, to: this.pointUnder(event) } : null;
      this.hover(this.pointUnder(event));
    });
    canvas.addEventListener("pointerleave", () => this.hover(null));
    canvas.addEventListener("pointercancel", () => this.release());
    canvas.addEventListener("pointerup", (event) => this.released(event));
    // Double clicks are told from single ones on pointerup, for touch too; the browser's own would select text.
    canvas.addEventListener("dblclick", (event) => event.preventDefault());
    canvas.addEventListener("wheel", (event) => this.wheel(event), { passive: false });
    canvas.addEventListener("keydown", (event) => this.key(event));
    canvas.addEventListener("blur", () => this.actions.redraw());
  }

  release() {
    this.press = null;
    this.dragging = null;
    this.actions.redraw();
  }

  /** @param {PointerEvent} event */
  released(event) {
    const press = this.press;
    this.release();
    if (!press || !press.at || !event.isPrimary) return;
    const under = this.pointUnder(event);
    if (!under) return;
    if (this.dragged(event, press)) this.actions.zoomTo(press.at, under);
    else this.clicked(under, event.timeStamp);
  }

  /** @param {{clientX: number, clientY: number}} event @param {{x: number, y: number}} press */
  dragged(event, press = this.press) {
    return Math.hypot(event.clientX - press.x, event.clientY - press.y) >= LEAST_DRAG;
  }

  /** @param {GridPoint | null} under */
  hover(under) {
    this.hovered = under;
    this.actions.hover(under);
    this.actions.redraw();
  }

  /**
   * A click or tap sets a and b to the point's; the second within the double-click time puts back what the
   * first replaced and zooms out.
   * @param {GridPoint} under @param {number} time
   */
  clicked(under, time) {
    this.cursor = { ...under };
    const second = time - this.lastClick < DOUBLE_CLICK_MS;
    this.lastClick = second ? -Infinity : time;
    if (second) {
      if (this.pickedBefore) this.actions.pickVolts(this.pickedBefore);
      this.pickedBefore = null;
      this.actions.zoomOut();
    } else {
      const marked = this.actions.marked();
      this.pickedBefore = marked && { ...marked };
      this.actions.pick(under);
    }
    this.actions.redraw();
  }

  /**
   * The wheel zooms in (away from the user) around the point under it, and back out one zoom; on the whole
   * plane, turned back, it scrolls the page.
   * @param {WheelEvent} event
   */
  wheel(event) {
    if (event.deltaY > 0 && !this.actions.canZoomOut()) return;
    event.preventDefault();
    if (event.deltaY === 0 || event.timeStamp - this.lastWheel < WHEEL_PAUSE_MS) return;
    this.lastWheel = event.timeStamp;
    const under = this.pointUnder(event);
    if (event.deltaY > 0) this.actions.zoomOut();
    else if (under) this.actions.zoomAround(under);
  }

  /** Arrows move a cursor over the points, Enter picks it, + and - zoom. @param {KeyboardEvent} event */
  key(event) {
    if (!this.cursor) this.cursor = { i: CHART_WIDTH / 2, j: CHART_HEIGHT / 2 };
    const move = /** @type {Record<string, number[]>} */ (ARROWS)[event.key];
    if (move) {
      const by = event.shiftKey ? CURSOR_LEAP : CURSOR_STEP;
      this.cursor.i = Math.min(CHART_WIDTH - 1, Math.max(0, this.cursor.i + by * move[0]));
      this.cursor.j = Math.min(CHART_HEIGHT - 1, Math.max(0, this.cursor.j + by * move[1]));
      this.actions.hover(this.cursor);
    } else if (event.key === "Enter") {
      this.actions.pick(this.cursor);
    } else if (event.key === "+" || event.key === "=") {
      this.actions.zoomAround(this.cursor);
    } else if (event.key === "-") {
      this.actions.zoomOut();
    } else {
      return;
    }
    event.preventDefault();
    this.actions.redraw();
  }
}
