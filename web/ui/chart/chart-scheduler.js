// The chart's computation: a pool of workers, one per core, judging the
// view's points pass by pass, coarse first; each view shown is kept with its
// results and unfinished tasks, to come back to at once and go on where it
// was left.
import { CHART_HEIGHT, CHART_POINTS, CHART_WIDTH, PASSES } from "../../model/chart-grid.js";

/** @typedef {import("../../engine/tessel.js").TesselMap} TesselMap */
/** @typedef {import("../../model/chart-grid.js").View} View */
/** @typedef {import("./chart-painter.js").ChartPainter} ChartPainter */
/** @typedef {import("./chart-painter.js").PainterSnapshot} PainterSnapshot */
/** @typedef {{passIndex: number, points: number[], generation?: number}} Task */
/** @typedef {{worker: Worker, sent: Task[]}} Slot */
/** @typedef {{started: number, coarse?: number, complete?: number, kept?: boolean}} Timing */

// Points per task: small enough that a new chart waits little for the task in hand.
const POINTS_PER_TASK = 200;
// Tasks a worker holds at a time: enough that it never waits for the page, which may be busy drawing, to take
// its answers and send more. A new view has the worker drop those of the old one unjudged.
const TASKS_IN_FLIGHT = 8;
// Views kept, with the inputs held still, to come back to without computing them again.
const KEPT_VIEWS = 8;
const RESULT_FIELDS = /** @type {const} */ (["outcome", "period", "steps", "settle", "lyapunov", "rounding"]);

function emptyResults() {
  return {
    outcome: new Int8Array(CHART_POINTS), period: new Int32Array(CHART_POINTS), steps: new Int32Array(CHART_POINTS),
    settle: new Int32Array(CHART_POINTS), lyapunov: new Float64Array(CHART_POINTS), rounding: new Uint8Array(CHART_POINTS),
  };
}

/**
 * A chart's workers, one per core, once each has loaded the module (or failed to). The page waits for them before
 * it builds itself: that keeps its thread busy for a while, and until the page's thread has heard a worker start,
 * nothing sent to it arrives, not even the module.
 * @param {WebAssembly.Module} module the .wasm compiled @param {string} workerSource the worker's whole script
 * @returns {Promise<Worker[]>}
 */
export function startChartWorkers(module, workerSource) {
  const url = URL.createObjectURL(new Blob([workerSource], { type: "text/javascript" }));
  return Promise.all(Array.from({ length: Math.max(1, navigator.hardwareConcurrency || 1) }, () => {
    const worker = new Worker(url);
    worker.postMessage({ type: "load", module });
    return new Promise((resolve) => {
      worker.addEventListener("message", () => resolve(worker), { once: true });
      worker.addEventListener("error", () => resolve(worker), { once: true });
    });
  }));
}

export class ChartScheduler {
  /**
   * @param {TesselMap} tessel @param {string} plane "ab" or "xy" (chart-planes.js)
   * @param {ChartPainter} painter @param {Worker[]} workers from startChartWorkers
   * @param {{progressed: () => void, failed: (message: string) => void}} tell
   */
  constructor(tessel, plane, painter, workers, tell) {
    this.tessel = tessel;
    this.plane = plane;
    this.painter = painter;
    this.tell = tell;
    this.steps = tessel.facts.steps.chart;
    this.results = emptyResults();
    /** @type {Slot[]} */
    this.workers = workers.map((worker) => this.slotOf(worker));
    this.generation = 0;
    /** @type {Task[]} */
    this.tasks = [];
    this.nextTask = 0;
    this.pending = PASSES.map((pass) => pass.points.length);
    this.done = 0;
    /** @type {Timing} */
    this.timing = { started: performance.now() };
    this.across = new Float64Array(CHART_WIDTH);
    this.up = new Float64Array(CHART_HEIGHT);
    this.key = "";
    this.rate = tessel.facts.rate.usual;
    /** The two inputs held still, in volts: x0 and y0 on the a-b plane, a and b on the x0-y0 plane. */
    this.held = [0, 0];
    /** Views shown before, finished or not, by key, the most recently used last. @type {Map<string, any>} */
    this.kept = new Map();
    /** The chart whose view is computed before this one's finer passes, or null. @type {ChartScheduler | null} */
    this.first = null;
    /** Each called when the shown view is complete. @type {(() => void)[]} */
    this.completeListeners = [];
  }

  /**
   * Computes only the coarse pass while `first` computes its view, the rest once it is complete: two charts
   * side by side would otherwise share the cores, and the one a musician steers with would take twice as long.
   * @param {ChartScheduler} first
   */
  giveWayTo(first) {
    this.first = first;
    first.completeListeners.push(() => { for (const slot of this.workers) this.feed(slot); });
  }

  /** Whether the next task waits for the chart given way to. */
  get waiting() {
    return this.nextTask < this.tasks.length && this.tasks[this.nextTask].passIndex > 0 && this.first !== null &&
      this.first.tasks.length > 0 && !this.first.complete;
  }

  /** @param {Worker} worker @returns {Slot} */
  slotOf(worker) {
    /** @type {Slot} */
    const slot = { worker, sent: [] };
    worker.onmessage = (event) => this.heard(slot, event.data);
    worker.onerror = (event) => this.tell.failed(event.message || "a chart worker failed");
    return slot;
  }

  get complete() {
    return this.done === CHART_POINTS;
  }

