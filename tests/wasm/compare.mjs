// The WebAssembly module against the native one, bit for bit: every take of
// the table is rendered by tessel-map.wasm through web/engine/tessel.js and by the
// native library through tessel-render (a 32-bit float WAV), and every sample
// of x and y must have the same bits. Both hosts drive the module through the
// same session (its own tests cover the sources and block splits), so the
// takes here are about the module's arithmetic in WebAssembly and the
// JavaScript around it. Then charts: every row of tessel-render --chart-data
// must read as chartRow judges it; and words: tessel-render's report on a
// point must say what the page says of it; and pictures: the page draws a
// take's attractor and traces as tessel-render does. A few checks of what
// web/engine/tessel.js promises beyond the samples follow, and that the page starts
// where tessel-render does.
//
// Usage: node tests/wasm/compare.mjs TESSEL-MAP.WASM TESSEL-RENDER
// Prints one line per case and "wasm comparison: N passed, M failed"; exits 1
// on any failure.
import { execFileSync, spawnSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

import { defaultSettings, knobsOf } from '../../web/model/settings.js';
import { loadTesselMap } from '../../web/engine/tessel.js';
import { comparePicture, pictureCases } from './pictures.mjs';

const [wasmPath, renderPath] = process.argv.slice(2);
if (!wasmPath || !renderPath) {
  console.error('usage: node tests/wasm/compare.mjs TESSEL-MAP.WASM TESSEL-RENDER');
  process.exit(2);
}

// A float given by its bits, as volts that convert back to exactly it: the
// float times 10 is exact in double, and so is the division by 10 after it.
function voltsOfBits(bits) {
  const view = new DataView(new ArrayBuffer(4));
  view.setUint32(0, bits);
  return view.getFloat32(0) * 10;
}
const towardZero = (bits) => bits - 1;  // the next float toward 0, for a non-zero float's bits
const kTenth = 0x3dcccccd;  // the float nearest 0.1: 1 V
const kMinusThreeTenths = 0xbe99999a;  // -3 V
const kTwoToMinus20 = 2 ** -20 * 10;  // volts of the signal 2^-20

// Each take: tessel-render's options (volts as numbers) and how the .wasm
// renders it. `pieces`: the lengths the JavaScript side renders in turn (the
// rest in one call), to show that the host's block boundaries do not matter.
// `stops`: whether the guard must have stopped the map by the end;
// `firstStands`: whether the first step must stand (else the guard stops it).
const usual = { a: 1.4, b: 0.3, x0: 0, y0: 0 };
const cases = [
  { name: 'continuous, usual values, Normalize on', ...usual, seconds: 0.5 },
  { name: 'continuous, odd pieces and host blocks of 64', ...usual, seconds: 0.25, block: 64,
    pieces: [1, 2, 3, 5, 8, 13, 21, 34, 55, 89, 144, 233, 377, 610, 987] },
  { name: 'continuous, an orbit that stops, restarted by resets', a: 2.1, b: 0.3, x0: 0, y0: 0,
    resetAt: [0.01, 0.2], seconds: 0.25, stops: true },
  { name: 'continuous, stops at the first step (x reaches 2 V exactly)', a: 0, b: 1, x0: 1, y0: 1,
    seconds: 0.01, stops: true },
  { name: 'continuous, subnormal b 1e-37 V', a: 1.4, b: 1e-37, x0: 0.1, y0: 0, seconds: 0.2 },
  { name: 'continuous, smallest subnormal b', a: 1.4, b: voltsOfBits(1), x0: 0.3, y0: 0, seconds: 0.1,
    normalize: false },
  { name: 'gated at 500 Hz, resets each 0.1 s', ...usual, gated: true, gateHz: 500,
    resetAt: [0.1, 0.2, 0.3], seconds: 0.4 },
  { name: 'gated at 3333.5 Hz, blocks of 1, pieces', ...usual, gated: true, gateHz: 3333.5,
    seconds: 0.05, block: 1, pieces: [7, 100, 1, 1, 999] },
  // The guard on the stored floats: x' = (y0 + 0.1) − x0²·a·100 from x0 = 2^-20
  // lands just at or just inside ±0.2 only when computed in double and rounded once.
  ...[
    { y0: voltsOfBits(kTenth), a: 10, firstStands: false },
    { y0: voltsOfBits(towardZero(kTenth)), a: 10, firstStands: true },
    { y0: voltsOfBits(kMinusThreeTenths), a: -10, firstStands: false },
    { y0: voltsOfBits(towardZero(kMinusThreeTenths)), a: -10, firstStands: true },
  ].map((row) => ({
    name: `guard on the stored float: y0 ${row.y0} V, a ${row.a} V, the first step ${row.firstStands ? 'stands' : 'stops'}`,
    a: row.a, b: 0, x0: kTwoToMinus20, y0: row.y0, normalize: false, seconds: 0.01,
    firstStands: row.firstStands,
  })),
  // Inputs that move: a, b, x0 or y0 given as a signal text, Reset by a clock.
  { name: 'a sine on a, odd pieces and host blocks of 64', a: 'sine:1.2:0.2:0.5', b: 0.3, x0: 0, y0: 0,
    seconds: 0.25, block: 64, pieces: [1, 2, 3, 5, 8, 13, 21, 34, 55, 89, 144, 233, 377, 610, 987] },
  { name: 'a square on b, a saw on x0, a Reset clock of 30 Hz', a: 1.4, b: 'square:0.25:0.05:20',
    x0: 'saw:0:0.5:7', y0: 0, resetHz: 30, seconds: 0.25, normalize: false },
  { name: 'a square whose first jump falls after the take, gated', a: 'square:1.2:0.2:1', b: 0.3, x0: 0,
    y0: 'triangle:0:0.3:50', gated: true, gateHz: 2000, resetHz: 9.5, seconds: 0.2 },
];

function renderOptions(take, wavPath) {
  const options = ['--quiet', '--out', wavPath, '--seconds', String(take.seconds),
    '--rate', String(take.rate ?? 44100), '--block', String(take.block ?? 1024),
    '--mode', take.gated ? 'gated' : 'continuous', '--normalize', take.normalize === false ? 'off' : 'on',
    '--a', String(take.a), '--b', String(take.b), '--x0', String(take.x0), '--y0', String(take.y0)];
  if (take.gated) options.push('--gate-hz', String(take.gateHz));
  for (const at of take.resetAt ?? []) options.push('--reset-at', String(at));
  if (take.resetHz) options.push('--reset-hz', String(take.resetHz));
  return options;
}

// x and y of a stereo 32-bit float WAV, as the bits of each sample.
function readFloatWav(path) {
  const file = readFileSync(path);
  const bytes = new DataView(file.buffer, file.byteOffset, file.byteLength);
  const tag = (at) => file.toString('latin1', at, at + 4);
  if (tag(0) !== 'RIFF' || tag(8) !== 'WAVE') throw new Error(`${path} is no WAV file`);
  let format = null;
  for (let at = 12; at + 8 <= file.length;) {
    const size = bytes.getUint32(at + 4, true);
    if (tag(at) === 'fmt ') {
      format = { code: bytes.getUint16(at + 8, true), channels: bytes.getUint16(at + 10, true),
        bits: bytes.getUint16(at + 22, true) };
    } else if (tag(at) === 'data') {
      if (!format || format.channels !== 2 || format.bits !== 32 || ![3, 0xfffe].includes(format.code)) {
        throw new Error(`${path}: not stereo 32-bit float`);
      }
      const frames = size / 8;
      const x = new Uint32Array(frames);
      const y = new Uint32Array(frames);
      for (let i = 0; i < frames; ++i) {
        x[i] = bytes.getUint32(at + 8 + 8 * i, true);
        y[i] = bytes.getUint32(at + 12 + 8 * i, true);
      }
      return { x, y };
    }
    at += 8 + size + (size & 1);
  }
  throw new Error(`${path} holds no samples`);
}

// The same take through web/engine/tessel.js, resets pulsed at the same samples.
function renderInWasm(map, take) {
  const rate = take.rate ?? 44100;
  const samples = Math.round(take.seconds * rate);
  const resets = (take.resetAt ?? []).map((at) => Math.round(at * rate));
  const instance = map.newInstance({ rate, block: take.block ?? 1024 });
  const inputs = ['a', 'b', 'x0', 'y0'];
  instance.set(Object.fromEntries(inputs.filter((name) => typeof take[name] === 'number')
    .map((name) => [name, take[name]])));
  for (const name of inputs.filter((name) => typeof take[name] === 'string')) {
    instance.setSignal(name, take[name], samples);
  }
  instance.setResetHz(take.resetHz ?? 0);
  instance.setMode(take.gated ? 'gated' : 'continuous');
  if (take.gated) instance.setGateHz(take.gateHz);
  instance.setNormalize(take.normalize !== false);

  const x = new Float32Array(samples);
  const y = new Float32Array(samples);
  const pieces = [...(take.pieces ?? [])];
  let done = 0;
  const renderUpTo = (end) => {
    while (done < end) {
      const count = Math.min(pieces.shift() ?? end - done, end - done);
      const out = instance.render(count);
      x.set(out.x, done);
      y.set(out.y, done);
      done += count;
    }
  };
  for (const at of resets) {
    renderUpTo(at);
    instance.reset();
  }
  renderUpTo(samples);
  const stoppedAt = instance.stoppedAt;
  instance.free();
  return { x: new Uint32Array(x.buffer), y: new Uint32Array(y.buffer), stoppedAt };
}

function firstDifference(wasm, native) {
  if (wasm.x.length !== native.x.length) return `${wasm.x.length} samples against ${native.x.length}`;
  for (let i = 0; i < wasm.x.length; ++i) {
    if (wasm.x[i] !== native.x[i] || wasm.y[i] !== native.y[i]) {
      const hex = (v) => v.toString(16).padStart(8, '0');
      return `sample ${i}: x ${hex(wasm.x[i])} y ${hex(wasm.y[i])} against x ${hex(native.x[i])} y ${hex(native.y[i])}`;
    }
  }
  return null;
}

// The sample from which the native take's both outputs are exactly 0, or -1.
function trailingZerosFrom(take) {
  let from = take.x.length;
  while (from > 0 && take.x[from - 1] === 0 && take.y[from - 1] === 0) --from;
  return from;
}

// Charts: tessel-render --chart-data against chartRow, row by row, every column.
const charts = [
  // Every outcome: stops, cycles, chaos, quasi near b -1 V, a rounding cycle at a 1.725 V, b -0.1 V.
  { name: 'chart of the a-b plane, the pins\' whole ranges', plane: 'ab', across: [-1, 4], up: [-1, 1],
    width: 100, height: 50, steps: 1024 },
  { name: 'chart of the chaotic band near a 1.4 V, b 0.3 V, from x0 0.2 V', plane: 'ab', across: [1, 1.5],
    up: [0.2, 0.35], width: 16, height: 6, steps: 8192, x0: 0.2 },
  { name: 'chart of the basin (x0, y0) at a 1.4 V, b 0.3 V', plane: 'xy', across: [-2, 2], up: [-2, 2],
    width: 12, height: 6, steps: 1024, a: 1.4, b: 0.3 },
];

function chartOptions(chart, csvPath) {
  const [acrossName, upName] = chart.plane === 'ab' ? ['--a-range', '--b-range'] : ['--x0-range', '--y0-range'];
  const options = ['--quiet', '--chart-data', csvPath, '--plane', chart.plane,
    acrossName, chart.across.join(':'), upName, chart.up.join(':'),
    '--size', `${chart.width}x${chart.height}`, '--steps', String(chart.steps)];
  for (const name of ['a', 'b', 'x0', 'y0']) {
    if (chart[name] !== undefined) options.push(`--${name}`, String(chart[name]));
  }
  return options;
}

// What a CSV field must read for a chartRow result, by column.
const csvText = {
  a: (point) => point.a,
  b: (point) => point.b,
  x0: (point) => point.x0,
  y0: (point) => point.y0,
  outcome: (point) => point.outcome,
  period: (point) => point.period,
  steps: (point) => point.steps,
  lyapunov: (point) => (point.outcome === 'quasi' || point.outcome === 'chaos' ? point.lyapunov.toFixed(6) : ''),
  settle: (point) => (point.settle >= 0 ? point.settle : ''),
};
const sameVolts = new Set(['a', 'b', 'x0', 'y0']);

function compareChart(map, chart, csv) {
  const [header, ...rows] = csv.trim().split('\n');
  const columns = header.split(',');
  const unknown = columns.filter((column) => !(column in csvText));
  if (unknown.length) return `unknown columns ${unknown.join(', ')}`;
  if (rows.length !== chart.width * chart.height) return `${rows.length} rows for ${chart.width}x${chart.height}`;
  for (let j = 0; j < chart.height; ++j) {
    const fixed = map.pointVolts(chart.up[0], chart.up[1], chart.height, j);
    const judged = map.chartRow({ plane: chart.plane, lo: chart.across[0], hi: chart.across[1], fixed,
      width: chart.width, steps: chart.steps, a: chart.a, b: chart.b, x0: chart.x0 ?? 0, y0: chart.y0 ?? 0 });
    for (let i = 0; i < chart.width; ++i) {
      // The CSV tells a rounding cycle by a period on a quasi or chaotic orbit.
      const point = judged[i];
      if (point.rounding !== (point.period > 0 && point.outcome !== 'cycle')) {
        return `point ${i} of row ${j}: rounding ${point.rounding} on a ${point.outcome} of period ${point.period}`;
      }
      const fields = rows[j * chart.width + i].split(',');
      for (const [k, column] of columns.entries()) {
        const want = csvText[column](judged[i]);
        const same = sameVolts.has(column) ? Number(fields[k]) === want : fields[k] === String(want);
        if (!same) return `point ${i} of row ${j}: ${column} ${want} against ${fields[k]}`;
      }
    }
  }
  return null;
}

// Points whose verdicts tessel-render must word as the page does: every
// outcome, a tone and a constant, and a rounding cycle both chaotic and quasi.
const wordedPoints = [
  { name: 'a stop', a: 2.1, b: 0.3 },
  { name: 'a constant', a: 0.2, b: 0.3 },
  { name: 'a tone of period 2', a: 0.6, b: 0.3 },
  { name: 'chaos at the usual values', a: 1.4, b: 0.3 },
  { name: 'quasi on the area-keeping row', a: 0.5, b: -1 },
  { name: 'a chaotic rounding cycle', a: 1.6583334, b: 0.085 },
  { name: 'a neutral cycle the floats fall onto', a: 1, b: -1 },
  { name: 'a tone from a start off the attractor', a: 1, b: 0.3, x0: 0.5, y0: -0.3 },
];
const wordedSteps = 8192;

// tessel-render's report on a take of `wordedSteps` samples at the point, its
// short words and its exact ones: from its start a take's orbit is the
// chart's orbit after its reset, and with Normalize off the report judges the
// outputs themselves.
function toolWords(point, wavPath) {
  const options = ['--out', wavPath, '--seconds', String(wordedSteps / 44100), '--normalize', 'off'];
  for (const name of ['a', 'b', 'x0', 'y0']) options.push(`--${name}`, String(point[name] ?? 0));
  const run = spawnSync(renderPath, options, { encoding: 'utf8' });
  if (run.status !== 0) throw new Error(`tessel-render failed: ${run.stderr}`);
  const report = run.stderr;
  const lines = report.split('\n');
  const saying = (said) => {
    const line = lines.find((text) => text.startsWith(said));
    if (line === undefined) throw new Error(`no line "${said}" in: ${report}`);
    return line.slice(said.length);
  };
  return `${saying('tessel-render: in short: ')} | ${saying('tessel-render: the orbit: ')}`;
}

const throws = (action, kind) => {
  try {
    action();
  } catch (error) {
    return error instanceof kind;
  }
  return false;
};

// What the JavaScript interface promises beyond the samples; each returns
// null when it holds, or what went wrong.
const interfaceChecks = [
  ['the page starts at tessel-render\'s defaults, its knobs spanning the tool\'s chart ranges', (map) => {
    const help = execFileSync(renderPath, ['--help'], { encoding: 'utf8' });
    const knobs = knobsOf(map);
    const start = defaultSettings(map);
    const page = [['a', start.a], ['b', start.b], ['x0', start.x0], ['y0', start.y0], ['gate-hz', start.gate],
      ['mode', start.mode], ['normalize', start.normalize ? 'on' : 'off'], ['rate', start.rate],
      ...['a', 'b', 'x0', 'y0'].map((name) => [`${name}-range`, `${knobs[name].low}:${knobs[name].high}`])];
    const toolDefault = (option) => help.match(new RegExp(`--${option} \\S*=(\\S+)`))?.[1];
    const wrong = page.filter(([option, value]) => toolDefault(option) !== String(value));
    return wrong.length ? wrong.map(([option, value]) => `--${option} is not ${value}`).join('; ') : null;
  }],
  ['voltsOf gives the shortest volts that read back to the same signal', (map) => {
    for (const volts of [1.4, 0.3, -1, 1e-37, 3.999, 2 ** -20 * 10]) {
      const signal = map.signalOf(volts);
      const back = map.voltsOf(signal);
      if (map.signalOf(back) !== signal || String(back).length > String(volts).length) return `${volts} V gave ${back}`;
    }
    return null;
  }],
  ['a Gated instance without a clock asks to sleep once a block has passed; a Continuous one never does', (map) => {
    const idle = map.newInstance({ block: 256 });
    idle.setMode('gated');
    idle.render(255);
    const before = idle.asleep;
    idle.render(1);
    const after = idle.asleep;
    idle.setGateHz(1000);  // an event: the module is awake again
    const woken = idle.asleep;
    idle.free();
    const running = map.newInstance({ block: 256 });
    running.render(4096);
    const continuous = running.asleep;
    running.free();
    return !before && after && !woken && !continuous ? null : `${before} ${after} ${woken} ${continuous}`;
  }],
  ['bad arguments are refused, and a freed instance is unusable', (map) => {
    const take = map.newInstance();
    const refused = [
      throws(() => take.set({ a: 1e40 }), RangeError),
      throws(() => take.set({ b: NaN }), RangeError),
      throws(() => take.setMode('free'), RangeError),
      throws(() => take.render(-1), RangeError),
      throws(() => map.newInstance({ rate: 999 }), RangeError),
      throws(() => map.newInstance({ block: 0 }), RangeError),
    ];
    take.free();
    refused.push(throws(() => take.render(1), Error));
    const index = refused.indexOf(false);
    return index < 0 ? null : `case ${index} was accepted`;
  }],
];

// A chart's points judged a row at a time through tessel_judge_batch and
// tessel_judge_points (several orbits in flight) against tessel_judge_point
// one at a time: the same verdict records, field for field, but for a
// cycle's lines, which the row leaves at 0.
const cycleLines = new Set(['loudest', 'fundamentalBelowDb']);
async function batchDifference(wasmBytes, chart, { size, fields }) {
  const { instance } = await WebAssembly.instantiate(wasmBytes, {});
  const exports = instance.exports;
  exports._initialize();
  const signal = (volts) => exports.tessel_signal_of(volts);
  const judge = exports.tessel_judge_new(44100);
  for (let j = 0; j < chart.height; ++j) {
    const up = signal(exports.tessel_point_volts(chart.up[0], chart.up[1], chart.height, j));
    const row = [];
    for (let i = 0; i < chart.width; ++i) {
      const across = signal(exports.tessel_point_volts(chart.across[0], chart.across[1], chart.width, i));
      row.push(chart.plane === 'ab' ? [across, up, signal(chart.x0 ?? 0), signal(chart.y0 ?? 0)]
        : [signal(chart.a), signal(chart.b), across, up]);
    }
    const room = exports.tessel_judge_batch(judge, row.length);
    new Float32Array(exports.memory.buffer, room, 4 * row.length).set(row.flat());
    const at = exports.tessel_judge_points(judge, row.length, chart.steps);
    if (at === 0) return `tessel_judge_points refused row ${j}`;
    const together = new DataView(new Uint8Array(exports.memory.buffer, at, size * row.length).slice().buffer);
    for (let i = 0; i < row.length; ++i) {
      const alone = new DataView(exports.memory.buffer, exports.tessel_judge_point(judge, ...row[i], chart.steps), size);
      for (const { name, offset, type } of fields) {
        const read = (view, at) => (type === 'float64' ? view.getFloat64(at, true) : view.getInt32(at, true));
        const want = cycleLines.has(name) ? 0 : read(alone, offset);
        const got = read(together, i * size + offset);
        if (!Object.is(got, want)) return `row ${j}, point ${i}: ${name} ${got} against ${want}`;
      }
    }
  }
  exports.tessel_judge_free(judge);
  return null;
}

const map = await loadTesselMap(readFileSync(wasmPath));
const scratch = mkdtempSync(join(tmpdir(), 'tessel-wasm-'));
let passed = 0;
let failed = 0;
const report = (ok, name, detail) => {
  if (ok) ++passed; else ++failed;
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${name}${detail ? `: ${detail}` : ''}`);
};
try {
  cases.forEach((take, index) => {
    try {
      const wavPath = join(scratch, `case-${index}.wav`);
      execFileSync(renderPath, renderOptions(take, wavPath), { stdio: ['ignore', 'ignore', 'inherit'] });
      const native = readFloatWav(wavPath);
      const wasm = renderInWasm(map, take);
      const difference = firstDifference(wasm, native);
      const stopped = wasm.stoppedAt >= 0 ? `stopped at ${wasm.stoppedAt}` : 'runs';
      const zerosFrom = trailingZerosFrom(native);
      // A stop the .wasm reports starts the native take's final run of zeros.
      const stopHolds = (wasm.stoppedAt < 0 || wasm.stoppedAt === zerosFrom) &&
        (take.stops === undefined || take.stops === wasm.stoppedAt >= 0) &&
        (take.firstStands === undefined || take.firstStands === (wasm.stoppedAt !== 0));
      report(!difference && stopHolds, take.name,
        difference ?? (stopHolds ? `${native.x.length} samples, ${stopped}` : `${stopped}, zeros from ${zerosFrom}`));
    } catch (error) {
      report(false, take.name, error.message);
    }
  });
  for (const [index, chart] of charts.entries()) {
    try {
      const csvPath = join(scratch, `chart-${index}.csv`);
      execFileSync(renderPath, chartOptions(chart, csvPath), { stdio: ['ignore', 'ignore', 'inherit'] });
      const difference = compareChart(map, chart, readFileSync(csvPath, 'utf8'));
      report(!difference, chart.name, difference ?? `${chart.width * chart.height} points`);
      const batch = await batchDifference(readFileSync(wasmPath), chart, map.facts.verdict);
      report(!batch, `${chart.name}, judged together`, batch ?? 'as one at a time, with no cycle\'s lines');
    } catch (error) {
      report(false, chart.name, error.message);
    }
  }
  wordedPoints.forEach((point, index) => {
    try {
      const tool = toolWords(point, join(scratch, `words-${index}.wav`));
      const orbit = map.analysePoint({ ...point, steps: wordedSteps });
      const page = `${map.summarizeOrbit(orbit, { rate: 44100 })} | ${map.describeOrbit(orbit, { rate: 44100 })}`;
      report(tool === page, `words for ${point.name}`, tool === page ? tool : `page: ${page}; tessel-render: ${tool}`);
    } catch (error) {
      report(false, `words for ${point.name}`, error.message);
    }
  });
  for (const take of pictureCases) {
    try {
      const difference = comparePicture(map, renderPath, take, scratch);
      report(!difference, `picture of ${take.name}`, difference);
    } catch (error) {
      report(false, `picture of ${take.name}`, error.message);
    }
  }
  for (const [name, check] of interfaceChecks) {
    try {
      const problem = check(map);
      report(problem === null, name, problem);
    } catch (error) {
      report(false, name, error.message);
    }
  }
} finally {
  rmSync(scratch, { recursive: true, force: true });
}
console.log(`wasm comparison: ${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
