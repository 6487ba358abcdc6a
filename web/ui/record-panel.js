// Record: what plays, from a Reset until Stop, with every change made
// meanwhile, kept as two files, the sound and the inputs as the module read
// them, with the tessel-render command line that renders the same sound from
// the inputs file. It is kept until the next Record, whatever a save meets.
import { chunkBuffers, Recording } from "../model/recording.js";
import { element, say } from "./dom.js";
import { copied } from "./settings-panel.js";

/** @typedef {import("../engine/tessel.js").TesselMap} TesselMap */
/** @typedef {import("../model/store.js").SettingsStore} SettingsStore */
/** @typedef {import("./sound-panel.js").SoundPanel} SoundPanel */

// A chunk's frames, and how many the page lends the worklet at once: over half a second at any rate.
const CHUNK_FRAMES = 4096;
const CHUNKS_LENT = 8;
// How long Stop waits for the recording's last chunk.
const LAST_CHUNK_MS = 1000;

const ENDS = {
  stop: "ended by Stop",
  full: "ended at the longest take tessel-render renders",
  event: "ended by a change the module hears as an event (Mode, Normalize, the rate, an LFO switched on or off, " +
    "the Gate clock to or from 0 Hz), which tessel-render cannot replay: it announces the inputs once, at its start",
};

/** "20261208-053012" @param {Date} date */
function stamp(date) {
  const two = (/** @type {number} */ n) => String(n).padStart(2, "0");
  return `${date.getFullYear()}${two(date.getMonth() + 1)}${two(date.getDate())}-` +
    `${two(date.getHours())}${two(date.getMinutes())}${two(date.getSeconds())}`;
}

export class RecordPanel {
  /** @param {TesselMap} tessel @param {SettingsStore} store @param {SoundPanel} sound */
  constructor(tessel, store, sound) {
    this.tessel = tessel;
    this.store = store;
    this.sound = sound;
    /** @type {Recording | null} */
    this.recording = null;
    this.active = false;
    this.name = "";
    /** @type {(() => void) | null} called when the last chunk is in */
    this.ended = null;
    /** @type {string[]} the files' URLs, let go at the next Record */
    this.urls = [];
    const record = /** @type {HTMLButtonElement} */ (element("record"));
    if (!sound.player) record.disabled = true;
    record.addEventListener("click", () => (this.active ? this.end() : this.record()));
    sound.addEventListener("recorded", (event) => this.heard(/** @type {CustomEvent} */ (event).detail));
    sound.beforeStop = () => this.end();
    element("save-recording").addEventListener("click", () => this.save("sound"));
    element("save-inputs").addEventListener("click", () => this.save("inputs"));
    element("copy-replay").addEventListener("click", () => copied(element("copy-replay"), "Copy command",
      element("replay-text").textContent || "", () => getSelection()?.selectAllChildren(element("replay-text"))));
  }

  /** @param {boolean} on */
  showActive(on) {
    this.active = on;
    element("record").textContent = on ? "End recording" : "Record";
    element("record").setAttribute("aria-pressed", String(on));
  }

  async record() {
    const player = /** @type {import("./player.js").Player} */ (this.sound.player);
    this.recording = null;
    for (const url of this.urls) URL.revokeObjectURL(url);
    this.urls = [];
    element("recording").hidden = true;
    if (!player.playing) await this.sound.start();
    if (!player.node) return;
    this.showActive(true);
    this.name = `tessel-map-recording-${stamp(new Date())}`;
    say(element("record-state"), "Recording, from a Reset");
    const buffers = chunkBuffers(CHUNKS_LENT, CHUNK_FRAMES);
    player.post({ record: { buffers, frames: CHUNK_FRAMES } }, buffers);
  }

  /** Ends the recording, if one is made, once its last chunk is in. */
  end() {
    if (!this.active) return Promise.resolve();
    return new Promise((resolve) => {
      const timer = setTimeout(() => this.finish("stop"), LAST_CHUNK_MS);
      this.ended = () => { clearTimeout(timer); resolve(undefined); };
      /** @type {import("./player.js").Player} */ (this.sound.player).post({ recordEnd: true });
    });
  }

  /** @param {any} message */
  heard(message) {
    if (!this.active) return;
    const { rate, mode, normalize } = this.store.settings;
    if (message.recordStarted) {
      this.recording = new Recording({ rate, mode, normalize }, message.recordStarted.resetWasHigh,
        Math.round(this.tessel.mostTakeSeconds * rate));
      return;
    }
    const recording = /** @type {Recording} */ (this.recording);
    const { recorded } = message;
    recording.add(recorded);
    if (recorded.ended) {
      this.finish(recording.full ? "full" : recorded.ended);
      return;
    }
    const player = /** @type {import("./player.js").Player} */ (this.sound.player);
    player.post({ spare: recorded.buffer }, [recorded.buffer]);
    if (recording.full) player.post({ recordEnd: true });
    say(element("record-state"), `Recording: ${(recording.frames / rate).toFixed(1)} s`);
  }

  /** @param {"stop" | "full" | "event"} why */
  finish(why) {
    if (!this.active) return;
    this.showActive(false);
    const recording = this.recording;
    if (this.ended) this.ended();
    this.ended = null;
    if (!recording || recording.frames === 0) {
      say(element("record-state"), "Nothing recorded: the sound stopped before its Reset.");
      return;
    }
    const { rate } = recording.settings;
    const moving = recording.movingPins.map((pin) => this.tessel.facts.pins[pin].name).join(", ");
    const said = `Recorded ${(recording.frames / rate).toFixed(3)} s (${recording.frames} samples at ${rate} Hz) ` +
      `from a Reset, ${ENDS[why]}.`;
    say(element("record-state"), said);
    element("recording-text").textContent = `${said} The inputs file holds, a channel each: ${moving}; ` +
      "the command line gives the others in volts.";
    element("replay-text").textContent = recording.commandLine(this.tessel, `${this.name}-inputs.wav`,
      `${this.name}-replayed.wav`);
    element("recording").hidden = false;
  }

  /** @param {"sound" | "inputs"} what */
  save(what) {
    const recording = this.recording;
    if (!recording) return;
    try {
      const parts = what === "sound" ? recording.soundParts() : recording.inputParts();
      const url = URL.createObjectURL(new Blob(parts || [], { type: "audio/wav" }));
      this.urls.push(url);
      const link = document.createElement("a");
      link.href = url;
      link.download = what === "sound" ? `${this.name}.wav` : `${this.name}-inputs.wav`;
      link.click();
    } catch (error) {
      say(element("record-state"), `The ${what} could not be saved (${error.message}); the recording is kept ` +
        "until the next Record: try again.");
    }
  }
}
