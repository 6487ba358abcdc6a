// Tessel Map in WebAssembly: the module itself (build/wasm/tessel-map.wasm,
// preset `wasm`), hosted inside the .wasm as a host holds it, wrapped for
// JavaScript. The same bits as the native module and `tessel-render`.
//
// Plain ES module without imports, fetch or DOM: it runs unchanged in Node, on
// a page's main thread, in a Web Worker and in an AudioWorkletGlobalScope.
// The caller supplies the .wasm's bytes (an ArrayBuffer or a Uint8Array).
//
//   const map = await loadTesselMap(bytes);      // or loadTesselMapSync(bytes) in a
//                                                // worker or worklet (browsers refuse a
//                                                // synchronous compile this large on a page)
//   const take = map.newInstance({ rate: 44100 });
//   take.set({ a: 1.4, b: 0.3 });                 // volts, as on the pins
//   const { x, y } = take.render(44100);          // Float32Arrays, x and y outputs
//   take.free();
//
// TesselMap
//   newInstance({ rate = 44100, block = 1024 }) -> MapInstance
//       one hosted instance, opened: Continuous, Normalize on, every input 0 V,
//       Gate clock 0 Hz (Gate at 0 V). `block`: the most samples per process
//       call. RangeError for a rate outside 1000..768000 Hz or a block outside
//       1..65536.
//   signalOf(volts) -> the float the module sees for a voltage: float(volts / 10)
//   voltsOf(signal) -> the shortest decimal volts whose signalOf is `signal`
//   analysePoint({ a, b, x0 = 0, y0 = 0, steps = 8192, rate = 44100 })
//       -> { a, b, x0, y0, outcome, period, steps, lyapunov, settle, rounding }
//       the chart's judgement of one point, as a row of tessel-render
//       --chart-data: a hosted instance, Continuous with Normalize off, reset
//       to x0, y0, and its next `steps` outputs (256 to 1000000) judged.
//       a, b, x0, y0: the volts that read back to the inputs' floats, as the
//       CSV prints them; outcome 'stops' | 'cycle' | 'quasi' | 'chaos';
//       period: of the cycle or rounding cycle, else 0; steps: stops: the
//       iterates that stood before the trip, else all; lyapunov: quasi and
//       chaos, else 0 (the CSV leaves it empty); settle: the iterate from
//       which the cycle sounds, -1 where the CSV leaves it empty; rounding:
//       the floats repeat exactly on no attracting cycle of the map.
//   chartRow({ plane = 'ab', lo, hi, fixed, width, steps, rate, a = 1.4, b = 0.3, x0 = 0, y0 = 0 })
//       -> `width` analysePoint results: point i across at pointVolts(lo, hi,
//       width, i). Plane 'ab': a across, b = fixed, from x0, y0. Plane 'xy':
//       x0 across, y0 = fixed, at a, b. For row j of a chart of height H give
//       fixed = pointVolts(upLo, upHi, H, j): the rows of tessel-render
//       --chart-data --size {width}xH, bottom row first.
//
// pointVolts(lo, hi, count, i) -> lo + (i + 0.5)(hi − lo)/count, as the chart computes it
//
// MapInstance
//   set({ a, b, x0, y0 })  volts, any subset; a and b act from the next sample,
//                          x0 and y0 at the next reset (and at the first sample).
//                          RangeError for a value that is no finite 32-bit sample.
//   setMode('continuous' | 'gated')
//   setGateHz(hz)          Gated: Gate is a 0/5 V square wave of `hz` rising at
//                          sample 0 of the take (the instance's first sample),
//                          like tessel-render --gate-hz; 0 holds Gate at 0 V.
//   setNormalize(on)
//   reset()                a one-sample 5 V Reset pulse at the next sample rendered
//   render(n) -> { x, y }  the next n samples as fresh Float32Arrays, computed
//                          in process calls of at most `block` samples
//   renderInto(x, y)       the same into two Float32Arrays of one length, the
//                          next x.length samples (no allocation: for an audio thread)
//   stoppedAt              the sample where the guard stopped the map (both
//                          outputs exactly 0 since, kept through a later map
//                          step), or -1
//   asleep                 whether the module asked to sleep since the host last
//                          sent it an event (a setting change, Reset's first use)
//   samples                samples rendered so far
//   free()                 closes the instance; any later call throws

