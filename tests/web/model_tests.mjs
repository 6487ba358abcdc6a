// The explorer's model in Node (web/model/: no DOM), on the module's
// WebAssembly build as the page loads it: volts and their floats, a verdict's
// words, exact and in short (tones rounded like printf, a rounding cycle,
// Gated mode), what the page says of a stopped sound, what a number field
// accepts, the settings in the URL fragment with their LFOs, a knob's steps
// and the sliders' travel, the store's notices, the chart's zoom and legend.
// Usage: node tests/web/model_tests.mjs [TESSEL-MAP.WASM]
// (by default build/wasm/tessel-map.wasm, from the wasm preset).
// Prints one line per failure and, last, "model tests: N passed, M failed".
import { readFileSync } from "node:fs";

import { loadTesselMap } from "../../web/engine/tessel.js";
import { CHART_HEIGHT, CHART_WIDTH, halvedAround, zoomedView } from "../../web/model/chart-grid.js";
import { fragmentOf, readFragment, settingsOfFragment } from "../../web/model/fragment.js";
import { soundingScale, soundingShares, stepVolts } from "../../web/model/knob-scales.js";
import { legendEntries } from "../../web/model/legend.js";
import { ticksOf } from "../../web/model/ticks.js";
import { commandLine } from "../../web/model/lfo.js";
import { explainedParts } from "../../web/model/glossary.js";
import { forgetPatch, keepPatch, keptPatches } from "../../web/model/patches.js";
import { Recording, chunkBuffers } from "../../web/model/recording.js";
import { safeDepth } from "../../web/model/safe-depth.js";
import {
  defaultSettings, knobsOf, plainDecimal, readField, stillInputs, voltsText,
} from "../../web/model/settings.js";
import { wavNameOf } from "../../web/model/take.js";
import { SettingsStore } from "../../web/model/store.js";
import { articleFor, describeSettings, movingText, soundStoppedText, summarizeSettings } from "../../web/model/words.js";

const wasmPath = process.argv[2] ?? new URL("../../build/wasm/tessel-map.wasm", import.meta.url);
const tessel = await loadTesselMap(readFileSync(wasmPath));

const failures = [];
let passed = 0;
// Objects compare field by field, in any order.
const canonical = (value) => JSON.stringify(value, (key, v) => (v && typeof v === "object" && !Array.isArray(v)
  ? Object.fromEntries(Object.entries(v).sort(([p], [q]) => (p < q ? -1 : 1))) : v));
function check(name, actual, expected) {
  if (Object.is(actual, expected) || canonical(actual) === canonical(expected)) passed++;
  else failures.push(`${name}: got ${JSON.stringify(actual)}, expected ${JSON.stringify(expected)}`);
}

// Shortest volts that read back to the same float, as tessel-render's CSV prints them.
for (const [volts, text] of [[1.4, "1.4"], [0.3, "0.3"], [-1, "-1"], [0, "0"], [1.3958333333, "1.3958333"],
  [tessel.pointVolts(-1, 4, 600, 287), "1.3958333"], [tessel.pointVolts(-1, 1, 400, 259), "0.2975"],
  [1e-37, "0.0000000000000000000000000000000000001"]]) {
  check(`voltsText(${volts})`, voltsText(tessel, volts), text);
  check(`voltsText(${volts}) reads back`, tessel.signalOf(Number(voltsText(tessel, volts))), tessel.signalOf(volts));
}

// A cycle's tone at the sample rate, in whole hertz as printf's "%.0f" rounds:
// ties go to the even neighbour, so 44100 / 8 = 5512.5 is "5512".
for (const [period, rate, hz] of [[8, 44100, "5512"], [40, 44100, "1102"], [3, 44100, "14700"],
  [7, 48000, "6857"], [64, 48000, "750"], [2, 44100, "22050"], [24, 44100, "1838"]]) {
  check(`the tone of period ${period} at ${rate} Hz`,
    tessel.describeOrbit({ outcome: "cycle", period, settle: 0 }, { rate }),
    `a cycle of period ${period}: a tone of ${hz} Hz from step 0`);
}

