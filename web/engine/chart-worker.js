// A chart worker: judges points of a chart's plane with the module's own
// analysis, in WebAssembly, several orbits in flight; or a take's path, one
// whole period of its LFOs, window by window as tessel-render's report judges
// it. A classic worker script that the page starts from a Blob URL holding the
// engine's bundle (which defines `TesselEngine`) and then this file's.
//
// Messages in:  {type: "load", module: WebAssembly.Module (the .wasm compiled)}, then any number of
//               {type: "points", task, view, plane, across: Float64Array, up: Float64Array (volts), held: [p, q],
//               steps, rate}: on plane "ab" a and b across and up from x0 p and y0 q, on plane "xy" x0 and y0
//               at a p and b q; {type: "view", view}: tasks of an earlier view are no longer wanted; or
//               {type: "path", task, settings (as the audio worklet takes them), samples}: a continuous take of
//               `samples` from a reset, judged window by window.
// Messages out: {type: "ready"} once loaded; {type: "points", task, outcome: Int8Array (an index of
//               the module's facts.outcomes), period, steps, settle: Int32Array, lyapunov: Float64Array,
//               rounding: Uint8Array} per task (a cycle's lines are left to a point's words), in the
//               order the tasks came, or {type: "points", task, dropped: true} for a task of an earlier view;
//               {type: "path", task, short, exact}: the path's sound in tessel-render's words;
//               {type: "failed", message}, with the task's number when a task of points failed.

/** @type {import("./tessel.js").TesselMap | null} */
let tessel = null;
/** The tasks given and not yet answered, oldest first. @type {any[]} */
const tasks = [];
/** The latest view the page has shown: tasks of earlier ones are answered unjudged. */
let view = 0;
// Tasks are judged on turns of their own, so that the messages that came meanwhile (a newer view above all) are
// read before the next; a turn takes tasks until it has lasted TURN_MS, since each turn costs a hop through the
// browser's message pipes, which a whole plane's tasks of a few milliseconds would feel.
const turns = new MessageChannel();
const TURN_MS = 10;

/** @param {string} plane @param {Float64Array} across @param {Float64Array} up @param {number[]} held */
function inputsAt(plane, across, up, [p, q]) {
  return plane === "xy" ? { a: p, b: q, x0: across, y0: up } : { a: across, b: up, x0: p, y0: q };
}

/** @param {{task: number, plane: string, across: Float64Array, up: Float64Array, held: number[], steps: number,
 *   rate: number}} message */
function judge(message) {
  const points = inputsAt(message.plane, message.across, message.up, message.held);
  const answer = { type: "points", task: message.task, ...tessel.judgePoints({ ...points, steps: message.steps,
    rate: message.rate }) };
  const buffers = [answer.outcome, answer.period, answer.steps, answer.settle, answer.lyapunov, answer.rounding];
  postMessage(answer, buffers.map((array) => array.buffer));
}

/** @param {{task: number, settings: import("./messages").WorkletSettings, samples: number}} message */
function judgePath({ task, settings, samples }) {
  const instance = tessel.newInstance({ rate: settings.rate });
  try {
    instance.apply(settings, samples);
    instance.judgeWindows(samples);
    instance.pass(samples);
    postMessage({ type: "path", task, ...instance.pathWords(settings.rate) });
  } finally {
    instance.free();
  }
}

/** @param {() => void} action @param {number} [task] the task of points it does */
function telling(action, task) {
  try {
    action();
  } catch (error) {
    postMessage({ type: "failed", task, message: String((error && error.message) || error) });
  }
}

turns.port1.onmessage = () => {
  const started = performance.now();
  do {
    const task = tasks.shift();
    if (task.view < view) postMessage({ type: "points", task: task.task, dropped: true });
    else telling(() => judge(task), task.task);
  } while (tasks.length > 0 && performance.now() - started < TURN_MS);
  if (tasks.length > 0) turns.port2.postMessage(null);
};

onmessage = (event) => {
  const message = event.data;
  if (message.type === "points") {
    tasks.push(message);
    if (tasks.length === 1) turns.port2.postMessage(null);
  } else if (message.type === "view") {
    view = message.view;
  } else {
    telling(() => {
      if (message.type === "load") {
        tessel = TesselEngine.loadTesselMapSync(message.module);
        postMessage({ type: "ready" });
      } else {
        judgePath(message);
      }
    });
  }
};