const kDefaultRate = 44100;
const kDefaultBlock = 1024;
const kDefaultSteps = 8192;
const kLeastSteps = 256;
const kMostSteps = 1000000;
const kOutcomes = ['stops', 'cycle', 'quasi', 'chaos'];

function bytesOf(bytes) {
  if (bytes instanceof ArrayBuffer || ArrayBuffer.isView(bytes)) return bytes;
  throw new TypeError('tessel-map.wasm: give its bytes as an ArrayBuffer or a Uint8Array');
}

export async function loadTesselMap(bytes) {
  const { instance } = await WebAssembly.instantiate(bytesOf(bytes), {});
  return new TesselMap(instance);
}

export function loadTesselMapSync(bytes) {
  const module = new WebAssembly.Module(bytesOf(bytes));
  return new TesselMap(new WebAssembly.Instance(module, {}));
}

function wholeNumber(name, value, low, high) {
  if (!Number.isInteger(value) || value < low || value > high) {
    throw new RangeError(`${name}: ${value} is not a whole number from ${low} to ${high}`);
  }
  return value;
}

export class TesselMap {
  #exports;
  #judges = new Map();  // rate -> judge handle

  constructor(instance) {
    this.#exports = instance.exports;
    this.#exports._initialize();
  }

  newInstance({ rate = kDefaultRate, block = kDefaultBlock } = {}) {
    wholeNumber('rate', rate, 1000, 768000);
    wholeNumber('block', block, 1, 65536);
    const handle = this.#exports.tessel_new(rate, block);
    if (handle === 0) throw new Error('tessel-map.wasm made no instance (out of memory?)');
    return new MapInstance(this.#exports, handle, this);
  }

  signalOf(volts) {
    return this.#exports.tessel_signal_of(volts);
  }

  voltsOf(signal) {
    const value = Math.fround(signal);
    if (!Number.isFinite(value)) return value;
    for (let digits = 1; digits < 17; ++digits) {
      const volts = Number((value * 10).toPrecision(digits));
      if (this.signalOf(volts) === value) return volts;
    }
    return value * 10;
  }

  // One judge per rate, made on first use and kept: a hosted instance.
  #judge(rate) {
    let judge = this.#judges.get(rate);
    if (judge === undefined) {
      judge = this.#exports.tessel_judge_new(rate);
      if (judge === 0) throw new Error('tessel-map.wasm made no instance (out of memory?)');
      this.#judges.set(rate, judge);
    }
    return judge;
  }