// (typed, accepted, value) for a over -1..4 V
for (const [typed, ok, value] of [["1.4", true, 1.4], [" 2 ", true, 2], ["+.5", true, 0.5], ["-1e-3", true, -0.001],
  ["7", true, 4], ["-12", true, -1], ["1e400", true, 4], ["-1e999", true, -1], ["abc", false, undefined],
  ["NaN", false, undefined], ["Infinity", false, undefined], ["", false, undefined], ["1.2.3", false, undefined],
  ["0x10", false, undefined], ["1,2", true, 1.2], [" -0,5 ", true, -0.5], [",5", true, 0.5], ["9,5", true, 4],
  ["1,2,3", false, undefined], ["1,234.5", false, undefined], ["1.2,3", false, undefined]]) {
  const read = readField(typed, -1, 4, "V");
  check(`readField(${JSON.stringify(typed)}).ok`, read.ok, ok);
  check(`readField(${JSON.stringify(typed)}).value`, read.value, value);
  check(`readField(${JSON.stringify(typed)}) says why`, read.message !== "",
    !ok || value !== Number(typed.trim().replace(",", ".")));
}

// The fragment keeps every setting, and bad values in a link fall back or clamp.
const settings = { a: 1.2, b: -0.25, x0: 0.5, y0: -2, mode: "gated", gate: 440, normalize: false, rate: 48000,
  ...stillInputs() };
check("fragment round trip", settingsOfFragment(tessel, `#${fragmentOf(tessel, settings)}`), settings);
const moving = { ...settings, lfos: { ...settings.lfos, a: { shape: "saw", hz: 20, depth: 1 },
  y0: { shape: "sine", hz: 0.01, depth: 0.25 } }, resetHz: 0.25 };
check("fragment round trip with LFOs and a Reset clock", settingsOfFragment(tessel, fragmentOf(tessel, moving)), moving);
check("fragment with bad values", settingsOfFragment(tessel, "#a=9&b=x&x0=NaN&mode=odd&gate=30000&rate=96001&normalize=on"),
  { ...defaultSettings(tessel), a: 4, gate: 22050 });
// A fragment's LFO and Reset clock count only where the controls could have set them: (fragment, a, its LFO,
// the Reset clock).
for (const [text, a, lfo, resetHz] of [
  ["a=sine:1.2:0.2:0.5", 1.2, { shape: "sine", depth: 0.2, hz: 0.5 }, 0],
  ["a=saw:-0.5:1:20&reset-hz=0.25", -0.5, { shape: "saw", depth: 1, hz: 20 }, 0.25],
  ["a=ramp:1:2", 1.4, null, 0],
  ["a=sine:1.2:0.2:25", 1.4, null, 0],
  ["a=sine:1.2:0.2:0.5:0.25", 1.4, null, 0],
  ["a=square:9:0.2:1&reset-hz=-1", 1.4, null, 0],
  ["a=triangle:1.2:-0.2:1", 1.4, null, 0],
]) {
  const read = settingsOfFragment(tessel, text);
  check(`fragment ${text}`, [read.a, read.lfos.a, read.resetHz], [a, lfo, resetHz]);
}
// What a link had refused or clamped is said, a line each, naming the field, what is kept and the range.
for (const [text, said] of [
  ["#a=1.2&b=0.25&mode=gated", []],
  ["#a=abc&b=0.25", ['a=abc: "abc" is not a number: kept 1.4 V; give -1 to 4 V']],
  ["#mode=odd&rate=96001", ["mode=odd: kept continuous; give continuous or gated",
    "rate=96001: kept 44100; give 22050 or 44100 or 48000 or 88200 or 96000"]],
  ["#gate=30000&rate=44100", ["gate=30000: 30000 is above 0.1 to 22050 Hz: set to 22050 Hz"]],
  ["#b=sine:0.3:0.1:25&volume=1", ["b=sine:0.3:0.1:25: no LFO the page offers (shape:centre:depth:Hz, a shape " +
    "of sine, triangle, square, saw, 0.01 to 20 Hz, a depth of 0 to 2 V, the centre within the knob): kept b 0.3 V",
  "volume=1: no setting of the page's; left out"]],
]) {
  check(`readFragment(${text}) says`, readFragment(tessel, text).refused, said);
}
check("the command line of a moving patch", commandLine(tessel, moving, 2), "tessel-render --seconds 2 --rate 48000 " +
  "--mode gated --gate-hz 440 --a saw:1.2:1:20 --b -0.25 --x0 0.5 --y0 sine:-2:0.25:0.01 --normalize off " +
  "--reset-hz 0.25 --out take.wav");