  /**
   * Shows a view with two inputs held still: from where it was left before, finished or not, else computed anew.
   * @param {View} view @param {number[]} held @param {number} rate
   */
  show(view, held, rate) {
    if (this.key && !this.complete) this.keep();
    this.generation += 1;
    Object.assign(this, { held: [...held], rate });
    this.key = JSON.stringify([view.acrossLow, view.acrossHigh, view.upLow, view.upHigh, ...held]);
    const kept = this.kept.get(this.key);
    if (kept) this.restore(kept);
    else this.start(view);
    for (const slot of this.workers) {
      // A worker holding tasks of the view left drops them unjudged.
      if (slot.sent.length > 0) slot.worker.postMessage({ type: "view", view: this.generation });
      this.feed(slot);
    }
    if (this.complete) this.tellComplete();
  }

  tellComplete() {
    for (const listener of this.completeListeners) listener();
  }

  /** The shown view's results, pixels and unfinished tasks, kept under its key. */
  keep() {
    const inFlight = this.workers.flatMap((slot) => slot.sent).filter((task) => task.generation === this.generation);
    this.kept.delete(this.key);
    this.kept.set(this.key, {
      results: Object.fromEntries(RESULT_FIELDS.map((field) => [field, this.results[field].slice()])),
      painted: this.painter.snapshot(), across: this.across, up: this.up,
      tasks: [...inFlight, ...this.tasks.slice(this.nextTask)].map(({ passIndex, points }) => ({ passIndex, points })),
      done: this.done, pending: [...this.pending],
      timing: { ...this.timing, elapsed: performance.now() - this.timing.started },
    });
    if (this.kept.size > KEPT_VIEWS) this.kept.delete(this.kept.keys().next().value);
  }

  /** @param {any} kept */
  restore(kept) {
    this.kept.delete(this.key);
    this.kept.set(this.key, kept);
    for (const field of RESULT_FIELDS) this.results[field].set(kept.results[field]);
    this.painter.restore(kept.painted);
    Object.assign(this, { across: kept.across, up: kept.up, nextTask: 0, done: kept.done, pending: [...kept.pending] });
    this.tasks = kept.tasks.map((/** @type {Task} */ task) => ({ ...task, generation: this.generation }));
    this.timing = { ...kept.timing, started: performance.now() - kept.timing.elapsed, kept: this.complete };
  }

  /** @param {View} view */
  start(view) {
    this.results.outcome.fill(-1);
    this.painter.clear();
    /** @param {number} low @param {number} high @param {number} count */
    const points = (low, high, count) => Float64Array.from({ length: count },
      (_, i) => this.tessel.pointVolts(low, high, count, i));
    this.across = points(view.acrossLow, view.acrossHigh, CHART_WIDTH);
    this.up = points(view.upLow, view.upHigh, CHART_HEIGHT);
    this.tasks = [];
    PASSES.forEach((pass, passIndex) => {
      for (let from = 0; from < pass.points.length; from += POINTS_PER_TASK) {
        this.tasks.push({ passIndex, points: pass.points.slice(from, from + POINTS_PER_TASK), generation: this.generation });
      }
    });
    Object.assign(this, { nextTask: 0, done: 0, pending: PASSES.map((pass) => pass.points.length) });
    this.timing = { started: performance.now() };
  }

  /** @param {Slot} slot */
  feed(slot) {
    while (slot.sent.length < TASKS_IN_FLIGHT && this.nextTask < this.tasks.length && !this.waiting) {
      this.send(slot, this.tasks[this.nextTask++]);
    }
  }

  /** @param {Slot} slot @param {Task} task */
  send(slot, task) {
    slot.sent.push(task);
    const [across, up] = [new Float64Array(task.points.length), new Float64Array(task.points.length)];
    task.points.forEach((point, k) => {
      across[k] = this.across[point % CHART_WIDTH];
      up[k] = this.up[Math.floor(point / CHART_WIDTH)];
    });
    slot.worker.postMessage({ type: "points", task: this.nextTask - 1, view: task.generation, plane: this.plane, across,
      up, held: this.held, steps: this.steps, rate: this.rate }, [across.buffer, up.buffer]);
  }

  /** @param {Slot} slot @param {any} message */
  heard(slot, message) {
    if (message.type === "failed") {
      // The task that failed is answered: the worker's next answer is its next task's.
      if (message.task !== undefined) slot.sent.shift();
      this.tell.failed(message.message);
      return;
    }
    if (message.type === "points") this.take(slot, message);
    this.feed(slot);
  }

  /** @param {Slot} slot @param {any} message */
  take(slot, message) {
    const task = slot.sent.shift();
    if (task.generation !== this.generation) return;
    for (const field of RESULT_FIELDS) {
      const [from, to] = [message[field], this.results[field]];
      task.points.forEach((point, k) => { to[point] = from[k]; });
    }
    this.painter.paint(task.points, PASSES[task.passIndex].stride, message);
    this.done += task.points.length;
    this.pending[task.passIndex] -= task.points.length;
    const elapsed = performance.now() - this.timing.started;
    if (this.pending[0] === 0 && this.timing.coarse === undefined) this.timing.coarse = elapsed;
    if (this.complete) {
      this.timing.complete = elapsed;
      this.keep();
    }
    this.painter.putSoon(this.tell.progressed, this.pending[task.passIndex] === 0);
    if (this.complete) this.tellComplete();
  }

  /** A point's verdict without a cycle's lines, or null while it is not computed. @param {number} point */
  orbitAt(point) {
    const r = this.results;
    if (r.outcome[point] < 0) return null;
    return { outcome: this.tessel.facts.outcomes[r.outcome[point]], period: r.period[point], steps: r.steps[point],
      settle: r.settle[point], lyapunov: r.lyapunov[point], rounding: r.rounding[point] === 1 };
  }
}
