// The a-b chart: computed by a pool of workers, one per core, coarse first
// and refined in place; each view shown is kept, to come back to at once and
// go on where it was left.
// Steered by pointer (mouse, pen or touch) and keyboard: only a plain click,
// a tap or Enter sets a and b; a dragged rectangle, the wheel, + and -, a
// double click and the buttons below it zoom, down to the floats' resolution.
import { knobsOf, voltsText } from "./explorer-text.js";
import { drawAxes } from "./chart-axes.js";
import { drawLegend } from "./chart-legend.js";

export const CHART_WIDTH = 600;
export const CHART_HEIGHT = 400;
// Passes over the grid: every 8th point each way, then the points between.
const STRIDES = [8, 4, 2, 1];
// Points per task: small enough that a new chart waits little for stale work.
const POINTS_PER_TASK = 200;
// Fewer pixels than this between press and release is a click, not a drag.
const LEAST_DRAG = 5;
// A click sets a and b once this long has passed without a second click: the two of a double click
// zoom out and set nothing.
export const DOUBLE_CLICK_MS = 400;
// Wheel events closer together than this are one gesture: one zoom, not a zoom per event.
const WHEEL_PAUSE_MS = 250;
// Views kept, with their x0, y0 and rate, to come back to without computing them again.
const KEPT_VIEWS = 8;
const RESULT_FIELDS = ["outcome", "period", "steps", "settle", "lyapunov", "rounding"];

// What the chart says of a point's verdict, the one place its words come from: the short words a
// musician reads first, then the exact ones, both tessel-render's.
export function pointWords(tessel, orbit, rate) {
  return `${tessel.summarizeOrbit(orbit, { rate })} (exactly: ${tessel.describeOrbit(orbit, { rate })})`;
}

// The points of a pass, in rows from the bottom: those on its stride not already on a coarser one.
function passPoints(stride) {
  const points = [];
  for (let j = 0; j < CHART_HEIGHT; j += stride) {
    for (let i = 0; i < CHART_WIDTH; i += stride) {
      const coarser = stride < STRIDES[0] && i % (2 * stride) === 0 && j % (2 * stride) === 0;
      if (!coarser) points.push(j * CHART_WIDTH + i);
    }
  }
  return points;
}
const PASSES = STRIDES.map((stride) => ({ stride, points: passPoints(stride) }));

// Whether `count` points across [low, high] each get a float of their own.
function distinctFloats(tessel, low, high, count) {
  let previous = tessel.signalOf(tessel.pointVolts(low, high, count, 0));
  for (let i = 1; i < count; i++) {
    const next = tessel.signalOf(tessel.pointVolts(low, high, count, i));
    if (next === previous) return false;
    previous = next;
  }
  return true;
}

// The range around `centre` no narrower than `span` and wide enough for distinct floats.
function resolvable(tessel, centre, span, count, limits) {
  // A rectangle one point wide has no span; start from the doubles' own resolution there.
  if (!(span > 0)) span = Number.EPSILON * Math.max(1, Math.abs(centre));
  let low = centre - span / 2;
  let high = centre + span / 2;
  let widened = false;
  while (!distinctFloats(tessel, low, high, count) && high - low < limits.high - limits.low) {
    span *= 2;
    low = centre - span / 2;
    high = centre + span / 2;
    widened = true;
  }
  if (low < limits.low) [low, high] = [limits.low, Math.min(limits.high, limits.low + span)];
  if (high > limits.high) [low, high] = [Math.max(limits.low, limits.high - span), limits.high];
  return { low, high, widened };
}

