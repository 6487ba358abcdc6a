// A chart of a plane (chart-planes.js): what the map does at each point of it,
// the two other inputs held still, computed by the workers coarse first and
// refined in place, steered by pointer and keyboard, with its axes, legend,
// progress and the words for the point under the pointer.
import { CHART_HEIGHT, CHART_POINTS, CHART_WIDTH, halvedAround, sameView, zoomedView } from "../../model/chart-grid.js";
import { knobsOf, voltsText } from "../../model/settings.js";
import { pointWords } from "../../model/words.js";
import { drawAxes } from "./chart-axes.js";
import { ChartGestures } from "./chart-gestures.js";
import { drawLegend } from "./chart-legend.js";
import { drawOverlay } from "./chart-overlay.js";
import { ChartPainter } from "./chart-painter.js";
import { ChartScheduler } from "./chart-scheduler.js";

/** @typedef {import("../../engine/tessel.js").TesselMap} TesselMap */
/** @typedef {import("../../model/chart-grid.js").View} View */
/** @typedef {import("../../model/chart-grid.js").GridPoint} GridPoint */
/** @typedef {import("../../model/chart-planes.js").ChartPlane} ChartPlane */
/**
 * @typedef {{canvas: HTMLCanvasElement, overlay: HTMLCanvasElement, progress: HTMLProgressElement,
 *   status: HTMLElement, range: HTMLElement, hover: HTMLElement, zoomOut: HTMLButtonElement,
 *   zoomWhole: HTMLButtonElement, across: HTMLElement, up: HTMLElement, legend: HTMLElement}} ChartElements
 */

/** @param {number} milliseconds */
const seconds = (milliseconds) => `${(milliseconds / 1000).toFixed(1)} s`;

export class ChartView {
  /**
   * @param {ChartPlane} plane @param {ChartElements} elements @param {TesselMap} tessel
   * @param {Worker[]} workers from startChartWorkers
   * @param {(across: number, up: number) => void} onPick gets a picked point's volts
   */
  constructor(plane, elements, tessel, workers, onPick) {
    this.plane = plane;
    this.elements = elements;
    this.tessel = tessel;
    this.onPick = onPick;
    this.steps = tessel.facts.steps.chart;
    const knobs = knobsOf(tessel);
    const [across, up] = [knobs[plane.across], knobs[plane.up]];
    /** The knobs' whole ranges. @type {Readonly<View>} */
    this.wholePlane = Object.freeze({ acrossLow: across.low, acrossHigh: across.high, upLow: up.low, upHigh: up.high });
    /** The inputs held still, in volts. */
    this.held = [0, 0];
    /** @type {View} */
    this.view = { ...this.wholePlane };
    /** @type {View[]} */
    this.zooms = [];
    /** @type {{across: number, up: number} | null} */
    this.marked = null;
    this.zoomNote = "";
    this.rate = 0;
    /** Each draws on the overlay after the mark. @type {import("./chart-overlay.js").Hook[]} */
    this.overlayHooks = [];
    this.painter = new ChartPainter(elements.canvas, tessel, this.steps);
    this.scheduler = new ChartScheduler(tessel, plane.name, this.painter, workers, {
      progressed: () => this.showProgress(),
      failed: (message) => { elements.status.textContent = `The chart failed: ${message}`; },
    });
    this.gestures = new ChartGestures(elements.canvas, {
      pick: (point) => { const [pa, pb] = this.voltsOf(point); this.onPick(pa, pb); },
      pickVolts: (volts) => this.onPick(volts.across, volts.up),
      marked: () => this.marked,
      zoomTo: (from, to) => this.zoomTo(from, to),
      zoomAround: (point) => this.zoomTo(...halvedAround(point)),
      zoomOut: () => this.zoomOut(),
      canZoomOut: () => this.zooms.length > 0,
      hover: (point) => this.hover(point),
      redraw: () => this.drawOverlay(),
    });
    elements.zoomOut.addEventListener("click", () => this.zoomOut());
    elements.zoomWhole.addEventListener("click", () => this.zoomWhole());
  }

  /** Starts the chart over the current view, the two other inputs held at these volts. @param {number[]} held */
  compute(held) {
    this.held = [...held];
    this.restart();
  }

  /** The legend's tones and the points' words at a sample rate. @param {number} rate */
  setRate(rate) {
    this.rate = rate;
    this.scheduler.rate = rate;
    drawLegend(this.elements.legend, this.tessel, this.steps, rate);
    const under = this.gestures.hovered ?? this.gestures.cursor;
    if (under) this.hover(under);
  }

  /** Shows the current view: from where it was left before, finished or not, else computed anew. */
  restart() {
    this.scheduler.show(this.view, this.held, this.rate);
    this.elements.zoomOut.disabled = this.zooms.length === 0;
    this.elements.zoomWhole.disabled = this.zooms.length === 0;
    this.drawOverlay();
    this.showRange();
    this.showProgress();
    this.painter.put();
    // The line under the chart tells of the point now under the pointer, or of none.
    const under = this.gestures.hovered;
    if (under) this.hover(under);
    else this.elements.hover.textContent = "";
  }

