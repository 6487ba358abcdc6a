// The a-b chart: computed by a pool of workers, one per core, coarse first
// and refined in place; hovered, clicked, zoomed with a dragged rectangle and
// out with a double click or the buttons below it, down to the floats' resolution.
import { knobsOf, voltsText } from "./explorer-text.js";

export const CHART_WIDTH = 600;
export const CHART_HEIGHT = 400;
// Passes over the grid: every 8th point each way, then the points between.
const STRIDES = [8, 4, 2, 1];
// Points per task: small enough that a new chart waits little for stale work.
const POINTS_PER_TASK = 200;
// Fewer pixels than this between press and release is a click, not a drag.
const LEAST_DRAG = 5;

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
  // elements: canvas, overlay, progress, status, range, hover, zoomOut, zoomWhole; tessel: the loaded
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

  restart(x0, y0, rate) {
    this.generation += 1;
    this.x0 = x0;
    this.y0 = y0;
    this.rate = rate;
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
    this.elements.zoomOut.disabled = this.zooms.length === 0;
    this.elements.zoomWhole.disabled = this.zooms.length === 0;
    this.drawOverlay();
    this.showRange();
    this.showProgress();
    for (const slot of this.workers) this.feed(slot);
  }

  feed(slot) {
    if (!slot.ready || slot.busy || this.nextTask >= this.tasks.length) return;
    const task = this.tasks[this.nextTask++];
    slot.busy = task;
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
      for (const field of ["outcome", "period", "steps", "settle", "lyapunov", "rounding"]) {
        this.results[field][point] = message[field][k];
      }
      this.paint(point, stride);
    });
    this.done += task.points.length;
    this.pending[task.passIndex] -= task.points.length;
    const elapsed = performance.now() - this.timing.started;
    if (this.pending[0] === 0 && this.timing.coarse === undefined) this.timing.coarse = elapsed;
    if (this.done === this.total) this.timing.complete = elapsed;
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
    this.elements.status.textContent = this.done === this.total
      ? `${this.total} points in ${seconds(this.timing.complete)} on ${this.workers.length} workers`
      : `computing: ${Math.floor(100 * share)} % ` +
        `(first view in ${this.timing.coarse === undefined ? "…" : seconds(this.timing.coarse)})`;
  }

  showRange() {
    const v = this.view;
    const text = (volts) => voltsText(this.tessel, volts);
    for (const [name, volts] of [["a-low", v.aLow], ["a-high", v.aHigh], ["b-low", v.bLow], ["b-high", v.bHigh]]) {
      document.getElementById(`chart-${name}`).textContent = text(volts);
    }
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

  // "a 1.2 V, b 0.3 V: chaos: ..." for a point; "(coarse)" while its own result is not in.
  describePoint(i, j) {
    const point = j * CHART_WIDTH + i;
    const where = `a ${voltsText(this.tessel, this.across[i])} V, b ${voltsText(this.tessel, this.up[j])} V`;
    const words = (at) => this.tessel.describeOrbit(this.orbitAt(at), { rate: this.rate });
    if (this.results.outcome[point] >= 0) return `${where}: ${words(point)}`;
    const shown = this.results.shownFrom[point];
    if (shown < 0) return `${where}: not computed yet`;
    return `${where}: near a point that does this: ${words(shown)}`;
  }

  pick(i, j) {
    this.onPick(Number(voltsText(this.tessel, this.across[i])), Number(voltsText(this.tessel, this.up[j])));
  }

  listen() {
    const { canvas } = this.elements;
    canvas.addEventListener("mousedown", (event) => {
      if (event.button !== 0) return;
      this.drag = { x: event.clientX, y: event.clientY, at: this.pointUnder(event) };
    });
    canvas.addEventListener("mousemove", (event) => {
      const under = this.pointUnder(event);
      if (under) this.elements.hover.textContent = this.describePoint(under.i, under.j);
      if (this.drag && this.dragged(event)) this.drawOverlay({ from: this.drag.at, to: under });
    });
    canvas.addEventListener("mouseleave", () => { this.drag = null; this.drawOverlay(); });
    canvas.addEventListener("mouseup", (event) => {
      const drag = this.drag;
      this.drag = null;
      if (!drag || !drag.at) return;
      const under = this.pointUnder(event);
      if (this.dragged(event, drag)) {
        if (under) this.zoomTo(drag.at, under);
      } else if (under) {
        this.pick(under.i, under.j);
      }
      this.drawOverlay();
    });
    canvas.addEventListener("dblclick", (event) => { event.preventDefault(); this.zoomOut(); });
    canvas.addEventListener("keydown", (event) => this.key(event));
    this.elements.zoomOut.addEventListener("click", () => this.zoomOut());
    this.elements.zoomWhole.addEventListener("click", () => this.zoomWhole());
  }

  dragged(event, drag = this.drag) {
    return Math.hypot(event.clientX - drag.x, event.clientY - drag.y) >= LEAST_DRAG;
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
      const { i, j } = this.cursor;
      const quarter = { i: CHART_WIDTH / 4, j: CHART_HEIGHT / 4 };
      this.zoomTo({ i: i - quarter.i, j: j - quarter.j }, { i: i + quarter.i, j: j + quarter.j });
    } else if (event.key === "-") {
      this.zoomOut();
    } else {
      return;
    }
    event.preventDefault();
    this.drawOverlay();
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

  drawOverlay(rectangle) {
    const { overlay } = this.elements;
    const context = overlay.getContext("2d");
    context.clearRect(0, 0, overlay.width, overlay.height);
    const v = this.view;
    if (this.marked) {
      const x = overlay.width * (this.marked.a - v.aLow) / (v.aHigh - v.aLow);
      const y = overlay.height * (v.bHigh - this.marked.b) / (v.bHigh - v.bLow);
      context.strokeStyle = "#fff";
      context.lineWidth = 2;
      context.beginPath();
      context.arc(x, y, 7, 0, 2 * Math.PI);
      context.stroke();
    }
    for (const hook of this.overlayHooks) hook(context, v, overlay);
    if (this.cursor && document.activeElement === this.elements.canvas) {
      context.strokeStyle = "#ffd000";
      context.strokeRect(this.cursor.i - 4.5, CHART_HEIGHT - 1 - this.cursor.j - 4.5, 9, 9);
    }
    if (rectangle && rectangle.from && rectangle.to) {
      const left = Math.min(rectangle.from.i, rectangle.to.i);
      const top = CHART_HEIGHT - 1 - Math.max(rectangle.from.j, rectangle.to.j);
      context.strokeStyle = "#fff";
      context.setLineDash([4, 3]);
      const width = Math.abs(rectangle.to.i - rectangle.from.i);
      const height = Math.abs(rectangle.to.j - rectangle.from.j);
      context.strokeRect(left + 0.5, top + 0.5, width, height);
      context.setLineDash([]);
    }
  }
}
