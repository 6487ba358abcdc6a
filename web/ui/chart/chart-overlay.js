// The chart's overlay: the current point circled, the crosshair, what others draw on it (the LFOs' path),
// the keyboard's cursor and a rectangle being dragged.
import { CHART_HEIGHT, CHART_WIDTH } from "../../model/chart-grid.js";

/** @typedef {import("../../model/chart-grid.js").View} View */
/** @typedef {import("../../model/chart-grid.js").GridPoint} GridPoint */
/**
 * What the overlay shows.
 * @typedef {{marked: {across: number, up: number} | null,
 *   hovered: GridPoint | null, cursor: GridPoint | null, dragging: {from: GridPoint, to: GridPoint} | null}} Marks
 */
/** @typedef {(context: CanvasRenderingContext2D, view: View, size: {width: number, height: number}) => void} Hook */

const MARK = "#fff";
const CROSSHAIR = "rgba(255, 255, 255, 0.45)";
const CURSOR = "#ffd000";
const MARK_RADIUS = 7;
const CURSOR_HALF = 4.5;

/**
 * @param {CanvasRenderingContext2D} context @param {View} view @param {{width: number, height: number}} size
 * @param {{across: number, up: number}} at
 */
function circle(context, view, size, { across, up }) {
  const x = size.width * (across - view.acrossLow) / (view.acrossHigh - view.acrossLow);
  const y = size.height * (view.upHigh - up) / (view.upHigh - view.upLow);
  context.strokeStyle = MARK;
  context.lineWidth = 2;
  context.beginPath();
  context.arc(x, y, MARK_RADIUS, 0, 2 * Math.PI);
  context.stroke();
}

/** @param {CanvasRenderingContext2D} context @param {GridPoint} hovered */
function crosshair(context, hovered) {
  const x = hovered.i + 0.5;
  const y = CHART_HEIGHT - 1 - hovered.j + 0.5;
  context.strokeStyle = CROSSHAIR;
  context.lineWidth = 1;
  context.beginPath();
  context.moveTo(x, 0);
  context.lineTo(x, CHART_HEIGHT);
  context.moveTo(0, y);
  context.lineTo(CHART_WIDTH, y);
  context.stroke();
}

/** @param {CanvasRenderingContext2D} context @param {{from: GridPoint, to: GridPoint}} rectangle */
function dragged(context, { from, to }) {
  const left = Math.min(from.i, to.i);
  const top = CHART_HEIGHT - 1 - Math.max(from.j, to.j);
  context.strokeStyle = MARK;
  context.lineWidth = 1;
  context.setLineDash([4, 3]);
  context.strokeRect(left + 0.5, top + 0.5, Math.abs(to.i - from.i), Math.abs(to.j - from.j));
  context.setLineDash([]);
}

/**
 * The overlay's canvas in the device's pixels over the chart as shown, drawn on in the chart's points.
 * @param {HTMLCanvasElement} overlay
 */
function fittedOverlay(overlay) {
  const scale = window.devicePixelRatio || 1;
  const width = Math.round((overlay.clientWidth || CHART_WIDTH) * scale);
  const height = Math.round((overlay.clientHeight || CHART_HEIGHT) * scale);
  if (overlay.width !== width || overlay.height !== height) Object.assign(overlay, { width, height });
  const context = overlay.getContext("2d");
  context.setTransform(width / CHART_WIDTH, 0, 0, height / CHART_HEIGHT, 0, 0);
  return context;
}

/** @param {HTMLCanvasElement} overlay @param {View} view @param {Marks} marks @param {Hook[]} hooks */
export function drawOverlay(overlay, view, marks, hooks) {
  const context = fittedOverlay(overlay);
  const size = { width: CHART_WIDTH, height: CHART_HEIGHT };
  context.clearRect(0, 0, CHART_WIDTH, CHART_HEIGHT);
  if (marks.marked) circle(context, view, size, marks.marked);
  if (marks.hovered) crosshair(context, marks.hovered);
  for (const hook of hooks) hook(context, view, size);
  if (marks.cursor) {
    context.strokeStyle = CURSOR;
    context.lineWidth = 1;
    context.strokeRect(marks.cursor.i - CURSOR_HALF, CHART_HEIGHT - 1 - marks.cursor.j - CURSOR_HALF,
      2 * CURSOR_HALF, 2 * CURSOR_HALF);
  }
  if (marks.dragging && marks.dragging.to) dragged(context, marks.dragging);
}