check("fragment with decimal commas", settingsOfFragment(tessel, "#a=1,2&b=0,25"), { ...settingsOfFragment(tessel, ""),
  a: 1.2, b: 0.25 });
// Every rate offered is taken from a link, and holds the Gate clock to half of it.
for (const [rate, gate] of [[22050, 11025], [44100, 22050], [48000, 24000], [88200, 40000], [96000, 40000]]) {
  const read = settingsOfFragment(tessel, `#gate=40000&rate=${rate}`);
  check(`fragment at ${rate} Hz`, [read.rate, read.gate], [rate, gate]);
}

// Takes that differ in an LFO or the Reset clock are named apart, each a safe file name.
const plain = defaultSettings(tessel);
const sine = { shape: "sine", hz: 0.5, depth: 0.02 };
const names = [plain, { ...plain, lfos: { ...plain.lfos, a: sine } },
  { ...plain, lfos: { ...plain.lfos, a: { ...sine, shape: "saw" } } },
  { ...plain, lfos: { ...plain.lfos, a: { ...sine, hz: 5 } } }, { ...plain, lfos: { ...plain.lfos, b: sine } },
  { ...plain, lfos: { ...plain.lfos, a: sine }, resetHz: 4 }, { ...plain, resetHz: 4 }]
  .map((s) => wavNameOf(tessel, s));
check("WAV names of takes that differ", new Set(names).size, names.length);
check("WAV names are safe", names.filter((name) => !/^[A-Za-z0-9._+-]+$/.test(name)), []);

// A new LFO's depth: the largest tried whose period keeps the map sounding, as tessel-render finds it
// (1.4 V ±0.03 V stops within 0.37 s, ±0.02 V runs); none where the map stops by itself.
/** @param {Generator<void, any>} search */
const finished = (search) => { for (;;) { const next = search.next(); if (next.done) return next.value; } };
for (const [a, name, found] of [[1.4, "a", { depth: 0.02, stops: false, stopsAt: 0.05 }],
  [1.2, "x0", { depth: 0.5, stops: false, stopsAt: null }], [4, "a", { depth: 0.01, stops: true, stopsAt: 0.01 }]]) {
  check(`safeDepth of ${name} at a ${a} V`, finished(safeDepth(tessel, { ...plain, a }, name, sine)), found);
}

// A knob's key steps land on the step's grid in its decimals, from on or off it: (value, step, steps, lands on).
for (const [value, step, steps, landed] of [[1.4, 0.001, 1, 1.401], [1.4, 0.01, -1, 1.39], [0.3, 0.01, 1, 0.31],
  [0.12345, 0.001, 1, 0.124], [0.12345, 0.001, -1, 0.123], [-0.3, 0.01, -10, -0.4], [0.7, 0.1, 3, 1]]) {
  check(`stepVolts(${value}, ${step}, ${steps})`, stepVolts(value, step, steps), landed);
}

// The a and b sliders' travel runs both ways through the same points, end to end.
const knobs = knobsOf(tessel);
const shares = soundingShares(tessel, knobs);
for (const name of ["a", "b"]) {
  const scale = soundingScale(knobs[name].low, knobs[name].high, shares[name]);
  check(`${name}'s travel ends`, [scale.valueAt(0), scale.valueAt(1)], [knobs[name].low, knobs[name].high]);
  for (const position of [0.13, 0.5, 0.87]) {
    check(`${name}'s travel at ${position} and back`,
      Math.abs(scale.positionOf(scale.valueAt(position)) - position) < 1e-12, true);
  }
}