export class ChartView {
  // elements: canvas, overlay, progress, status, range, hover, zoomOut, zoomWhole, across and up (the
  // axes' ticks), legend (a list); tessel: the loaded
  // module (tessel.js); onPick(a, b) gets the clicked point's volts.
  constructor(elements, tessel, wasm, workerSource, onPick) {
    this.elements = elements;
    this.tessel = tessel;
    this.steps = tessel.facts.steps.chart;
    this.knobs = knobsOf(tessel);
    // The a and b knobs' whole ranges.
    this.wholePlane = Object.freeze({
      aLow: this.knobs.a.low, aHigh: this.knobs.a.high, bLow: this.knobs.b.low, bHigh: this.knobs.b.high,
    });
    this.onPick = onPick;
    this.wasm = wasm;
    this.workerSource = workerSource;
    this.view = { ...this.wholePlane };
    this.zooms = [];
    this.marked = null;
    this.cursor = null;
    this.generation = 0;
    this.image = elements.canvas.getContext("2d").createImageData(CHART_WIDTH, CHART_HEIGHT);
    this.results = {
      outcome: new Int8Array(CHART_WIDTH * CHART_HEIGHT),
      period: new Int32Array(CHART_WIDTH * CHART_HEIGHT),
      steps: new Int32Array(CHART_WIDTH * CHART_HEIGHT),
      settle: new Int32Array(CHART_WIDTH * CHART_HEIGHT),
      lyapunov: new Float64Array(CHART_WIDTH * CHART_HEIGHT),
      rounding: new Uint8Array(CHART_WIDTH * CHART_HEIGHT),
      // the point whose result a pixel shows until its own comes, and that point's pass stride
      shownFrom: new Int32Array(CHART_WIDTH * CHART_HEIGHT),
      shownStride: new Uint8Array(CHART_WIDTH * CHART_HEIGHT),
    };
    this.frameAsked = false;
    // Each draws on the overlay after the mark: hook(context, view, overlay).
    this.overlayHooks = [];
    this.timing = {};
    this.workers = [];
    // Tasks sent to the workers since the page opened.
    this.tasksSent = 0;
    // Views shown before, finished or not, by viewKey, the most recently used last.
    this.kept = new Map();
    // A click waiting out the double-click time: { a, b, timer }.
    this.pendingPick = null;
    // The point under the pointer: { i, j }.
    this.hovered = null;
    this.lastWheel = -Infinity;
    // When the last click or tap that was not the second of a double came.
    this.lastClick = -Infinity;
    // Whether the last click only gave the chart the keyboard.
    this.selectedOnly = false;
    // The a and b the last click's pick replaced, until the next click: { a, b }.
    this.pickedBefore = null;
    this.listen();
  }

  // Starts the chart over the current view from x0, y0 (volts); the workers start with the first.
  compute(x0, y0, rate) {
    if (this.workers.length === 0) this.startWorkers(this.wasm, this.workerSource);
    this.restart(x0, y0, rate);
  }

  startWorkers(wasm, workerSource) {
    const url = URL.createObjectURL(new Blob([workerSource], { type: "text/javascript" }));
    const count = Math.max(1, navigator.hardwareConcurrency || 1);
    this.workers = [];
    for (let k = 0; k < count; k++) {
      const worker = new Worker(url);
      const slot = { worker, busy: null, ready: false };
      worker.onmessage = (event) => this.heard(slot, event.data);
      worker.onerror = (event) => this.failed(event.message || "a chart worker failed");
      worker.postMessage({ type: "load", wasm: wasm.slice(0) });
      this.workers.push(slot);
    }
  }

  failed(message) {
    this.elements.status.textContent = `The chart failed: ${message}`;
  }

  viewKey() {
    const v = this.view;
    return JSON.stringify([v.aLow, v.aHigh, v.bLow, v.bHigh, this.x0, this.y0, this.rate]);
  }

