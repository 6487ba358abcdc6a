// The chart worker's queue in Node: web/engine/chart-worker.js run as a
// worker runs it, its module a stand-in that marks each point it judges, fed
// messages as the page sends them. Every task is answered, in the order the
// tasks came; those of a view the page has left are answered unjudged, and
// one whose judgement fails says so under its number.
// Usage: node tests/web/chart_worker_tests.mjs
// Prints one line per failure and, last, "worker tests: N passed, M failed".
import { readFileSync } from "node:fs";
import { MessageChannel } from "node:worker_threads";
import vm from "node:vm";

const script = readFileSync(new URL("../../web/engine/chart-worker.js", import.meta.url), "utf8");

// A task of one point, whose stand-in verdict is its task number; the stand-in fails on task 99.
const task = (number, view) => ({ type: "points", task: number, view, plane: "ab", across: Float64Array.of(number),
  up: Float64Array.of(0), held: [0, 0], steps: 8192, rate: 44100 });
const newView = (view) => ({ type: "view", view });

// The answers to `messages`, each as its task and what it says: the point's stand-in verdict, "dropped" or
// "failed".
async function answersTo(messages) {
  const answers = [];
  const channels = [];
  const judgePoints = ({ a }) => {
    if (a[0] === 99) throw new Error("no memory left");
    return { outcome: Int8Array.from(a), period: new Int32Array(a.length), steps: new Int32Array(a.length),
      settle: new Int32Array(a.length), lyapunov: new Float64Array(a.length), rounding: new Uint8Array(a.length) };
  };
  const context = vm.createContext({
    TesselEngine: { loadTesselMapSync: () => ({ judgePoints }) },
    performance,
    MessageChannel: class extends MessageChannel {
      constructor() {
        super();
        channels.push(this);
      }
    },
    postMessage: (answer) => {
      if (answer.type === "points") answers.push([answer.task, answer.dropped ? "dropped" : answer.outcome[0]]);
      if (answer.type === "failed") answers.push([answer.task, "failed"]);
    },
  });
  vm.runInContext(script, context);
  for (const message of [{ type: "load" }, ...messages]) context.onmessage({ data: message });
  const tasks = messages.filter((message) => message.type === "points").length;
  for (let waited = 0; answers.length < tasks && waited < 100; ++waited) await new Promise((r) => setTimeout(r, 5));
  for (const channel of channels) channel.port1.close();
  return answers;
}

const cases = [
  ["tasks of one view, judged in order", [task(0, 1), task(1, 1), task(2, 1)], [[0, 0], [1, 1], [2, 2]]],
  ["a new view before a task is judged drops the old view's tasks, not the new one's",
    [task(0, 1), task(1, 1), newView(2), task(2, 2)], [[0, "dropped"], [1, "dropped"], [2, 2]]],
  ["a view already current drops nothing", [newView(3), task(0, 3), task(1, 3)], [[0, 0], [1, 1]]],
  ["a task that fails is answered so, and the next is judged", [task(99, 1), task(1, 1)], [[99, "failed"], [1, 1]]],
];

const failures = [];
for (const [name, messages, expected] of cases) {
  const answers = await answersTo(messages);
  if (JSON.stringify(answers) !== JSON.stringify(expected)) {
    failures.push(`${name}: got ${JSON.stringify(answers)}, expected ${JSON.stringify(expected)}`);
  }
}
for (const failure of failures) console.log(`FAIL ${failure}`);
console.log(`worker tests: ${cases.length - failures.length} passed, ${failures.length} failed`);
process.exitCode = failures.length ? 1 : 0;
