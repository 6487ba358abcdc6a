// When the chart's pixels go onto its canvas, in Node: web/ui/chart/chart-painter.js
// on a stand-in canvas, its frames (every 16 ms), timers and clock simulated.
// While a pass fills, the pixels are put at most every 200 ms; a finished
// pass is put at the next frame; whoever asked hears of each put.
// Usage: node tests/web/chart_painter_tests.mjs
// Prints one line per failure and, last, "painter tests: N passed, M failed".
import { ChartPainter } from "../../web/ui/chart/chart-painter.js";

const FRAME_MS = 16;

/**
 * What the painter puts when asked at these times (ms, "prompt" for a finished pass): each put as "put@ms" and
 * each call of the asker's callback as "heard", up to `until` ms.
 * @param {[number, string?][]} asks @param {number} until
 */
function putsFor(asks, until) {
  let now = 0;
  const log = [];
  /** @type {{at: number, run: () => void, id: number}[]} */
  let timers = [];
  /** @type {(() => void)[]} */
  let frameCallbacks = [];
  Object.assign(globalThis, {
    performance: { now: () => now },
    requestAnimationFrame: (/** @type {() => void} */ run) => frameCallbacks.push(run),
    setTimeout: (/** @type {() => void} */ run, /** @type {number} */ wait) => {
      const id = timers.length + 1;
      timers.push({ at: now + wait, run, id });
      return id;
    },
    clearTimeout: (/** @type {number} */ id) => { timers = timers.filter((timer) => timer.id !== id); },
  });
  const context = { createImageData: () => ({ data: new Uint8ClampedArray(4) }), putImageData: () => log.push(`put@${now}`) };
  const painter = new ChartPainter(/** @type {any} */ ({ getContext: () => context }), /** @type {any} */ ({}), 8192);
  for (now = 0; now <= until; now++) {
    for (const [at, how] of asks) if (at === now) painter.putSoon(() => log.push("heard"), how === "prompt");
    for (const timer of timers.filter((waiting) => waiting.at <= now)) {
      timers = timers.filter((waiting) => waiting !== timer);
      timer.run();
    }
    if (now % FRAME_MS === 0) {
      const due = frameCallbacks;
      frameCallbacks = [];
      for (const run of due) run();
    }
  }
  return log;
}

const every10ms = Array.from({ length: 51 }, (_, k) => /** @type {[number]} */ ([10 * k]));
const cases = [
  ["points of a filling pass every 10 ms: the first at the next frame, then one in each in each 200 ms",
    every10ms, 700, ["put@0", "heard", "put@208", "heard", "put@416", "heard", "put@624", "heard"]],
  ["a pass finished while the next put waits is put at the next frame, and the waiting put is dropped",
    [[0], [50], [100, "prompt"]], 700, ["put@0", "heard", "put@112", "heard"]],
  ["a pass finished just after a put is put at the next frame all the same",
    [[0], [20, "prompt"]], 700, ["put@0", "heard", "put@32", "heard"]],
];

const failures = [];
for (const [name, asks, until, expected] of cases) {
  const log = putsFor(/** @type {[number, string?][]} */ (asks), /** @type {number} */ (until));
  if (JSON.stringify(log) !== JSON.stringify(expected)) {
    failures.push(`${name}: got ${JSON.stringify(log)}, expected ${JSON.stringify(expected)}`);
  }
}
for (const failure of failures) console.log(`FAIL ${failure}`);
console.log(`painter tests: ${cases.length - failures.length} passed, ${failures.length} failed`);
process.exitCode = failures.length ? 1 : 0;
