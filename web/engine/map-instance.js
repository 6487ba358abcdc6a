// One instance of the module hosted inside the .wasm, as a host holds it: its
// inputs, settings and signals set, its samples rendered block by block.

/** @typedef {import("./tessel.js").TesselMap} TesselMap */
/** @typedef {import("./calls").WasmExports} WasmExports */
/** @typedef {"a" | "b" | "x0" | "y0"} InputName */

import { textAt, textOrNull, wholeNumber, writeSignalText } from "./wasm-memory.js";

const INPUTS = /** @type {InputName[]} */ (["a", "b", "x0", "y0"]);

export class MapInstance {
  /** @type {WasmExports} */
  #exports;
  #handle;
  #map;
  /** @type {Record<InputName, number>} signal scale */
  #inputs = { a: 0, b: 0, x0: 0, y0: 0 };
  #block;
  #samples = 0;
  /** The output x's pin: the input pins come before it, y after it. */
  #xPin;
  /** The samples of the last process call. */
  #lastCount = 0;
  /** The instance's memory as floats, for copying what each pin was fed. */
  #heap = new Float32Array(0);

  /** @param {WasmExports} exports @param {number} handle @param {TesselMap} map */
  constructor(exports, handle, map) {
    this.#exports = exports;
    this.#handle = handle;
    this.#map = map;
    this.#block = exports.tessel_block_size(handle);
    this.#xPin = map.facts.pins.indexOf(map.pin("x"));
  }

  #live() {
    if (this.#handle === 0) throw new Error("this Tessel Map instance has been freed");
    return this.#handle;
  }

