// The take of the current settings, always from a reset: rendered by the
// module, drawn (the attractor, the traces, the spectrum), kept as a WAV file,
// and what it does in words.
import { spectrumOf } from "../model/spectrum.js";
import { TAKE_SECONDS, takeLengthText, takeInstance, takeSeconds, traceLength, wavBytesOf,
  wavNameOf } from "../model/take.js";
import { TAKE_STOPPED, describeSettings, summarizeSettings } from "../model/words.js";
import { pathSeconds } from "../model/lfo.js";
import { element, say } from "./dom.js";
import { writeExplained } from "./glossary-view.js";
import { drawAttractor, drawTraces } from "./pictures.js";
import { drawSpectrum } from "./spectrum-view.js";
import { workletSettings } from "./sound-panel.js";

/** @typedef {import("../engine/tessel.js").TesselMap} TesselMap */
/** @typedef {import("../engine/tessel.js").MapInstance} MapInstance */
/** @typedef {import("../model/store.js").SettingsStore} SettingsStore */
/** @typedef {import("./path-verdict.js").PathVerdict} PathVerdict */
/** @typedef {import("../model/settings.js").Settings} Settings */
/** @typedef {{x: Float32Array, y: Float32Array}} Take */

/** @param {HTMLElement} paragraph @param {string} text */
const write = (paragraph, text) => { paragraph.textContent = text; };

export class TakePanel {
  /** @param {TesselMap} tessel @param {SettingsStore} store @param {PathVerdict} pathVerdict */
  constructor(tessel, store, pathVerdict) {
    this.tessel = tessel;
    this.store = store;
    this.pathVerdict = pathVerdict;
    /** @type {Take} */
    this.take = { x: new Float32Array(0), y: new Float32Array(0) };
    this.traced = 0;
    // Where the take's cycle settled, from which its traces start: -1 for none, or where the take is patched.
    this.settle = -1;
    /** @type {ReturnType<typeof spectrumOf> | null} */
    this.spectrum = null;
    this.wavUrl = "";
    element("save-wav").addEventListener("click", () => this.saveWav());
    this.drawnWidth = 0;
    // Pictures shown at a new width (a turned phone, a resized window) are drawn again at it.
    new ResizeObserver(() => {
      if (element("attractor").clientWidth !== this.drawnWidth) this.drawPictures(this.take, this.store.settings);
    }).observe(element("attractor"));
    this.draw();
    store.subscribe(null, () => this.draw());
  }

  /** The take of the current settings, from a reset; its pictures; what it does. */
  draw() {
    const settings = this.store.settings;
    const seconds = takeSeconds(settings);
    const { take, stoppedAt, sound, abMove, patched } = this.render(settings, Math.round(seconds * settings.rate));
    this.take = take;
    const orbit = sound ? null : this.tessel.analysePoint({ a: settings.a, b: settings.b, x0: settings.x0,
      y0: settings.y0, rate: settings.rate, steps: take.x.length });
    this.settle = orbit && settings.mode === "continuous" && !patched ? orbit.settle : -1;
    this.drawPictures(take, settings);
    this.pathVerdict.forget();
    if (sound) {
      this.sayAlongPath(sound, "Judged window by window along the path, as tessel-render reports a take whose " +
        "a or b moves.");
      this.judgeWholePeriod(settings, seconds);
    } else if (orbit) {
      this.sayWhatTheKnobsDo(settings, orbit, take.x.length, abMove);
    }
    this.sayWhatTheTakeIs(take, settings, seconds, stoppedAt);
    say(element("stop-note"), stoppedAt >= 0 ? TAKE_STOPPED : "");
  }

  /**
   * `samples` of the settings from a reset, their inputs moving as the settings say; a continuous take whose
   * a or b moves is judged window by window, as tessel-render's report judges it.
   * @param {Settings} s @param {number} samples
   */
  render(s, samples) {
    const instance = takeInstance(this.tessel, s, samples);
    const abMove = instance.streams("a") || instance.streams("b");
    // As tessel-render traces a patched take whole, its traces do not start where a held orbit settled.
    const patched = abMove || instance.streams("x0") || instance.streams("y0") || s.resetHz > 0;
    const alongPath = s.mode === "continuous" && abMove;
    if (alongPath) instance.judgeWindows(samples);
    const take = instance.render(samples);
    const stoppedAt = instance.stoppedAt;
    const sound = alongPath ? this.soundAlongPath(instance, s) : null;
    instance.free();
    return { take, stoppedAt, sound, abMove, patched };
  }

  /** @param {Take} take @param {Settings} s */
  drawPictures(take, s) {
    this.drawnWidth = element("attractor").clientWidth;
    const { view } = drawAttractor(element("attractor"), take.x, take.y, this.tessel);
    this.traced = traceLength(this.tessel, s, take.x.length);
    const start = this.tessel.figures.traceStart(this.settle, this.traced, take.x.length);
    drawTraces(element("traces"), { start, count: this.traced, settle: this.settle }, s.rate, view, this.tessel);
    this.spectrum = spectrumOf(take.x, s.rate);
    drawSpectrum(element("spectrum"), this.spectrum, s.rate, this.tessel);
  }