  // Shows the current view: from where it was left before, finished or not, else computed anew.
  restart(x0, y0, rate) {
    if (this.tasks && this.done < this.total) this.keep();
    this.generation += 1;
    const legendRate = this.rate;
    this.x0 = x0;
    this.y0 = y0;
    this.rate = rate;
    if (rate !== legendRate) drawLegend(this.elements.legend, this.tessel, this.steps, rate);
    this.elements.zoomOut.disabled = this.zooms.length === 0;
    this.elements.zoomWhole.disabled = this.zooms.length === 0;
    this.shownKey = this.viewKey();
    const kept = this.kept.get(this.shownKey);
    if (kept) this.restore(kept);
    else this.start();
    this.drawOverlay();
    this.showRange();
    this.showProgress();
    this.elements.canvas.getContext("2d").putImageData(this.image, 0, 0);
    for (const slot of this.workers) this.feed(slot);
  }

  // The shown view's results, pixels and unfinished tasks, kept under its key.
  keep() {
    const fields = [...RESULT_FIELDS, "shownFrom", "shownStride"];
    const results = Object.fromEntries(fields.map((field) => [field, this.results[field].slice()]));
    const inFlight = this.workers.map((slot) => slot.busy)
      .filter((task) => task && task.generation === this.generation);
    this.kept.delete(this.shownKey);
    this.kept.set(this.shownKey, {
      results, pixels: this.image.data.slice(), across: this.across, up: this.up,
      tasks: [...inFlight, ...this.tasks.slice(this.nextTask)].map(({ passIndex, points }) => ({ passIndex, points })),
      done: this.done, pending: [...this.pending],
      timing: { ...this.timing, elapsed: performance.now() - this.timing.started },
    });
    if (this.kept.size > KEPT_VIEWS) this.kept.delete(this.kept.keys().next().value);
  }

  restore(kept) {
    this.kept.delete(this.shownKey);
    this.kept.set(this.shownKey, kept);
    for (const [field, values] of Object.entries(kept.results)) this.results[field].set(values);
    this.image.data.set(kept.pixels);
    this.across = kept.across;
    this.up = kept.up;
    this.tasks = kept.tasks.map((task) => ({ ...task, generation: this.generation }));
    this.nextTask = 0;
    this.pending = [...kept.pending];
    this.total = CHART_WIDTH * CHART_HEIGHT;
    this.done = kept.done;
    this.timing = { ...kept.timing, started: performance.now() - kept.timing.elapsed, kept: this.done === this.total };
  }

  start() {
    this.results.outcome.fill(-1);
    this.results.shownFrom.fill(-1);
    this.results.shownStride.fill(STRIDES[0] + 1);
    const v = this.view;
    const points = (low, high, count) => Float64Array.from({ length: count },
      (_, i) => this.tessel.pointVolts(low, high, count, i));
    this.across = points(v.aLow, v.aHigh, CHART_WIDTH);
    this.up = points(v.bLow, v.bHigh, CHART_HEIGHT);
    this.tasks = [];
    PASSES.forEach((pass, passIndex) => {
      for (let from = 0; from < pass.points.length; from += POINTS_PER_TASK) {
        const points = pass.points.slice(from, from + POINTS_PER_TASK);
        this.tasks.push({ passIndex, points, generation: this.generation });
      }
    });
    this.nextTask = 0;
    this.pending = PASSES.map((pass) => pass.points.length);
    this.done = 0;
    this.total = CHART_WIDTH * CHART_HEIGHT;
    this.timing = { started: performance.now() };
    for (let pixel = 0; pixel < this.image.data.length; pixel += 4) this.image.data.set([18, 18, 24, 255], pixel);
  }

  feed(slot) {
    if (!slot.ready || slot.busy || this.nextTask >= this.tasks.length) return;
    const task = this.tasks[this.nextTask++];
    slot.busy = task;
    this.tasksSent += 1;
    const a = Float64Array.from(task.points, (point) => this.across[point % CHART_WIDTH]);
    const b = Float64Array.from(task.points, (point) => this.up[Math.floor(point / CHART_WIDTH)]);
    slot.worker.postMessage({ type: "points", task: this.nextTask - 1, a, b, x0: this.x0, y0: this.y0,
      steps: this.steps, rate: this.rate }, [a.buffer, b.buffer]);
  }

