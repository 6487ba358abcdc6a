// The verdict along a whole period of the LFOs (up to the chart path's
// 100 s), longer than the take drawn: judged on a worker of its own, window by
// window as tessel-render's report judges a take of that length, so the
// redraw never waits for it. Only the latest question is answered, and one
// asked while the worker is busy waits for it as the only one.

/** @typedef {import("../engine/messages").WorkletSettings} WorkletSettings */
/** @typedef {{short: string, exact: string}} PathWords */
/** @typedef {{type: "path", task: number, settings: WorkletSettings, samples: number}} PathQuestion */

export class PathVerdict {
  /** @param {WebAssembly.Module} module the .wasm compiled @param {string} workerSource */
  constructor(module, workerSource) {
    this.worker = new Worker(URL.createObjectURL(new Blob([workerSource], { type: "text/javascript" })));
    this.worker.postMessage({ type: "load", module });
    this.task = 0;
    this.busy = false;
    /** @type {PathQuestion | null} */
    this.waiting = null;
    /** @type {((words: PathWords) => void) | null} */
    this.answer = null;
    this.worker.onmessage = (event) => this.heard(event.data);
  }

  /**
   * Asks for the words along a continuous take of `samples`; `answer` hears them unless another question or
   * forget() came first.
   * @param {WorkletSettings} settings @param {number} samples @param {(words: PathWords) => void} answer
   */
  judge(settings, samples, answer) {
    this.task += 1;
    this.answer = answer;
    this.waiting = { type: "path", task: this.task, settings, samples };
    if (!this.busy) this.askWaiting();
  }

  /** No answer is wanted any more. */
  forget() {
    this.task += 1;
    this.answer = null;
    this.waiting = null;
  }

  askWaiting() {
    if (!this.waiting) return;
    this.worker.postMessage(this.waiting);
    this.waiting = null;
    this.busy = true;
  }

  /** @param {{type: string, task?: number, short?: string, exact?: string}} message */
  heard(message) {
    if (message.type === "ready") return;
    this.busy = false;
    if (message.type === "path" && message.task === this.task && this.answer) {
      this.answer({ short: message.short ?? "", exact: message.exact ?? "" });
    }
    this.askWaiting();
  }
}