// A verdict's words, one family each.
for (const [orbit, words] of [
  [{ outcome: "stops", steps: 17 }, "stops: the guard stopped the map after 17 steps"],
  [{ outcome: "stops", steps: 1 }, "stops: the guard stopped the map after 1 step"],
  [{ outcome: "cycle", period: 1, settle: 1684 }, "a cycle of period 1: a constant from step 1684"],
  [{ outcome: "cycle", period: 4, settle: 310 }, "a cycle of period 4: a tone of 11025 Hz from step 310"],
  [{ outcome: "chaos", lyapunov: 0.4156409 }, "chaos: largest Lyapunov exponent 0.415641 per step"],
  [{ outcome: "quasi", lyapunov: -0.0000004, period: 0 },
    "quasi: no cycle up to period 512, largest Lyapunov exponent -0.000000 per step"],
  [{ outcome: "chaos", lyapunov: 0.21, period: 10, settle: 3947, rounding: true },
    "chaos: a rounding cycle of period 10 (a tone of 4410 Hz from step 3947) that the map has only as an " +
    "unstable cycle, or not at all; largest Lyapunov exponent 0.210000 per step"],
]) {
  check(`describeOrbit(${orbit.outcome}${orbit.rounding ? ", rounding" : ""})`,
    tessel.describeOrbit(orbit, { rate: 44100 }), words);
}

// What the settings do: in Gated mode a cycle is a tone of the clock's rate
// over its period, to three significant digits.
const gated = { mode: "gated", gate: 200, rate: 44100 };
for (const [gate, period, hz] of [[200, 3, "66.7"], [2000, 2, "1000"], [22050, 2, "11000"], [0.1, 512, "0.000195"],
  [1000, 7, "143"]]) {
  check(`describeSettings, gated at ${gate} Hz, period ${period}`,
    describeSettings(tessel, { outcome: "cycle", period, settle: 40 }, { ...gated, gate }),
    `Gated by a ${gate} Hz clock, one step per tick: a cycle of period ${period}: a tone of ${hz} Hz from step 40`);
}
// In short, the same way: the tone at the clock's rate in Gated mode, at the sample rate in Continuous mode.
const continuous = { ...gated, mode: "continuous" };
for (const [settings, orbit, words] of [
  [gated, { outcome: "cycle", period: 3, settle: 40 }, "Gated by a 200 Hz clock: a steady tone of 66.7 Hz"],
  [continuous, { outcome: "cycle", period: 4, settle: 40 }, "Continuous: a steady tone of 11,025 Hz"],
  [continuous, { outcome: "stops", steps: 1 }, "Continuous: silent: the map stops after 1 step and waits for Reset"],
  // A Reset clock restarts a stopped map: it does not wait.
  [{ ...continuous, resetHz: 4 }, { outcome: "stops", steps: 2 },
    "Continuous: silent: the map stops after 2 steps, each time the Reset clock restarts it"],
]) {
  check(`summarizeSettings(${settings.mode}, ${orbit.outcome})`, summarizeSettings(tessel, orbit, settings), words);
}
// The sound playing, once its map has stopped itself: when, counted from Play or the last Reset.
for (const [stop, words] of [
  [{ at: 22050, lastReset: -1 }, "22050 samples (0.500 s) after Play"],
  [{ at: 44101, lastReset: 44100 }, "1 sample (0.000 s) after the last Reset"],
]) {
  const text = soundStoppedText(stop, 44100);
  check(`soundStoppedText(${JSON.stringify(stop)})`, text.includes(`stopped itself ${words} `) && text, text);
}
check("describeSettings, continuous cycle", describeSettings(tessel, { outcome: "cycle", period: 3, settle: 40 },
  { ...gated, mode: "continuous" }), "Continuous: a cycle of period 3: a tone of 14700 Hz from step 40");