  heard(slot, message) {
    if (message.type === "ready") {
      slot.ready = true;
      this.feed(slot);
      return;
    }
    if (message.type === "failed") {
      this.failed(message.message);
      return;
    }
    const task = slot.busy;
    slot.busy = null;
    if (task.generation === this.generation) this.take(task, message);
    this.feed(slot);
  }

  take(task, message) {
    const stride = PASSES[task.passIndex].stride;
    task.points.forEach((point, k) => {
      for (const field of RESULT_FIELDS) {
        this.results[field][point] = message[field][k];
      }
      this.paint(point, stride);
    });
    this.done += task.points.length;
    this.pending[task.passIndex] -= task.points.length;
    const elapsed = performance.now() - this.timing.started;
    if (this.pending[0] === 0 && this.timing.coarse === undefined) this.timing.coarse = elapsed;
    if (this.done === this.total) {
      this.timing.complete = elapsed;
      this.keep();
    }
    if (!this.frameAsked) {
      this.frameAsked = true;
      requestAnimationFrame(() => {
        this.frameAsked = false;
        this.elements.canvas.getContext("2d").putImageData(this.image, 0, 0);
        this.showProgress();
      });
    }
  }

  orbitAt(point) {
    const r = this.results;
    return { outcome: this.tessel.facts.outcomes[r.outcome[point]], period: r.period[point], steps: r.steps[point],
      settle: r.settle[point], lyapunov: r.lyapunov[point], rounding: r.rounding[point] === 1 };
  }

  // A point's colour over its block of the pass, where no finer point has painted yet: passes
  // are dealt out in order, but two workers may finish them out of order.
  paint(point, stride) {
    const orbit = this.orbitAt(point);
    const colour = this.tessel.chartColour(orbit, this.steps);
    const i0 = point % CHART_WIDTH;
    const j0 = Math.floor(point / CHART_WIDTH);
    for (let j = j0; j < Math.min(CHART_HEIGHT, j0 + stride); j++) {
      for (let i = i0; i < Math.min(CHART_WIDTH, i0 + stride); i++) {
        const cell = j * CHART_WIDTH + i;
        if (this.results.shownStride[cell] <= stride && cell !== point) continue;
        this.results.shownFrom[cell] = point;
        this.results.shownStride[cell] = cell === point ? 0 : stride;
        const row = CHART_HEIGHT - 1 - j;
        const pixel = 4 * (row * CHART_WIDTH + i);
        this.image.data.set(orbit.rounding ? this.tessel.hatched(colour, i, row) : colour, pixel);
        this.image.data[pixel + 3] = 255;
      }
    }
  }

  showProgress() {
    const share = this.done / this.total;
    this.elements.progress.value = share;
    const seconds = (milliseconds) => `${(milliseconds / 1000).toFixed(1)} s`;
    let text = `computing ${Math.floor(100 * share)} %`;
    if (this.done === this.total) {
      text = this.timing.kept ? "done, kept from before" : `done in ${seconds(this.timing.complete)}`;
    }
    this.elements.status.textContent = text;
    this.elements.status.title = `${this.total} points on ${this.workers.length} workers` +
      (this.timing.coarse === undefined ? "" : `, the first view in ${seconds(this.timing.coarse)}`);
  }

  showRange() {
    const v = this.view;
    const text = (volts) => voltsText(this.tessel, volts);
    drawAxes(this.elements.across, this.elements.up, v);
    this.elements.range.textContent = `a ${text(v.aLow)} to ${text(v.aHigh)} V across, ` +
      `b ${text(v.bLow)} to ${text(v.bHigh)} V up, ` +
      `${CHART_WIDTH}×${CHART_HEIGHT} points, ${this.steps} steps each, ` +
      `from x0 ${text(this.x0)} V, y0 ${text(this.y0)} V` +
      (this.zoomNote ? `. ${this.zoomNote}` : "");
  }

