// The audio worklet: the module itself, hosted in WebAssembly on the audio
// thread, x to the left channel and y to the right, at the context's rate.
// The page loads it from a data: URL (Chromium loads no blob: worklet into a
// file:// page) holding the engine's bundle (which defines `TesselEngine`) and
// then this file's.
//
// processorOptions: {wasm: ArrayBuffer, settings, resetFrames: [frame, ...]}, where settings are
// {a, b, x0, y0 (volts), mode: "continuous" | "gated", gateHz (the Gate clock the module gets, 0: none),
// normalize (bool), signals: {a, b,
// x0, y0: null | a signal text in tessel-render's grammar}, resetHz (0: none)} and each reset frame,
// counted from the first frame this node renders, gets a Reset pulse. A signal's samples are the
// .wasm's, from the node's first frame.
// Port messages: {settings} replaces the settings from the next frame rendered; {reset: true} resets there.
// It tells the page, once each time, when the map has stopped itself, {stopped: {at, lastReset}} (frames
// counted from the first; lastReset -1 when none came before), and when a reset has set it running again,
// {running: true}.
// It posts {frame, restarts} now and then: the frames rendered, and how many setting changes have
// restarted the map at x0, y0 because an input streamed.
// Recording: {record: {buffers, frames}} lends empty chunks of `frames` frames and asks for a recording,
// which starts with a Reset pressed at the next quantum, told as {recordStarted: {resetWasHigh}} (whether
// Reset was high just before, when the press cannot rise); each full chunk comes back as
// {recorded: {buffer, frames, chunkFrames, ended: null}} (recorder.js) and {spare: buffer} lends it again.
// {recordEnd: true} ends the recording, the last chunk's `ended` "stop"; a setting change that sends the
// module an event ends it too, `ended` "event", as tessel-render announces the inputs only at its start.

import { Recorder } from "./recorder.js";

/** @typedef {import("./messages").WorkletSettings} WorkletSettings */

// A take without end: a signal moves if it is no constant.
const ENDLESS_TAKE = 0;
// Quanta between two posts of the frame: about 12 a second.
const QUANTA_PER_POST = 30;

class TesselMapProcessor extends AudioWorkletProcessor {
  /** @param {{processorOptions: {wasm: ArrayBuffer, settings: WorkletSettings, resetFrames?: number[]}}} options */
  constructor(options) {
    super();
    const { wasm, settings, resetFrames = [] } = options.processorOptions;
    this.instance = TesselEngine.loadTesselMapSync(wasm).newInstance({ rate: sampleRate });
    this.apply(settings);
    this.restartsBefore = this.instance.restarts;  // those of the settings it starts with
    this.restarts = this.restartsBefore;
    this.resetFrames = [...resetFrames].sort((p, q) => p - q);
    this.frame = 0;
    this.quanta = 0;
    this.resetNow = false;
    this.lastReset = -1;
    this.toldStop = -1;  // the stop last told to the page, -1 while the map runs
    /** @type {{buffers: ArrayBuffer[], frames: number} | null} a recording asked for, from the next quantum */
    this.recordAsked = null;
    /** @type {Recorder | null} */
    this.recorder = null;
    this.eventsRecorded = 0;  // the events the module had heard when the recording started
    this.port.onmessage = (event) => this.hear(event.data);
  }

  /** @param {any} message */
  hear(message) {
    if (message.settings) this.apply(message.settings);
    if (message.reset) this.resetNow = true;
    if (message.record) this.recordAsked = message.record;
    if (message.spare && this.recorder) this.recorder.lend(message.spare);
    if (message.recordEnd) this.endRecording("stop");
    else if (this.recorder && this.instance.eventsSent !== this.eventsRecorded) this.endRecording("event");
  }

  // The recording starts with a Reset, so that tessel-render, starting from a reset, replays it.
  startRecording() {
    const { buffers, frames } = /** @type {{buffers: ArrayBuffer[], frames: number}} */ (this.recordAsked);
    this.recordAsked = null;
    const resetWasHigh = this.instance.lastFed(this.instance.resetPin) > 0;
    this.reset();
    this.resetNow = false;
    this.eventsRecorded = this.instance.eventsSent;
    this.recorder = new Recorder(this.port, buffers, frames);
    this.port.postMessage({ recordStarted: { resetWasHigh } });
  }

  /** @param {string} ended */
  endRecording(ended) {
    if (!this.recorder) return;
    this.recorder.send(ended);
    this.recorder = null;
  }

  /** @param {WorkletSettings} settings */
  apply(settings) {
    this.instance.apply(settings, ENDLESS_TAKE);
  }

  /**
   * Renders the quantum in pieces that end where a scheduled reset falls.
   * @param {Float32Array[][]} inputs @param {Float32Array[][]} outputs
   */
  process(inputs, outputs) {
    const [left, right] = outputs[0];
    if (this.recordAsked) this.startRecording();
    if (this.resetNow) {
      this.reset();
      this.resetNow = false;
    }
    for (let done = 0; done < left.length;) {
      while (this.resetFrames.length > 0 && this.resetFrames[0] <= this.frame) {
        this.resetFrames.shift();
        this.reset();
      }
      const untilReset = this.resetFrames.length > 0 ? this.resetFrames[0] - this.frame : Infinity;
      const recorder = this.recorder;
      const count = Math.min(left.length - done, untilReset, recorder ? recorder.room : Infinity);
      this.instance.renderInto(left.subarray(done, done + count), right.subarray(done, done + count),
        recorder && recorder.fed);
      if (recorder) recorder.wrote(count);
      done += count;
      this.frame += count;
    }
    this.tellStop();
    if (++this.quanta % QUANTA_PER_POST === 0 || this.instance.restarts !== this.restarts) {
      this.restarts = this.instance.restarts;
      this.port.postMessage({ frame: this.frame, restarts: this.restarts - this.restartsBefore });
    }
    return true;
  }

  reset() {
    this.instance.reset();
    this.lastReset = this.frame;
  }

  // A message only when the stop changes, so the audio thread allocates nothing while the map runs or rests.
  tellStop() {
    const stoppedAt = this.instance.stoppedAt;
    if (stoppedAt === this.toldStop) return;
    this.toldStop = stoppedAt;
    if (stoppedAt < 0) this.port.postMessage({ running: true });
    else this.port.postMessage({ stopped: { at: stoppedAt, lastReset: this.lastReset } });
  }
}

registerProcessor("tessel-map", TesselMapProcessor);