// The store tells each panel of the changes to its fields only, and of nothing when nothing changes.
{
  const store = new SettingsStore(defaultSettings(tessel));
  const heard = { ab: 0, rate: 0, any: 0 };
  store.subscribe(["a", "b"], () => heard.ab++);
  store.subscribe(["rate"], () => heard.rate++);
  store.subscribe(null, () => heard.any++);
  for (const [values, expected] of [
    [{ a: 1.2 }, { ab: 1, rate: 0, any: 1 }],
    [{ a: 1.2, b: 0.3 }, { ab: 1, rate: 0, any: 1 }],
    [{ rate: 48000, a: 1.1 }, { ab: 2, rate: 1, any: 2 }],
    [{ lfos: { ...stillInputs().lfos } }, { ab: 2, rate: 1, any: 2 }],
    [{ lfos: { ...stillInputs().lfos, b: { shape: "sine", hz: 1, depth: 0.01 } } }, { ab: 2, rate: 1, any: 3 }],
  ]) {
    store.set(values);
    check(`the store after ${JSON.stringify(values)}`, { ...heard }, expected);
  }
}

// Zooming keeps the point under it and stops where neighbouring points would share a float.
{
  const whole = { acrossLow: -1, acrossHigh: 4, upLow: -1, upHigh: 1 };
  const [from, to] = halvedAround({ i: 300, j: 100 });
  const { view, widened } = zoomedView(tessel, whole, from, to, whole);
  const aAt = (v, i) => v.acrossLow + (v.acrossHigh - v.acrossLow) * (i + 0.5) / CHART_WIDTH;
  const halved = (span, wholeSpan) => Math.abs(span / wholeSpan - 0.5) < 0.01;
  check("a zoom around a point halves the view", [halved(view.acrossHigh - view.acrossLow, 5), halved(view.upHigh - view.upLow, 2),
    widened], [true, true, []]);
  check("a zoom around a point keeps it", Math.abs(aAt(view, 300) - aAt(whole, 300)) < 0.01, true);
  const narrow = zoomedView(tessel, { acrossLow: 1.4, acrossHigh: 1.4 + 1e-9, upLow: 0.3, upHigh: 0.3 + 1e-9 },
    { i: 0, j: 0 }, { i: CHART_WIDTH - 1, j: CHART_HEIGHT - 1 }, whole);
  check("a zoom past the floats widens to them", narrow.widened, ["a", "b"]);
}

// Points judged many at once are judged as one at a time: stops, constants, tones, chaos, a rounding cycle.
{
  const a = Float64Array.from([4, 0.2, 1.0541666, 1.4, 1.3, 1.06, -1]);
  const b = Float64Array.from([0.3, 0.3, 0.3025, 0.3, 0.3, 0.3, -1]);
  const many = tessel.judgePoints({ a, b, x0: 0, y0: 0, steps: 8192, rate: 44100 });
  a.forEach((volts, i) => {
    const one = tessel.analysePoint({ a: volts, b: b[i], steps: 8192, rate: 44100 });
    check(`judgePoints at a ${volts} V, b ${b[i]} V`,
      [tessel.facts.outcomes[many.outcome[i]], many.period[i], many.steps[i], many.settle[i], many.lyapunov[i],
        many.rounding[i] === 1],
      [one.outcome, one.period, one.steps, one.settle, one.lyapunov, one.rounding]);
  });
}

// Small words: the article a number takes read aloud, volts without an exponent, what moves in words.
for (const [value, article] of [[8, "an"], [11, "an"], [18, "an"], [80, "an"], [800, "an"], [8000, "an"],
  [11025, "an"], [18000, "an"], [1, "a"], [100, "a"], [1000, "a"], [0.5, "a"], [110, "a"], [180, "a"]]) {
  check(`the article before ${value}`, articleFor(value), article);
}
for (const [volts, text] of [[1e-9, "0.000000001"], [-2.5e-7, "-0.00000025"], [1.4, "1.4"], [0, "0"]]) {
  check(`plainDecimal(${volts})`, [plainDecimal(volts), Number(plainDecimal(volts))], [text, volts]);
}
check("what moves, in words", movingText(tessel, { ...settings, lfos: { ...settings.lfos,
  a: { shape: "sine", hz: 0.5, depth: 0.02 } }, resetHz: 4 }),
  "a: sine LFO at 0.5 Hz, ±0.02 V around 1.2 V; Reset clock 4 Hz");