  #signal(name, volts) {
    const signal = this.signalOf(Number(volts));
    if (!Number.isFinite(signal)) throw new RangeError(`${name}: ${volts} V is no finite 32-bit sample`);
    return signal;
  }

  analysePoint({ a, b, x0 = 0, y0 = 0, steps = kDefaultSteps, rate = kDefaultRate }) {
    wholeNumber('steps', steps, kLeastSteps, kMostSteps);
    wholeNumber('rate', rate, 1000, 768000);
    const inputs = [this.#signal('a', a), this.#signal('b', b), this.#signal('x0', x0), this.#signal('y0', y0)];
    const at = this.#exports.tessel_judge_point(this.#judge(rate), ...inputs, steps);
    // PointVerdict (wasm/point_judge.h): outcome, period, steps, settle, lyapunov, rounding.
    const verdict = new DataView(this.#exports.memory.buffer, at, 40);
    return {
      a: this.voltsOf(inputs[0]),
      b: this.voltsOf(inputs[1]),
      x0: this.voltsOf(inputs[2]),
      y0: this.voltsOf(inputs[3]),
      outcome: kOutcomes[verdict.getInt32(0, true)],
      period: verdict.getInt32(4, true),
      steps: verdict.getFloat64(8, true),
      lyapunov: verdict.getFloat64(24, true),
      settle: verdict.getFloat64(16, true),
      rounding: verdict.getInt32(32, true) !== 0,
    };
  }

  chartRow({ plane = 'ab', lo, hi, fixed, width, steps = kDefaultSteps, rate = kDefaultRate,
    a = 1.4, b = 0.3, x0 = 0, y0 = 0 }) {
    if (plane !== 'ab' && plane !== 'xy') throw new RangeError(`plane: '${plane}' is neither 'ab' nor 'xy'`);
    wholeNumber('width', width, 1, 4096);
    const row = [];
    for (let i = 0; i < width; ++i) {
      const across = pointVolts(lo, hi, width, i);
      row.push(plane === 'ab'
        ? this.analysePoint({ a: across, b: fixed, x0, y0, steps, rate })
        : this.analysePoint({ a, b, x0: across, y0: fixed, steps, rate }));
    }
    return row;
  }
}

// Point i of `count` across [lo, hi], in volts, at the middle of its cell:
// the same double arithmetic as tessel-render's chart.
export function pointVolts(lo, hi, count, i) {
  return lo + ((i + 0.5) * (hi - lo)) / count;
}

export class MapInstance {
  #exports;
  #handle;
  #map;
  #inputs = { a: 0, b: 0, x0: 0, y0: 0 };  // signal scale
  #block;
  #samples = 0;

  constructor(exports, handle, map) {
    this.#exports = exports;
    this.#handle = handle;
    this.#map = map;
    this.#block = exports.tessel_block_size(handle);
  }

  #live() {
    if (this.#handle === 0) throw new Error('this Tessel Map instance has been freed');
    return this.#handle;
  }

  set(values) {
    const handle = this.#live();
    const next = { ...this.#inputs };
    for (const name of ['a', 'b', 'x0', 'y0']) {
      if (values[name] === undefined) continue;
      const signal = this.#map.signalOf(Number(values[name]));
      if (!Number.isFinite(signal)) {
        throw new RangeError(`${name}: ${values[name]} V is no finite 32-bit sample`);
      }
      next[name] = signal;
    }
    this.#inputs = next;
    this.#exports.tessel_set_inputs(handle, next.a, next.b, next.x0, next.y0);
  }

  setMode(mode) {
    if (mode !== 'continuous' && mode !== 'gated') {
      throw new RangeError(`mode: '${mode}' is neither 'continuous' nor 'gated'`);
    }
    this.#exports.tessel_set_mode(this.#live(), mode === 'gated' ? 1 : 0);
  }

  setGateHz(hz) {
    this.#exports.tessel_set_gate_hz(this.#live(), Number(hz));
  }

  setNormalize(on) {
    this.#exports.tessel_set_normalize(this.#live(), on ? 1 : 0);
  }

  reset() {
    this.#exports.tessel_reset(this.#live());
  }

  render(n) {
    wholeNumber('render', n, 0, 2 ** 31 - 1);
    const x = new Float32Array(n);
    const y = new Float32Array(n);
    this.renderInto(x, y);
    return { x, y };
  }

  renderInto(x, y) {
    const handle = this.#live();
    if (!(x instanceof Float32Array) || !(y instanceof Float32Array) || x.length !== y.length) {
      throw new TypeError('renderInto: give two Float32Arrays of the same length');
    }
    const exports = this.#exports;
    const xAt = exports.tessel_x(handle);
    const yAt = exports.tessel_y(handle);
    for (let done = 0; done < x.length;) {
      const count = exports.tessel_render(handle, Math.min(this.#block, x.length - done));
      // The memory may have grown and moved since the last block: a fresh view each time.
      const memory = exports.memory.buffer;
      x.set(new Float32Array(memory, xAt, count), done);
      y.set(new Float32Array(memory, yAt, count), done);
      done += count;
    }
    this.#samples += x.length;
  }

  get stoppedAt() {
    return this.#exports.tessel_stopped_at(this.#live());
  }

  get asleep() {
    return this.#exports.tessel_asleep(this.#live()) !== 0;
  }

  get samples() {
    return this.#samples;
  }

  free() {
    if (this.#handle === 0) return;
    this.#exports.tessel_free(this.#handle);
    this.#handle = 0;
  }
}