  showProgress() {
    const { done, timing, workers } = this.scheduler;
    this.elements.progress.value = done / CHART_POINTS;
    let text = `computing ${Math.floor(100 * done / CHART_POINTS)} %`;
    if (this.scheduler.complete) text = timing.kept ? "done, kept from before" : `done in ${seconds(timing.complete)}`;
    else if (this.scheduler.waiting) text += ", the rest once the chart above is done";
    this.elements.status.textContent = text;
    this.elements.status.title = `${CHART_POINTS} points on ${workers.length} workers` +
      (timing.coarse === undefined ? "" : `, the first view in ${seconds(timing.coarse)}`);
  }

  showRange() {
    const v = this.view;
    /** @param {number} volts */
    const text = (volts) => voltsText(this.tessel, volts);
    drawAxes(this.elements.across, this.elements.up, v, this.tessel);
    const { across, up, held, heldWords } = this.plane;
    this.elements.range.textContent = `${across} ${text(v.acrossLow)} to ${text(v.acrossHigh)} V across, ` +
      `${up} ${text(v.upLow)} to ${text(v.upHigh)} V up, ${CHART_WIDTH}×${CHART_HEIGHT} points, ${this.steps} ` +
      `steps each, ${heldWords} ${held[0]} ${text(this.held[0])} V, ${held[1]} ${text(this.held[1])} V` +
      (this.zoomNote ? `. ${this.zoomNote}` : "");
  }

  /** The volts of a point as the fields show them. @param {GridPoint} point @returns {[number, number]} */
  voltsOf({ i, j }) {
    const { across, up } = this.scheduler;
    return [Number(voltsText(this.tessel, across[i])), Number(voltsText(this.tessel, up[j]))];
  }

  /**
   * "a 1.2 V, b 0.3 V: chaos: ..." for a point; near a coarser point's words while its own are not in.
   * @param {GridPoint} point
   */
  describePoint({ i, j }) {
    const point = j * CHART_WIDTH + i;
    const { across, up } = this.scheduler;
    const where = `${this.plane.across} ${voltsText(this.tessel, across[i])} V, ` +
      `${this.plane.up} ${voltsText(this.tessel, up[j])} V`;
    /** @param {number} at */
    const words = (at) => pointWords(this.tessel, this.judgedAgain(at), this.rate);
    if (this.scheduler.orbitAt(point)) return `${where}: ${words(point)}`;
    const shown = this.painter.shownFrom[point];
    if (shown < 0) return `${where}: not computed yet`;
    return `${where}: near a point that does this: ${words(shown)}`;
  }

  /**
   * A computed point's verdict with a cycle's lines, which the workers leave out: the point judged again alone,
   * to the same verdict. @param {number} point
   */
  judgedAgain(point) {
    const { across, up, held, steps, rate } = this.scheduler;
    const { plane } = this;
    return this.tessel.analysePoint({ [plane.across]: across[point % CHART_WIDTH],
      [plane.up]: up[Math.floor(point / CHART_WIDTH)], [plane.held[0]]: held[0], [plane.held[1]]: held[1], steps,
      rate });
  }

  /** The line under the chart tells of the point under the pointer. @param {GridPoint | null} point */
  hover(point) {
    if (point) this.elements.hover.textContent = this.describePoint(point);
  }

  /** Zooms to the points' rectangle, widened where the floats would run out. @param {GridPoint} from
   * @param {GridPoint} to */
  zoomTo(from, to) {
    const { view, widened } = zoomedView(this.tessel, this.view, from, to, this.wholePlane);
    this.zoomNote = widened.length ? `Zoom stops at the floats' resolution of ${widened.join(" and ")}: ` +
      "closer in, neighbouring points would share a float" : "";
    if (sameView(view, this.view)) {
      this.showRange();
      return;
    }
    this.zooms.push(this.view);
    this.view = view;
    this.restart();
  }

  zoomOut() {
    if (this.zooms.length === 0) return;
    this.view = this.zooms.pop();
    this.zoomNote = "";
    this.restart();
  }

  zoomWhole() {
    if (this.zooms.length === 0) return;
    this.zooms = [];
    this.view = { ...this.wholePlane };
    this.zoomNote = "";
    this.restart();
  }

  /** The current point, marked with a circle. @param {number} across @param {number} up */
  mark(across, up) {
    this.marked = { across, up };
    this.drawOverlay();
  }

  drawOverlay() {
    const g = this.gestures;
    drawOverlay(this.elements.overlay, this.view, {
      marked: this.marked, hovered: g.hovered, dragging: g.dragging,
      cursor: document.activeElement === this.elements.canvas ? g.cursor : null,
    }, this.overlayHooks);
  }
}
