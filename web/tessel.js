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
//   facts                  what the page takes from the C++ rather than copying it:
//       { voltsPerUnit, rate: { least, most, usual }, block: { least, most, usual },
//         steps: { least, most, chart }, chartSide: { least, most },
//         gateHz: { above, leastPeriod, usual }: a Gate clock the hosts accept is
//           above `above` Hz and at most the rate over `leastPeriod`; `usual` unless asked,
//         commonRates: [22050, ...] the rates hosts commonly run at, slowest first,
//         pins: [{ name, direction: 'input' | 'output' | 'setting', type: 'audio' | 'list',
//           default, range }] as the module declares them, in pin order; default and
//           range are the module's texts or null (an audio pin's range "upper,lower,upper,lower" in volts),
//         outcomes: ['stops', ...] in code order,
//         periodLimit: the longest cycle the analysis looks for (longer is quasi or chaos),
//         verdict: { size, fields: [{ name, offset, type: 'int32' | 'float64' }] } }
//   newInstance({ rate = facts.rate.usual, block = facts.block.usual }) -> MapInstance
//       one hosted instance, opened: Continuous, Normalize on, every input 0 V,
//       Gate clock 0 Hz (Gate at 0 V). `block`: the most samples per process
//       call. RangeError for a rate or a block outside the facts' limits.
//   pin(name) -> the pin of that name in facts.pins; RangeError for none
//   signalOf(volts) -> the float the module sees for a voltage: float(volts / 10)
//   voltsOf(signal) -> the shortest decimal volts whose signalOf is `signal`
//   pointVolts(lo, hi, count, i) -> point i of `count` across [lo, hi], as the chart computes it
//   analysePoint({ a, b, x0 = 0, y0 = 0, steps = facts.steps.chart, rate = facts.rate.usual })
//       -> { a, b, x0, y0, outcome, period, steps, lyapunov, settle, rounding }
//       the chart's judgement of one point, as a row of tessel-render
//       --chart-data: a hosted instance, Continuous with Normalize off, reset
//       to x0, y0, and its next `steps` outputs judged.
//       a, b, x0, y0: the volts that read back to the inputs' floats, as the
//       CSV prints them; outcome one of facts.outcomes; period: of the cycle
//       or rounding cycle, else 0; steps: stops: the iterates that stood
//       before the trip, else all; lyapunov: quasi and chaos, else 0 (the CSV
//       leaves it empty); settle: the iterate from which the cycle sounds, -1
//       where the CSV leaves it empty; rounding: the floats repeat exactly on
//       no attracting cycle of the map.
//   chartRow({ plane = 'ab', lo, hi, fixed, width, steps, rate, a, b, x0, y0 })
//       -> `width` analysePoint results (a, b, x0, y0 default to their pins' defaults): point i across at pointVolts(lo, hi,
//       width, i). Plane 'ab': a across, b = fixed, from x0, y0. Plane 'xy':
//       x0 across, y0 = fixed, at a, b. For row j of a chart of height H give
//       fixed = pointVolts(upLo, upHi, H, j): the rows of tessel-render
//       --chart-data --size {width}xH, bottom row first.
//   describeOrbit(orbit, { rate } | { clock }) -> tessel-render's words for an
//       analysePoint result, a cycle's tone at the sample rate `rate`
//       (Continuous) or at a Gate clock of `clock` Hz (Gated, one step per tick)
//   summarizeOrbit(orbit, { rate } | { clock }) -> the same orbit in the short words a
//       musician reads first, as tessel-render's report says them ("in short: ...")
//   chartColour(orbit, steps) -> [r, g, b]: the chart's colour of an orbit judged over `steps`
//   hatched(colour, column, row) -> [r, g, b]: a rounding cycle's pixel of that colour
//   inferno(t) -> [r, g, b]: the inferno colour map, t from 0 (dark) to 1 (bright)
//   signalError(text, { rate, samples }) -> why a signal text in tessel-render's
//       grammar (sine:CENTRE:DEPTH:HZ[:PHASE], ...) is refused over a take of
//       `samples` at `rate`, or null
//   signalSamples(text, { rate, samples, every, count }) -> Float32Array of
//       `count` samples (signal scale) of the signal, sample every * i for i from 0
//   describeStop(stoppedAt, { rate, moving, runsFrom = -1 }) -> tessel-render's
//       words for a take's stop; `moving`: a or b moves, so a reset restarts it
//
// MapInstance
//   set({ a, b, x0, y0 })  volts, any subset; a and b act from the next sample,
//                          x0 and y0 at the next reset (and at the first sample).
//                          RangeError for a value that is no finite 32-bit sample.
//   setMode('continuous' | 'gated')
//                          announced to the module as a setting change only when
//                          it changes, as is setNormalize
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
//   setSignal(name, text, takeSamples)
//                          patches x0, y0, a or b with a signal text in
//                          tessel-render's grammar over a take of `takeSamples`
//                          (it moves if it does within them; 0: a take without
//                          end, where it moves unless constant); null gives the pin
//                          back its set() value. The same text again sends
//                          nothing. RangeError with the tool's words for a refused text.
//   setResetHz(hz)         Reset pulsed by a clock of `hz` (as --reset-hz), 0: none
//   restarts               events that reached the module while x0, y0, a or b
//                          streamed: each restarted the map at x0, y0
//   streams(name)          whether the pin is announced Streaming
//   judgeWindows(samples)  the next `samples` rendered are judged window by
//                          window, as tessel-render's report judges a moving a or b
//   soundChanges(rate) -> [{ start, words, summary }]: each change so far, in the tool's words,
//                          exact and in short
//   runsFrom(sample)       where a map stopped before `sample` would run again
//                          after a reset, or -1
//   free()                 closes the instance; any later call throws

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

