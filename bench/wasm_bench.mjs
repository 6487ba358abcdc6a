// The WebAssembly module in Node against the native floor of the same run:
// the .wasm's hosted instance renders Continuous blocks of 1024 samples at the
// usual values (a process call through the record, as the native benchmark
// makes it), and between its repetitions tessel_bench measures the native
// recurrence floor. Both are CPU time per block; the row compares medians.
//
// Usage: node bench/wasm_bench.mjs TESSEL-MAP.WASM TESSEL_BENCH [REPETITIONS]
// Prints one row of scripts/bench's table; exits 1 when the ratio misses its target.
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

const [wasmPath, benchPath, repetitionText = '15'] = process.argv.slice(2);
if (!wasmPath || !benchPath) {
  console.error('usage: node bench/wasm_bench.mjs TESSEL-MAP.WASM TESSEL_BENCH [REPETITIONS]');
  process.exit(2);
}
const repetitions = Number(repetitionText);
const kBlock = 1024;
const kTarget = 1.5;
const kMeasureSeconds = 0.05;  // per repetition, as tessel_bench's --benchmark_min_time
const kWarmUpSeconds = 0.5;    // long enough for the engine's optimising tier

const { instance } = await WebAssembly.instantiate(readFileSync(wasmPath), {});
const wasm = instance.exports;
wasm._initialize();
const take = wasm.tessel_new(44100, kBlock);
wasm.tessel_set_inputs(take, wasm.tessel_signal_of(1.4), wasm.tessel_signal_of(0.3), 0, 0);
wasm.tessel_set_normalize(take, 0);

const cpuMicroseconds = () => {
  const { user, system } = process.cpuUsage();
  return user + system;
};

// CPU nanoseconds per block over at least `seconds`.
function wasmBlockTime(seconds) {
  const start = cpuMicroseconds();
  let blocks = 0;
  let elapsed = 0;
  do {
    for (let i = 0; i < 64; ++i) wasm.tessel_render(take, kBlock);
    blocks += 64;
    elapsed = cpuMicroseconds() - start;
  } while (elapsed < seconds * 1e6);
  if (wasm.tessel_stopped_at(take) >= 0) throw new Error('the measured map stopped');
  return (elapsed * 1e3) / blocks;
}

const scratch = mkdtempSync(join(tmpdir(), 'tessel-wasm-bench-'));
function floorBlockTime() {
  const out = join(scratch, 'floor.json');
  execFileSync(benchPath, ['--benchmark_filter=^floor/recurrence$', '--benchmark_repetitions=1',
    `--benchmark_min_time=${kMeasureSeconds}`, `--benchmark_out=${out}`, '--benchmark_out_format=json'],
  { stdio: 'ignore' });
  const run = JSON.parse(readFileSync(out, 'utf8')).benchmarks.find((b) => b.run_type === 'iteration');
  if (!run || run.time_unit !== 'ns') throw new Error('tessel_bench reported no floor time');
  return run.cpu_time;
}

const median = (values) => {
  const sorted = [...values].sort((p, q) => p - q);
  const middle = sorted.length >> 1;
  return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
};

try {
  wasmBlockTime(kWarmUpSeconds);
  const product = [];
  const floor = [];
  for (let i = 0; i < repetitions; ++i) {
    floor.push(floorBlockTime());
    product.push(wasmBlockTime(kMeasureSeconds));
    process.stderr.write('.');
  }
  process.stderr.write('\n');
  const ratio = median(product) / median(floor);
  const met = ratio <= kTarget;
  console.log(`| wasm in Node vs native recurrence, block 1024 | ${median(product).toFixed(0)} | ` +
    `${median(floor).toFixed(0)} | ${ratio.toFixed(3)} | ≤ ${kTarget.toFixed(2)} | ${met ? 'pass' : 'FAIL'} |`);
  process.exitCode = met ? 0 : 1;
} finally {
  wasm.tessel_free(take);
  rmSync(scratch, { recursive: true, force: true });
}
