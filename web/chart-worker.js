// A chart worker: judges points of the a-b plane with the module's own
// analysis, in WebAssembly. A classic worker script, started by the page from
// a Blob URL; it loads the wrapper module with import(), which the page's
// build points at a data: URL.
//
// Messages in:  {type: "load", wasm: ArrayBuffer}, then any number of
//               {type: "points", task, a: Float64Array, b: Float64Array (volts), x0, y0, steps, rate}.
// Messages out: {type: "ready"} once loaded; {type: "points", task, outcome: Int8Array (an index of
//               the module's facts.outcomes), period, steps, settle: Int32Array, lyapunov: Float64Array,
//               rounding: Uint8Array} per task, in the order the tasks came; {type: "failed", message}.
"use strict";

let tessel = null;
// Messages are handled one after another, the first (the load) included.
let queue = Promise.resolve();

async function load(wasm) {
  const wrapper = await import("./tessel.js");
  tessel = await wrapper.loadTesselMap(wasm);
  postMessage({ type: "ready" });
}

function judge(message) {
  const count = message.a.length;
  const answer = {
    type: "points",
    task: message.task,
    outcome: new Int8Array(count),
    period: new Int32Array(count),
    steps: new Int32Array(count),
    settle: new Int32Array(count),
    lyapunov: new Float64Array(count),
    rounding: new Uint8Array(count),
  };
  for (let i = 0; i < count; i++) {
    const orbit = tessel.analysePoint({
      a: message.a[i], b: message.b[i], x0: message.x0, y0: message.y0, steps: message.steps, rate: message.rate,
    });
    answer.outcome[i] = tessel.facts.outcomes.indexOf(orbit.outcome);
    answer.period[i] = orbit.period;
    answer.steps[i] = orbit.steps;
    answer.settle[i] = orbit.settle || 0;
    answer.lyapunov[i] = orbit.lyapunov;
    answer.rounding[i] = orbit.rounding ? 1 : 0;
  }
  const buffers = [answer.outcome, answer.period, answer.steps, answer.settle, answer.lyapunov, answer.rounding];
  postMessage(answer, buffers.map((array) => array.buffer));
}

onmessage = (event) => {
  const message = event.data;
  queue = queue
    .then(() => (message.type === "load" ? load(message.wasm) : judge(message)))
    .catch((error) => postMessage({ type: "failed", message: String(error && error.message || error) }));
};