  // --- pointing --------------------------------------------------------------------
  pointUnder(event) {
    const box = this.elements.canvas.getBoundingClientRect();
    const i = Math.floor((event.clientX - box.left) / box.width * CHART_WIDTH);
    const row = Math.floor((event.clientY - box.top) / box.height * CHART_HEIGHT);
    if (i < 0 || i >= CHART_WIDTH || row < 0 || row >= CHART_HEIGHT) return null;
    return { i, j: CHART_HEIGHT - 1 - row };
  }

  // "a 1.2 V, b 0.3 V: chaos: ..." for a point; near a coarser point's words while its own are not in.
  describePoint(i, j) {
    const point = j * CHART_WIDTH + i;
    const where = `a ${voltsText(this.tessel, this.across[i])} V, b ${voltsText(this.tessel, this.up[j])} V`;
    const words = (at) => pointWords(this.tessel, this.orbitAt(at), this.rate);
    if (this.results.outcome[point] >= 0) return `${where}: ${words(point)}`;
    const shown = this.results.shownFrom[point];
    if (shown < 0) return `${where}: not computed yet`;
    return `${where}: near a point that does this: ${words(shown)}`;
  }

  // The volts of point (i, j) as the fields show them.
  voltsAt(i, j) {
    return { a: Number(voltsText(this.tessel, this.across[i])), b: Number(voltsText(this.tessel, this.up[j])) };
  }

  pick(i, j) {
    const { a, b } = this.voltsAt(i, j);
    this.onPick(a, b);
  }

  listen() {
    const { canvas } = this.elements;
    canvas.addEventListener("pointerdown", (event) => {
      if (event.button !== 0 || !event.isPrimary) return;
      canvas.setPointerCapture(event.pointerId);
      // A mouse or pen click that gives the chart the keyboard only does that; a tap always steers.
      const focusing = document.activeElement !== canvas && event.pointerType !== "touch";
      this.press = { x: event.clientX, y: event.clientY, at: this.pointUnder(event), focusing };
    });
    canvas.addEventListener("pointermove", (event) => {
      if (!event.isPrimary) return;
      this.hover(this.pointUnder(event));
      if (this.press && this.dragged(event)) this.drawOverlay({ from: this.press.at, to: this.hovered });
    });
    canvas.addEventListener("pointerleave", () => this.hover(null));
    canvas.addEventListener("pointercancel", () => {
      this.press = null;
      this.drawOverlay();
    });
    canvas.addEventListener("pointerup", (event) => {
      const press = this.press;
      this.press = null;
      if (!press || !press.at || !event.isPrimary) return;
      const under = this.pointUnder(event);
      if (this.dragged(event, press)) {
        if (under) this.zoomTo(press.at, under);
      } else if (under) {
        this.clicked(under, press.focusing, event.timeStamp);
      }
      this.drawOverlay();
    });
    // Double clicks are told from single ones on pointerup, for touch too; the browser's own would select text.
    canvas.addEventListener("dblclick", (event) => event.preventDefault());
    canvas.addEventListener("wheel", (event) => this.wheel(event), { passive: false });
    canvas.addEventListener("keydown", (event) => this.key(event));
    canvas.addEventListener("blur", () => {
      this.selectedOnly = false;
      this.drawOverlay();
    });
    this.elements.zoomOut.addEventListener("click", () => this.zoomOut());
    this.elements.zoomWhole.addEventListener("click", () => this.zoomWhole());
  }

  dragged(event, press = this.press) {
    return Math.hypot(event.clientX - press.x, event.clientY - press.y) >= LEAST_DRAG;
  }

  hover(under) {
    this.hovered = under;
    // After a click that only selected the chart, the line says how to set a and b.
    const first = this.selectedOnly ? "Selected: click again to set a and b. " : "";
    if (under) this.elements.hover.textContent = first + this.describePoint(under.i, under.j);
    this.drawOverlay();
  }

