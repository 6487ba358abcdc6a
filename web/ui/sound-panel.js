// Play and Stop, the volume, Reset and Reset on change: the module through an
// audio worklet, following every change of the settings as a host's patch
// would, and what the page says of the sound playing.
import { LFO_INPUTS, signalText } from "../model/lfo.js";
import { gateHzOf, voltsText } from "../model/settings.js";
import { soundStoppedText } from "../model/words.js";
import { element, say } from "./dom.js";
import { Player, webAudioAvailable } from "./player.js";

/** @typedef {import("../engine/tessel.js").TesselMap} TesselMap */
/** @typedef {import("../model/store.js").SettingsStore} SettingsStore */
/** @typedef {import("../model/settings.js").Settings} Settings */
/** @typedef {import("../engine/messages").WorkletSettings} WorkletSettings */
/**
 * What the worklet posts: where the sound is and the restarts its settings' changes caused; or, once each
 * time, that the map has stopped itself or runs again.
 * @typedef {{frame?: number, restarts?: number, stopped?: {at: number, lastReset: number}, running?: boolean,
 *   recordStarted?: object, recorded?: object}} Heard
 */

const RESTART_NOTICE = "The module restarted the orbit from x0, y0: a Mode, Normalize or LFO change reaches it " +
  "while an input moves, as in a host.";

/**
 * The settings as the worklet takes them: the Gate clock the module gets and each input's signal text, or null.
 * @param {TesselMap} tessel @param {Settings} settings @returns {WorkletSettings}
 */
export function workletSettings(tessel, settings) {
  return { ...settings, gateHz: gateHzOf(settings),
    signals: Object.fromEntries(LFO_INPUTS.map((name) => [name, signalText(tessel, settings, name)])) };
}

export class SoundPanel extends EventTarget {
  /**
   * Dispatches "heard" events, their detail the worklet's {frame, restarts}, while the sound plays,
   * "recorded" events with what the worklet says of a recording, and "reset" when Reset is pressed.
   * @param {TesselMap} tessel @param {SettingsStore} store @param {ArrayBuffer} wasm @param {string} workletUrl
   */
  constructor(tessel, store, wasm, workletUrl) {
    super();
    this.tessel = tessel;
    this.store = store;
    this.player = webAudioAvailable() ? new Player(wasm, workletUrl, (heard) => this.heard(heard)) : null;
    this.restartsSeen = 0;
    /** What must be done while the sound still plays, before it stops: a recording's last chunk taken. */
    this.beforeStop = async () => {};
    element("reset").addEventListener("click", () => this.reset());
    const volume = /** @type {HTMLInputElement} */ (element("volume"));
    volume.addEventListener("input", () => this.player && this.player.setVolume(Number(volume.value)));
    const play = /** @type {HTMLButtonElement} */ (element("play"));
    if (this.player) {
      play.addEventListener("click", () => this.playOrStop());
    } else {
      play.disabled = true;
      play.title = "This browser has no Web Audio worklets";
    }
    store.subscribe(null, ({ settings, before }) => this.follow(settings, before));
  }

  get volume() {
    return Number(/** @type {HTMLInputElement} */ (element("volume")).value);
  }

  get resetOnChange() {
    return /** @type {HTMLInputElement} */ (element("reset-on-change")).checked;
  }

  /** @param {boolean} playing */
  showPlaying(playing) {
    element("play").textContent = playing ? "Stop" : "Play";
    element("play").setAttribute("aria-pressed", String(playing));
  }

  async start() {
    this.restartsSeen = 0;
    element("restart-notice").textContent = "";
    this.showPlaying(true);
    say(element("sound-state"), "");
    try {
      await this.player.start(workletSettings(this.tessel, this.store.settings), this.volume);
    } catch (error) {
      await this.stop();
      say(element("sound-state"), `Sound failed: ${error.message}`);
    }
  }

  async stop() {
    this.showPlaying(false);
    element("restart-notice").textContent = "";
    say(element("sound-state"), "");
    await this.beforeStop();
    await this.player.stop();
    this.dispatchEvent(new CustomEvent("stopped"));
  }

  /** Play, or Stop while playing, where the browser can play. */
  playOrStop() {
    if (!this.player) return;
    if (this.player.playing) this.stop();
    else this.start();
  }

  /**
   * A change of the settings while playing: a new rate starts the sound again; anything else is followed. The
   * notes of the last Reset and restart are no longer true.
   * @param {Settings} settings @param {Settings} before */
  follow(settings, before) {
    element("reset-note").textContent = "";
    element("restart-notice").textContent = "";
    if (!this.player || !this.player.playing) return;
    if (before.rate !== settings.rate) {
      say(element("sound-state"), "");
      this.beforeStop().then(() => this.player.stop()).then(() => this.player.start(workletSettings(this.tessel, settings), this.volume));
      return;
    }
    this.player.follow(workletSettings(this.tessel, settings));
    if (this.resetOnChange) this.player.reset();
  }

  /** @param {Heard} heard */
  heard(heard) {
    if (heard.recordStarted || heard.recorded) {
      this.dispatchEvent(new CustomEvent("recorded", { detail: heard }));
      return;
    }
    const { frame, restarts, stopped, running } = heard;
    if (stopped) say(element("sound-state"), soundStoppedText(stopped, this.store.settings.rate));
    else if (running) say(element("sound-state"), "");
    if (stopped || running || !this.player.playing) return;
    if (restarts > this.restartsSeen) element("restart-notice").textContent = RESTART_NOTICE;
    this.restartsSeen = restarts;
    this.dispatchEvent(new CustomEvent("heard", { detail: { frame, restarts } }));
  }

  /** Reset restarts the sound playing and the take drawn (always one from a reset), and says so. */
  reset() {
    const playing = this.player !== null && this.player.playing;
    if (playing) this.player.reset();
    element("restart-notice").textContent = "";
    this.dispatchEvent(new CustomEvent("reset"));
    const { x0, y0 } = this.store.settings;
    const note = element("reset-note");
    note.textContent = `Reset: the orbit restarted from x0 ${voltsText(this.tessel, x0)} V, ` +
      `y0 ${voltsText(this.tessel, y0)} V${playing ? ", sound and drawing." : "."}`;
    note.classList.remove("flash");
    void note.offsetWidth;  // a new layout, so the flash starts again
    note.classList.add("flash");
  }
}
