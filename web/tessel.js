// Tessel Map in WebAssembly: the module itself (build/wasm/tessel-map.wasm,
// preset `wasm`), hosted inside the .wasm as a host holds it, wrapped for
// JavaScript. The same bits as the native module and `tessel-render`.
//
// Plain ES module without imports, fetch or DOM: it runs unchanged in Node, on
// a page's main thread, in a Web Worker and in an AudioWorkletGlobalScope.
// The caller supplies the .wasm's bytes (an ArrayBuffer or a Uint8Array).
//
//   const map = await loadTesselMap(bytes);      // or loadTesselMapSync(bytes)
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
//   analysePoint(...), chartRow(...) -> not in this build yet: they throw.
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

  analysePoint() {
    throw new Error('analysePoint: the chart analysis is not in this build of tessel-map.wasm yet');
  }

  chartRow() {
    throw new Error('chartRow: the chart analysis is not in this build of tessel-map.wasm yet');
  }
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
