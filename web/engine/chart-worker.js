// A chart worker: judges points of a chart's plane with the module's own
// analysis, in WebAssembly, several orbits in flight. A classic worker script that the page starts from
// a Blob URL holding the engine's bundle (which defines `TesselEngine`) and
// then this file's.
//
// Messages in:  {type: "load", wasm: ArrayBuffer}, then any number of
//               {type: "points", task, a: Float64Array, b: Float64Array (volts), x0, y0, steps, rate}.
// Messages out: {type: "ready"} once loaded; {type: "points", task, outcome: Int8Array (an index of
//               the module's facts.outcomes), period, steps, settle: Int32Array, lyapunov: Float64Array,
//               rounding: Uint8Array} per task, in the order the tasks came; {type: "failed", message}.

/** @type {import("./tessel.js").TesselMap | null} */
let tessel = null;

/** @param {{task: number, a: Float64Array, b: Float64Array, x0: number, y0: number, steps: number,
 *   rate: number}} message */
function judge(message) {
  const answer = { type: "points", task: message.task, ...tessel.judgePoints(message) };
  const buffers = [answer.outcome, answer.period, answer.steps, answer.settle, answer.lyapunov, answer.rounding];
  postMessage(answer, buffers.map((array) => array.buffer));
}

onmessage = (event) => {
  const message = event.data;
  try {
    if (message.type === "load") {
      tessel = TesselEngine.loadTesselMapSync(message.wasm);
      postMessage({ type: "ready" });
    } else {
      judge(message);
    }
  } catch (error) {
    postMessage({ type: "failed", message: String((error && error.message) || error) });
  }
};