  // A click or tap: the second within the double-click time zooms out instead, and neither sets a and b.
  clicked(under, focusing, time) {
    this.cursor = { ...under };
    this.selectedOnly = false;
    const pickedBefore = this.pickedBefore;
    this.pickedBefore = null;
    const second = time - this.lastClick < DOUBLE_CLICK_MS;
    this.lastClick = second ? -Infinity : time;
    if (second) {
      if (this.pendingPick) clearTimeout(this.pendingPick.timer);
      // A second click that came in time but was handled late takes back what the first set.
      else if (pickedBefore) this.onPick(pickedBefore.a, pickedBefore.b);
      this.pendingPick = null;
      this.zoomOut();
    } else if (focusing) {
      this.selectedOnly = true;
      this.hover(under);
    } else {
      const volts = this.voltsAt(under.i, under.j);
      this.pendingPick = {
        ...volts,
        timer: setTimeout(() => {
          this.pendingPick = null;
          this.pickedBefore = this.marked && { ...this.marked };
          this.onPick(volts.a, volts.b);
        }, DOUBLE_CLICK_MS),
      };
    }
  }

  // The wheel zooms in (away from the user) around the point under it, and back out one zoom; on the
  // whole plane, turned back, it scrolls the page.
  wheel(event) {
    if (event.deltaY > 0 && this.zooms.length === 0) return;
    event.preventDefault();
    if (event.deltaY === 0 || event.timeStamp - this.lastWheel < WHEEL_PAUSE_MS) return;
    this.lastWheel = event.timeStamp;
    const under = this.pointUnder(event);
    if (event.deltaY > 0) this.zoomOut();
    else if (under) this.zoomAround(under);
  }

  // Arrows move a cursor over the points, Enter picks it, + and - zoom.
  key(event) {
    const steps = { ArrowLeft: [-1, 0], ArrowRight: [1, 0], ArrowUp: [0, 1], ArrowDown: [0, -1] };
    if (!this.cursor) this.cursor = { i: CHART_WIDTH / 2, j: CHART_HEIGHT / 2 };
    const move = steps[event.key];
    if (move) {
      const by = event.shiftKey ? 20 : 4;
      this.cursor.i = Math.min(CHART_WIDTH - 1, Math.max(0, this.cursor.i + by * move[0]));
      this.cursor.j = Math.min(CHART_HEIGHT - 1, Math.max(0, this.cursor.j + by * move[1]));
      this.elements.hover.textContent = this.describePoint(this.cursor.i, this.cursor.j);
    } else if (event.key === "Enter" || event.key === " ") {
      this.pick(this.cursor.i, this.cursor.j);
    } else if (event.key === "+" || event.key === "=") {
      this.zoomAround(this.cursor);
    } else if (event.key === "-") {
      this.zoomOut();
    } else {
      return;
    }
    event.preventDefault();
    this.drawOverlay();
  }

  // Zooms in twice over, keeping the point (i, j) where it is on the chart.
  zoomAround({ i, j }) {
    const last = { i: CHART_WIDTH - 1, j: CHART_HEIGHT - 1 };
    this.zoomTo({ i: i / 2, j: j / 2 }, { i: (i + last.i) / 2, j: (j + last.j) / 2 });
  }