  /** @param {Take} take @param {Settings} s @param {number} seconds @param {number} stoppedAt */
  sayWhatTheTakeIs(take, s, seconds, stoppedAt) {
    const { voltsPerUnit } = this.tessel.facts;
    // A plain loop: a typed array's reduce costs milliseconds over a long take.
    /** @param {Float32Array} samples */
    const peak = (samples) => {
      let most = 0;
      for (let i = 0; i < samples.length; i++) most = Math.max(most, Math.abs(samples[i]));
      return (voltsPerUnit * most).toFixed(3);
    };
    write(element("take-text"), `${take.x.length} samples (${takeLengthText(s, seconds)}) ` +
      `at ${s.rate} Hz from a reset; peaks x ${peak(take.x)} V, y ${peak(take.y)} V` +
      (stoppedAt >= 0 ? `; the map stopped itself at sample ${stoppedAt}` : ""));
  }

  /**
   * What the knobs' values do, judged over as many steps as the take has samples, as tessel-render reports
   * the take it draws; a gated take whose a or b moves is not judged along its path, as in the tool.
   * @param {Settings} s @param {ReturnType<TesselMap["analysePoint"]>} orbit @param {number} steps
   * @param {boolean} abMove
   */
  sayWhatTheKnobsDo(s, orbit, steps, abMove) {
    /** @param {boolean} inShort */
    const where = (inShort) => (abMove ? this.tessel.unjudgedPath(inShort) : "");
    writeExplained(element("verdict"), summarizeSettings(this.tessel, orbit, s) + where(true), this.tessel);
    writeExplained(element("verdict-exact"), describeSettings(this.tessel, orbit, s) + where(false), this.tessel);
    // A gated take plays one step a tick: the map's steps judged are many more than the ticks heard.
    const ticks = s.mode === "gated" ? Math.ceil(steps * s.gate / s.rate - 1e-9) : 0;
    const heard = s.mode === "gated" ? ` The take drawn plays ${ticks} of them, one a tick of the clock.` : "";
    write(element("verdict-steps"), `Judged over ${steps} map steps from a reset to x0, y0, as many ` +
      `as the take drawn has samples, as tessel-render judges a take of that length (the manual's picture is ` +
      `its ${TAKE_SECONDS} s take).${heard} The chart judges ${this.tessel.facts.steps.chart} steps a point, so ` +
      `its figures can differ in the last digits.`);
  }

  /** @param {{short: string, exact: string}} sound @param {string} steps */
  sayAlongPath(sound, steps) {
    writeExplained(element("verdict"), sound.short, this.tessel);
    writeExplained(element("verdict-exact"), sound.exact, this.tessel);
    write(element("verdict-steps"), steps);
  }

  /**
   * Where one period of the LFOs outlasts the take, its whole path judged on a worker, its words shown
   * in place of the take's once they come.
   * @param {Settings} s @param {number} seconds
   */
  judgeWholePeriod(s, seconds) {
    const period = pathSeconds(s);
    if (period <= seconds) return;
    write(element("verdict-steps"), `Judged window by window along the take's ${seconds} s, as tessel-render ` +
      `reports a take whose a or b moves; the LFOs' whole period of ${period} s is being judged.`);
    this.pathVerdict.judge(workletSettings(this.tessel, s), Math.round(period * s.rate), ({ short, exact }) =>
      this.sayAlongPath({ short: `Continuous, ${short}`, exact: `Continuous, ${exact}` }, "Judged window by " +
        `window along one whole period of the LFOs, ${period} s, as tessel-render reports a take of that length ` +
        `(--seconds ${period}).`));
  }

  /**
   * The take's sound along the path in tessel-render's words, in short and exactly: each change up to a stop,
   * then the stop, its restarts by the Reset clock named.
   * @param {MapInstance} instance @param {Settings} s
   */
  soundAlongPath(instance, s) {
    const { short, exact } = instance.pathWords(s.rate);
    return { short: `Continuous, ${short}`, exact: `Continuous, ${exact}` };
  }

  saveWav() {
    const settings = this.store.settings;
    const bytes = wavBytesOf(this.take.x, this.take.y, settings.rate);
    // The last file's URL is let go at the next save, well after its download has read it.
    if (this.wavUrl) URL.revokeObjectURL(this.wavUrl);
    this.wavUrl = URL.createObjectURL(new Blob([bytes], { type: "audio/wav" }));
    const link = document.createElement("a");
    link.href = this.wavUrl;
    link.download = wavNameOf(this.tessel, settings);
    link.click();
  }
}