  /**
   * Volts, any subset; a and b act from the next sample, x0 and y0 at the next reset (and at the first
   * sample). RangeError for a value that is no finite 32-bit sample.
   * @param {Partial<Record<InputName, number | string>>} values
   */
  set(values) {
    const handle = this.#live();
    const next = { ...this.#inputs };
    for (const name of INPUTS) {
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

  /**
   * Announced to the module as a setting change only when it changes, as is setNormalize.
   * @param {string} mode "continuous" or "gated"
   */
  setMode(mode) {
    if (mode !== "continuous" && mode !== "gated") {
      throw new RangeError(`mode: '${mode}' is neither 'continuous' nor 'gated'`);
    }
    this.#exports.tessel_set_mode(this.#live(), mode === "gated" ? 1 : 0);
  }

  /**
   * Gate as a 0/5 V square wave of `hz` rising at the instance's first sample, like tessel-render
   * --gate-hz; 0 holds Gate at 0 V.
   * @param {number} hz
   */
  setGateHz(hz) {
    this.#exports.tessel_set_gate_hz(this.#live(), Number(hz));
  }

  /** @param {boolean} on */
  setNormalize(on) {
    this.#exports.tessel_set_normalize(this.#live(), on ? 1 : 0);
  }

  /** A one-sample 5 V Reset pulse at the next sample rendered. */
  reset() {
    this.#exports.tessel_reset(this.#live());
  }

  /**
   * The next n samples as fresh Float32Arrays, computed in process calls of at most `block` samples.
   * @param {number} n
   */
  render(n) {
    wholeNumber("render", n, 0, 2 ** 31 - 1);
    const x = new Float32Array(n);
    const y = new Float32Array(n);
    this.renderInto(x, y);
    return { x, y };
  }

  /**
   * Renders the next `n` samples without keeping them, for what the instance judges along them.
   * @param {number} n
   */
  pass(n) {
    const block = new Float32Array(Math.min(n, 1 << 16));
    for (let done = 0; done < n; done += block.length) {
      const part = block.subarray(0, Math.min(block.length, n - done));
      this.renderInto(part, part);
    }
  }

  /**
   * The next x.length samples into two Float32Arrays of one length, allocating nothing: for an audio thread.
   * With `fed`, each pin's samples also go to fed.planes[pin] from fed.at on: what each input pin was fed,
   * as the module read it, and the outputs x and y.
   * @param {Float32Array} x @param {Float32Array} y @param {{planes: Float32Array[], at: number} | null} fed
   */
  renderInto(x, y, fed = null) {
    const handle = this.#live();
    if (!(x instanceof Float32Array) || !(y instanceof Float32Array) || x.length !== y.length) {
      throw new TypeError("renderInto: give two Float32Arrays of the same length");
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
      if (fed) this.#copyFed(fed, done, count);
      this.#lastCount = count;
      done += count;
    }
    this.#samples += x.length;
  }

  // Element by element from one view of the memory, made again only when the memory has grown: on the audio
  // thread nothing is allocated per block.
  /** @param {{planes: Float32Array[], at: number}} fed @param {number} done @param {number} count */
  #copyFed(fed, done, count) {
    const exports = this.#exports;
    const handle = this.#handle;
    if (this.#heap.buffer !== exports.memory.buffer) this.#heap = new Float32Array(exports.memory.buffer);
    const heap = this.#heap;
    for (let pin = 0; pin < fed.planes.length; ++pin) {
      const from = (pin < this.#xPin ? exports.tessel_input_samples(handle, pin) :
        pin === this.#xPin ? exports.tessel_x(handle) : exports.tessel_y(handle)) / Float32Array.BYTES_PER_ELEMENT;
      const plane = fed.planes[pin];
      for (let i = 0, to = fed.at + done; i < count; ++i) plane[to + i] = heap[from + i];
    }
  }

  /**
   * The last sample input `pin` was fed, as the module read it; 0 before any.
   * @param {number} pin
   */
  lastFed(pin) {
    if (this.#lastCount === 0) return 0;
    const at = this.#exports.tessel_input_samples(this.#live(), pin) + 4 * (this.#lastCount - 1);
    return new Float32Array(this.#exports.memory.buffer, at, 1)[0];
  }

  /** Reset's pin, counted as facts.pins counts. */
  get resetPin() {
    return this.#map.facts.pins.indexOf(this.#map.pin("Reset"));
  }

  /** Events the module has heard: pin statuses and setting changes. */
  get eventsSent() {
    return this.#exports.tessel_events_sent(this.#live());
  }

  /** @param {string} name */
  #pinIndex(name) {
    if (!INPUTS.includes(/** @type {InputName} */ (name))) throw new RangeError(`'${name}' is none of x0, y0, a, b`);
    return this.#map.facts.pins.indexOf(this.#map.pin(name));
  }

  /**
   * Patches x0, y0, a or b with a signal text in tessel-render's grammar over a take of `takeSamples` (it
   * moves if it does within them; 0: a take without end, where it moves unless constant); null gives the
   * pin back its set() value. The same text again sends nothing. RangeError with the tool's words for a
   * refused text.
   * @param {string} name @param {string | null} text @param {number} takeSamples
   */
  setSignal(name, text, takeSamples) {
    const handle = this.#live();
    const pin = this.#pinIndex(name);
    writeSignalText(this.#exports, text ?? "");
    const error = textOrNull(this.#exports, this.#exports.tessel_set_signal(handle, pin, takeSamples));
    if (error !== null) throw new RangeError(`${name}: ${error}`);
  }

  /** Reset pulsed by a clock of `hz` (as --reset-hz), 0: none. @param {number} hz */
  setResetHz(hz) {
    this.#exports.tessel_set_reset_hz(this.#live(), Number(hz) || 0);
  }

  /**
   * Patches the instance as the settings say: the knobs, Mode, the Gate clock, Normalize, each input's signal
   * over a take of `takeSamples` (0: without end) and the Reset clock.
   * @param {import("./messages").WorkletSettings} settings @param {number} takeSamples
   */
  apply(settings, takeSamples) {
    this.set({ a: settings.a, b: settings.b, x0: settings.x0, y0: settings.y0 });
    this.setMode(settings.mode);
    this.setGateHz(settings.gateHz);
    this.setNormalize(settings.normalize);
    for (const [name, text] of Object.entries(settings.signals || {})) this.setSignal(name, text, takeSamples);
    this.setResetHz(settings.resetHz || 0);
  }

  /**
   * Events that reached the module while x0, y0, a or b streamed: each restarted the map at x0, y0.
   * @returns {number}
   */
  get restarts() {
    return this.#exports.tessel_restarts(this.#live());
  }

  /** Whether the pin is announced Streaming. @param {string} name */
  streams(name) {
    return this.#exports.tessel_streams(this.#live(), this.#pinIndex(name)) !== 0;
  }

  /**
   * The next `samples` rendered are judged window by window, as tessel-render's report judges a moving a or b.
   * @param {number} samples
   */
  judgeWindows(samples) {
    this.#exports.tessel_judge_windows(this.#live(), samples);
  }

  /**
   * The sound along the take judged so far in tessel-render's words, in short and exactly: each change up to
   * where the map stopped itself, then the stop, the Reset clock's restarts named.
   * @param {number} rate @returns {{short: string, exact: string}}
   */
  pathWords(rate) {
    const handle = this.#live();
    /** @param {number} inShort */
    const said = (inShort) => textAt(this.#exports, this.#exports.tessel_path_words(handle, rate, inShort));
    return { short: said(1), exact: said(0) };
  }

  /**
   * The sample where the guard stopped the map (both outputs exactly 0 since, kept through a later map
   * step), or -1.
   * @returns {number}
   */
  get stoppedAt() {
    return this.#exports.tessel_stopped_at(this.#live());
  }

  /** Whether the module asked to sleep since the host last sent it an event. */
  get asleep() {
    return this.#exports.tessel_asleep(this.#live()) !== 0;
  }

  /** Samples rendered so far. */
  get samples() {
    return this.#samples;
  }

  /** Closes the instance; any later call throws. */
  free() {
    if (this.#handle === 0) return;
    this.#exports.tessel_free(this.#handle);
    this.#handle = 0;
  }
}