check("gated by an 8 Hz clock", summarizeSettings(tessel, { outcome: "cycle", period: 4, settle: 0 },
  { ...settings, mode: "gated", gate: 8 }).startsWith("Gated by an 8 Hz clock: "), true);

// Where a cycle's energy is, in the words the page shows under the take and tessel-render's report says.
for (const [a, b, words] of [
  [1.0541666, 0.3025, "Continuous: a faint 2,756 Hz under a loud whine at 22,050 Hz, the Nyquist rate: above hearing"],
  [1.3, 0.3, "Continuous: a steady tone of 6,300 Hz"],
]) {
  const orbit = tessel.analysePoint({ a, b, steps: 88200, rate: 44100 });
  check(`the short verdict at a ${a} V, b ${b} V`, summarizeSettings(tessel, orbit, { mode: "continuous", rate: 44100 }),
    words);
}

// A batch longer than one call of the .wasm takes, judged as one at a time, across the calls' joins.
{
  const count = 2 * tessel.facts.chartSide.most + 3;
  const a = Float64Array.from({ length: count }, (_, i) => tessel.pointVolts(-1, 4, count, i));
  const many = tessel.judgePoints({ a, b: 0.3, x0: 0, y0: 0, steps: 256, rate: 44100 });
  const sampled = [0, 1234, count - 1].map((i) => [many.outcome[i], many.period[i], many.steps[i]]);
  const one = [0, 1234, count - 1].map((i) => {
    const orbit = tessel.analysePoint({ a: a[i], b: 0.3, steps: 256, rate: 44100 });
    return [tessel.facts.outcomes.indexOf(orbit.outcome), orbit.period, orbit.steps];
  });
  check("a large batch of points", sampled, one);
}

// The legend's tones follow the sample rate, in tessel-render's words; a rounding cycle's swatch is hatched.
for (const [rate, words] of [[44100, "period 5-8: 8820 Hz to 5512 Hz"], [22050, "period 2: 11025 Hz"]]) {
  const entries = legendEntries(tessel, tessel.facts.steps.chart, rate);
  check(`the legend at ${rate} Hz`, entries.map((entry) => entry.words).includes(words), true);
  const hatched = entries[entries.length - 1];
  check(`the legend's hatching at ${rate} Hz`, [0, 1, 2, 3].map((column) => hatched.colourAt(0.5, column, 0).join()).some(
    (colour, _, all) => colour !== all[0]), true);
  // A swatch not marked hatched is painted from its first row's colours.
  check(`only the rounding cycle's swatch marked hatched at ${rate} Hz`, entries.map((entry) => entry.hatched),
    entries.map((entry) => entry === hatched));
}

// The chart's ticks are tessel-render's: the round step nearest the count wanted, placed at their share.
for (const [low, high, wanted, texts] of [[-1, 4, 7, "-1 0 1 2 3 4"], [-1, 1, 6, "-1.0 -0.5 0.0 0.5 1.0"],
  [1.38, 1.42, 5, "1.38 1.39 1.40 1.41 1.42"]]) {
  const ticks = ticksOf(tessel, low, high, wanted);
  check(`ticks over ${low} to ${high}`, ticks.map((tick) => tick.text).join(" "), texts);
  check(`ticks over ${low} to ${high} placed`, ticks.every((tick) => Math.abs(low + tick.at * (high - low) - tick.value) < 1e-12), true);
}