  // Zooms to the points' rectangle, widened where the floats would run out.
  zoomTo(from, to) {
    const v = this.view;
    const aAt = (i) => v.aLow + (v.aHigh - v.aLow) * (i + 0.5) / CHART_WIDTH;
    const bAt = (j) => v.bLow + (v.bHigh - v.bLow) * (j + 0.5) / CHART_HEIGHT;
    const [aLow, aHigh] = [aAt(Math.min(from.i, to.i)), aAt(Math.max(from.i, to.i))];
    const [bLow, bHigh] = [bAt(Math.min(from.j, to.j)), bAt(Math.max(from.j, to.j))];
    const a = resolvable(this.tessel, (aLow + aHigh) / 2, aHigh - aLow, CHART_WIDTH, this.knobs.a);
    const b = resolvable(this.tessel, (bLow + bHigh) / 2, bHigh - bLow, CHART_HEIGHT, this.knobs.b);
    const next = { aLow: a.low, aHigh: a.high, bLow: b.low, bHigh: b.high };
    const stopped = [a.widened ? "a" : "", b.widened ? "b" : ""].filter(Boolean).join(" and ");
    this.zoomNote = stopped ? `Zoom stops at the floats' resolution of ${stopped}: ` +
      "closer in, neighbouring points would share a float" : "";
    if (next.aLow === v.aLow && next.aHigh === v.aHigh && next.bLow === v.bLow && next.bHigh === v.bHigh) {
      this.showRange();
      return;
    }
    this.zooms.push(this.view);
    this.view = next;
    this.restart(this.x0, this.y0, this.rate);
  }

  zoomOut() {
    if (this.zooms.length === 0) return;
    this.view = this.zooms.pop();
    this.zoomNote = "";
    this.restart(this.x0, this.y0, this.rate);
  }

  zoomWhole() {
    if (this.zooms.length === 0) return;
    this.zooms = [];
    this.view = { ...this.wholePlane };
    this.zoomNote = "";
    this.restart(this.x0, this.y0, this.rate);
  }

  // The current (a, b), marked with a circle.
  mark(a, b) {
    this.marked = { a, b };
    this.drawOverlay();
  }

  // The overlay: the current (a, b) circled, a click waiting out the double-click time, the crosshair,
  // the keyboard's cursor and a rectangle being dragged.
  drawOverlay(rectangle) {
    const { overlay } = this.elements;
    const context = overlay.getContext("2d");
    context.clearRect(0, 0, overlay.width, overlay.height);
    const v = this.view;
    const circle = (a, b, colour, dash) => {
      const x = overlay.width * (a - v.aLow) / (v.aHigh - v.aLow);
      const y = overlay.height * (v.bHigh - b) / (v.bHigh - v.bLow);
      context.strokeStyle = colour;
      context.lineWidth = 2;
      context.setLineDash(dash);
      context.beginPath();
      context.arc(x, y, 7, 0, 2 * Math.PI);
      context.stroke();
      context.setLineDash([]);
    };
    if (this.marked) circle(this.marked.a, this.marked.b, "#fff", []);
    if (this.pendingPick) circle(this.pendingPick.a, this.pendingPick.b, "#fff", [3, 3]);
    if (this.hovered) {
      const x = this.hovered.i + 0.5;
      const y = CHART_HEIGHT - 1 - this.hovered.j + 0.5;
      context.strokeStyle = "rgba(255, 255, 255, 0.45)";
      context.lineWidth = 1;
      context.beginPath();
      context.moveTo(x, 0);
      context.lineTo(x, CHART_HEIGHT);
      context.moveTo(0, y);
      context.lineTo(CHART_WIDTH, y);
      context.stroke();
    }
    for (const hook of this.overlayHooks) hook(context, v, overlay);
    if (this.cursor && document.activeElement === this.elements.canvas) {
      context.strokeStyle = "#ffd000";
      context.lineWidth = 1;
      context.strokeRect(this.cursor.i - 4.5, CHART_HEIGHT - 1 - this.cursor.j - 4.5, 9, 9);
    }
    if (rectangle && rectangle.from && rectangle.to) {
      const left = Math.min(rectangle.from.i, rectangle.to.i);
      const top = CHART_HEIGHT - 1 - Math.max(rectangle.from.j, rectangle.to.j);
      context.strokeStyle = "#fff";
      context.lineWidth = 1;
      context.setLineDash([4, 3]);
      const width = Math.abs(rectangle.to.i - rectangle.from.i);
      const height = Math.abs(rectangle.to.j - rectangle.from.j);
      context.strokeRect(left + 0.5, top + 0.5, width, height);
      context.setLineDash([]);
    }
  }
}