// A NUL-terminated ASCII text in the instance's memory (an audio worklet has no TextDecoder).
function textAt(exports, address) {
  const bytes = new Uint8Array(exports.memory.buffer, address);
  let text = '';
  for (let i = 0; bytes[i] !== 0; ++i) text += String.fromCharCode(bytes[i]);
  return text;
}

const rgbOf = (colour) => [(colour >>> 16) & 255, (colour >>> 8) & 255, colour & 255];
const packed = ([r, g, b]) => ((r << 16) | (g << 8) | b) >>> 0;

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
    const facts = JSON.parse(textAt(this.#exports, this.#exports.tessel_facts()));
    facts.pins = [];
    for (let at; (at = this.#exports.tessel_pin(facts.pins.length)) !== 0;) {
      facts.pins.push(Object.freeze(JSON.parse(textAt(this.#exports, at))));
    }
    Object.freeze(facts.pins);
    this.facts = Object.freeze(facts);
  }

  pin(name) {
    const pin = this.facts.pins.find((declared) => declared.name === name);
    if (pin === undefined) throw new RangeError(`'${name}' is no pin the module declares`);
    return pin;
  }

  // The volts an input takes unless set: its declared default text.
  #pinDefault(name) {
    return Number(this.pin(name).default);
  }

  newInstance({ rate = this.facts.rate.usual, block = this.facts.block.usual } = {}) {
    wholeNumber('rate', rate, this.facts.rate.least, this.facts.rate.most);
    wholeNumber('block', block, this.facts.block.least, this.facts.block.most);
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

  // Writes a signal text where the .wasm reads it.
  writeText(text) {
    const exports = this.#exports;
    const size = exports.tessel_signal_text_size();
    const value = String(text);
    if (value.length >= size || /[^\x20-\x7e]/.test(value)) throw new RangeError(`'${value}' is no signal text`);
    const bytes = new Uint8Array(exports.memory.buffer, exports.tessel_signal_text(), size);
    for (let i = 0; i < value.length; ++i) bytes[i] = value.charCodeAt(i);
    bytes[value.length] = 0;
  }

  // A text the .wasm wrote, or null.
  textOrNull(address) {
    return address === 0 ? null : textAt(this.#exports, address);
  }

  signalError(text, { rate = this.facts.rate.usual, samples }) {
    this.writeText(text);
    return this.textOrNull(this.#exports.tessel_signal_error(rate, samples));
  }

  signalSamples(text, { rate = this.facts.rate.usual, samples, every = 1, count }) {
    this.writeText(text);
    const at = this.#exports.tessel_signal_samples(rate, samples, every, count);
    if (at === 0) throw new RangeError(this.signalError(text, { rate, samples }) || `count: ${count}`);
    return new Float32Array(this.#exports.memory.buffer, at, count).slice();
  }

  describeStop(stoppedAt, { rate, moving, runsFrom = -1 }) {
    return textAt(this.#exports, this.#exports.tessel_describe_stop(stoppedAt, rate, moving ? 1 : 0, runsFrom));
  }

  pointVolts(lo, hi, count, i) {
    return this.#exports.tessel_point_volts(lo, hi, count, i);
  }

  analysePoint({ a, b, x0 = 0, y0 = 0, steps = this.facts.steps.chart, rate = this.facts.rate.usual }) {
    wholeNumber('steps', steps, this.facts.steps.least, this.facts.steps.most);
    wholeNumber('rate', rate, this.facts.rate.least, this.facts.rate.most);
    const inputs = [this.#signal('a', a), this.#signal('b', b), this.#signal('x0', x0), this.#signal('y0', y0)];
    const at = this.#exports.tessel_judge_point(this.#judge(rate), ...inputs, steps);
    const record = new DataView(this.#exports.memory.buffer, at, this.facts.verdict.size);
    const verdict = {};
    for (const { name, offset, type } of this.facts.verdict.fields) {
      verdict[name] = type === 'float64' ? record.getFloat64(offset, true) : record.getInt32(offset, true);
    }
    return {
      a: this.voltsOf(inputs[0]),
      b: this.voltsOf(inputs[1]),
      x0: this.voltsOf(inputs[2]),
      y0: this.voltsOf(inputs[3]),
      outcome: this.facts.outcomes[verdict.outcome],
      period: verdict.period,
      steps: verdict.steps,
      lyapunov: verdict.lyapunov,
      settle: verdict.settle,
      rounding: verdict.rounding !== 0,
    };
  }

  describeOrbit(orbit, stepping) {
    return this.#words(this.#exports.tessel_describe, orbit, stepping);
  }

  summarizeOrbit(orbit, stepping) {
    return this.#words(this.#exports.tessel_summarize, orbit, stepping);
  }

  #words(wordsOf, orbit, { rate, clock }) {
    const gated = clock !== undefined;
    const at = wordsOf(this.#outcomeCode(orbit), orbit.period ?? 0, orbit.steps ?? 0, orbit.settle ?? -1,
      orbit.lyapunov ?? 0, orbit.rounding ? 1 : 0, gated ? clock : rate, gated ? 1 : 0);
    return textAt(this.#exports, at);
  }

  chartColour(orbit, steps) {
    return rgbOf(this.#exports.tessel_chart_colour(this.#outcomeCode(orbit), orbit.period ?? 0, orbit.steps ?? 0,
      orbit.lyapunov ?? 0, steps));
  }

  hatched(colour, column, row) {
    return rgbOf(this.#exports.tessel_hatched(packed(colour), column, row));
  }

  inferno(t) {
    return rgbOf(this.#exports.tessel_inferno(t));
  }

  #outcomeCode(orbit) {
    const code = this.facts.outcomes.indexOf(orbit.outcome);
    if (code < 0) throw new RangeError(`outcome: '${orbit.outcome}' is none of ${this.facts.outcomes.join(', ')}`);
    return code;
  }

  chartRow({ plane = 'ab', lo, hi, fixed, width, steps = this.facts.steps.chart, rate = this.facts.rate.usual,
    a = this.#pinDefault('a'), b = this.#pinDefault('b'), x0 = this.#pinDefault('x0'),
    y0 = this.#pinDefault('y0') }) {
    if (plane !== 'ab' && plane !== 'xy') throw new RangeError(`plane: '${plane}' is neither 'ab' nor 'xy'`);
    wholeNumber('width', width, this.facts.chartSide.least, this.facts.chartSide.most);
    const row = [];
    for (let i = 0; i < width; ++i) {
      const across = this.pointVolts(lo, hi, width, i);
      row.push(plane === 'ab'
        ? this.analysePoint({ a: across, b: fixed, x0, y0, steps, rate })
        : this.analysePoint({ a, b, x0: across, y0: fixed, steps, rate }));
    }
    return row;
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

  #pinIndex(name) {
    if (!['x0', 'y0', 'a', 'b'].includes(name)) throw new RangeError(`'${name}' is none of x0, y0, a, b`);
    return this.#map.facts.pins.indexOf(this.#map.pin(name));
  }

  setSignal(name, text, takeSamples) {
    const handle = this.#live();
    const pin = this.#pinIndex(name);
    this.#map.writeText(text ?? '');
    const error = this.#map.textOrNull(this.#exports.tessel_set_signal(handle, pin, takeSamples));
    if (error !== null) throw new RangeError(`${name}: ${error}`);
  }

  setResetHz(hz) {
    this.#exports.tessel_set_reset_hz(this.#live(), Number(hz) || 0);
  }

  get restarts() {
    return this.#exports.tessel_restarts(this.#live());
  }

  streams(name) {
    return this.#exports.tessel_streams(this.#live(), this.#pinIndex(name)) !== 0;
  }

  judgeWindows(samples) {
    this.#exports.tessel_judge_windows(this.#live(), samples);
  }

  soundChanges(rate) {
    const handle = this.#live();
    const changes = [];
    for (let i = 0; i < this.#exports.tessel_sound_changes(handle); ++i) {
      changes.push({ start: this.#exports.tessel_sound_change_start(handle, i),
        words: textAt(this.#exports, this.#exports.tessel_sound_change_words(handle, i, rate, 0)),
        summary: textAt(this.#exports, this.#exports.tessel_sound_change_words(handle, i, rate, 1)) });
    }
    return changes;
  }

  runsFrom(sample) {
    return this.#exports.tessel_runs_from(this.#live(), sample);
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