// A text's glossary words: the longest phrase, whole words only, each entry once.
for (const [text, parts] of [
  ["Continuous: noise, rough", ["Continuous: ", "noise, rough=noise"]],
  ["a steady tone of 22,050 Hz, the Nyquist rate: above hearing",
    ["a steady tone=period", " of 22,050 Hz, ", "the Nyquist rate=nyquist", ": above hearing"]],
  ["stops after 2 steps, stopped, and waits for Reset; chaotic stones",
    ["stops=stops", " after 2 steps, stopped, and waits for ", "Reset=reset", "; chaotic stones"]]]) {
  check(`glossary words in '${text}'`, explainedParts(tessel, text).map((p) => (p.entry ? `${p.text}=${p.entry.id}` : p.text)),
    parts);
}

// Undo puts back the settings before the last change, a drag's steps (one field, quickly) being one change;
// redo makes it again; a new change forgets what was undone.
{
  const store = new SettingsStore(defaultSettings(tessel));
  const ab = () => [store.settings.a, store.settings.b];
  store.set({ a: 1 });
  store.set({ a: 1.1 });
  store.set({ b: 0.2 });
  for (const [step, expected] of [["undo", [1.1, 0.3]], ["undo", [1.4, 0.3]], ["undo", [1.4, 0.3]],
    ["redo", [1.1, 0.3]], ["redo", [1.1, 0.2]], ["redo", [1.1, 0.2]]]) {
    store[step]();
    check(`store ${step}`, ab(), expected);
  }
  store.undo();
  store.set({ x0: 1 });
  check("store: a change forgets what was undone", [store.redo(), store.canUndo], [false, true]);
}

// Kept patches are listed by name, read as links; one that no longer reads in full is listed with what is refused.
{
  const kept = new Map();
  const storage = { getItem: (k) => kept.get(k) ?? null, setItem: (k, v) => kept.set(k, v),
    removeItem: (k) => kept.delete(k), key: (i) => [...kept.keys()][i] ?? null, get length() { return kept.size; } };
  storage.setItem("another page's", "a=2");
  keepPatch(storage, "  slow  sweep ", "a=sine:1.2:0.2:0.5&b=0.25");
  keepPatch(storage, "old", "a=abc&b=0.2");
  keepPatch(storage, "bright", "a=1");
  forgetPatch(storage, "bright");
  check("kept patches", keptPatches(tessel, storage).map((p) => [p.name, p.settings.b, p.refused.length]),
    [["old", 0.2, 1], ["slow sweep", 0.25, 0]]);
}

// A recording starts where Reset rises (not where a pulse high already goes on), keeps an input that takes one
// float (0 and -0 apart) off the inputs file, and stops at its most frames.
const recordedChunk = (frames, reset, b) => {
  const [buffer] = chunkBuffers(1, frames);
  const plane = (pin) => new Float32Array(buffer, pin * frames * 4, frames);
  plane(1).set(reset);
  plane(5).fill(b);
  plane(6).forEach((_, i, x) => { x[i] = i + 1; });
  return { buffer, frames, chunkFrames: frames };
};
for (const [what, wasHigh, chunks, most, frames, x0, moving] of [
  ["a press", false, [[[0, 0.5, 0, 0], 0.3]], 100, 3, 2, [1]],
  ["a press while a pulse is high", true, [[[0.5, 0, 0, 0], 0.3], [[0, 0, 0.5, 0], 0.3]], 100, 2, 3, [1]],
  ["b from 0 to -0", false, [[[0.5, 0, 0, 0], 0], [[0, 0, 0, 0], -0]], 100, 8, 1, [1, 5]],
  ["the most frames", false, [[[0.5, 0, 0, 0], 0.3], [[0, 0, 0, 0], 0.3]], 6, 6, 1, [1]]]) {
  const recording = new Recording({ rate: 44100, mode: "continuous", normalize: true }, wasHigh, most);
  for (const [reset, b] of chunks) recording.add(recordedChunk(reset.length, reset, b));
  check(`recording, ${what}`, [recording.frames, recording.sound[0][0], recording.movingPins, recording.full],
    [frames, x0, moving, frames === most]);
}

for (const failure of failures) console.log(`FAIL ${failure}`);
console.log(`model tests: ${passed} passed, ${failures.length} failed`);
process.exitCode = failures.length > 0 ? 1 : 0;
