// Play and Stop: the module through an audio worklet at the chosen rate, x
// left and y right, through a volume control; and the same path rendered
// offline, for exact samples.

// How fast the volume follows its control: well within 100 ms, without clicks.
const VOLUME_TIME_CONSTANT = 0.01;

/** @typedef {import("../engine/messages").WorkletSettings} WorkletSettings */

/**
 * @param {BaseAudioContext} context @param {ArrayBuffer} wasm @param {WorkletSettings} settings
 * @param {number[]} resetFrames
 */
function tesselNode(context, wasm, settings, resetFrames) {
  return new AudioWorkletNode(context, "tessel-map", {
    numberOfInputs: 0,
    numberOfOutputs: 1,
    outputChannelCount: [2],
    processorOptions: { wasm: wasm.slice(0), settings, resetFrames },
  });
}

export function webAudioAvailable() {
  return typeof AudioContext === "function" && typeof AudioWorkletNode === "function";
}

export class Player {
  /**
   * @param {ArrayBuffer} wasm @param {string} workletUrl a data: URL of the worklet's module
   * @param {(message: any) => void} onHeard gets what the worklet posts: where the sound is, and when the map
   *   has stopped itself and when it runs again
   */
  constructor(wasm, workletUrl, onHeard) {
    this.wasm = wasm;
    this.workletUrl = workletUrl;
    this.onHeard = onHeard;
    /** @type {AudioContext | null} */
    this.context = null;
    /** @type {AudioWorkletNode | null} */
    this.node = null;
    /** @type {GainNode | null} */
    this.gain = null;
  }

  get playing() {
    return this.context !== null;
  }

  /** @param {WorkletSettings} settings @param {number} volume */
  async start(settings, volume) {
    const context = new AudioContext({ sampleRate: settings.rate, latencyHint: "interactive" });
    this.context = context;
    await context.audioWorklet.addModule(this.workletUrl);
    if (this.context !== context) return;  // stopped meanwhile
    this.node = tesselNode(context, this.wasm, settings, []);
    this.node.port.onmessage = (event) => { if (this.context === context) this.onHeard(event.data); };
    this.gain = new GainNode(context, { gain: volume });
    this.node.connect(this.gain).connect(context.destination);
    await context.resume();
  }

  async stop() {
    const context = this.context;
    this.context = null;
    this.node = null;
    if (context) await context.close();
  }

  /** @param {WorkletSettings} settings */
  follow(settings) {
    if (this.node) this.node.port.postMessage({ settings });
  }

  reset() {
    if (this.node) this.node.port.postMessage({ reset: true });
  }

  /** A message to the worklet, its buffers moved there. @param {object} message @param {ArrayBuffer[]} transfer */
  post(message, transfer = []) {
    if (this.node) this.node.port.postMessage(message, transfer);
  }

  /** @param {number} volume */
  setVolume(volume) {
    if (this.gain) this.gain.gain.setTargetAtTime(volume, this.context.currentTime, VOLUME_TIME_CONSTANT);
  }
}

/**
 * The samples the player would play: `frames` of the same path, rendered offline.
 * @param {ArrayBuffer} wasm @param {string} workletUrl @param {WorkletSettings} settings @param {number} frames
 * @param {number[]} resetFrames @param {number} volume
 */
export async function renderOffline(wasm, workletUrl, settings, frames, resetFrames, volume) {
  const context = new OfflineAudioContext({ numberOfChannels: 2, length: frames, sampleRate: settings.rate });
  await context.audioWorklet.addModule(workletUrl);
  const node = tesselNode(context, wasm, settings, resetFrames);
  node.connect(new GainNode(context, { gain: volume })).connect(context.destination);
  const rendered = await context.startRendering();
  return { left: rendered.getChannelData(0), right: rendered.getChannelData(1) };
}
