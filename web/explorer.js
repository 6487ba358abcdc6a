// The explorer at the top of the manual: the module's WebAssembly build,
// driven like the pins drive it, drawn, charted and played. The page's build
// inlines this module and everything it imports; the WebAssembly bytes and
// the worker's and worklet's sources sit in the page as text.
import { loadTesselMap } from "./tessel.js";
import {
  describeSettings, fragmentOf, gateHzOf, knobsOf, mostGateHz, patchText, ratesOf, readField, settingsOfFragment,
  soundStoppedText, summarizeSettings, voltsText,
} from "./explorer-text.js";
import {
  GATE_STEPS, gateHzRounded, linearScale, logScale, onStep, soundingScale, soundingShares, stepGateHz, stepVolts,
  voltsSteps,
} from "./knobs.js";
import { Slider } from "./slider.js";
import { drawAttractor, drawTraces, traceLength } from "./pictures.js";
import { ChartView } from "./chart-view.js";
import { Player, renderOffline, webAudioAvailable } from "./sound.js";
import { drawSpectrum, spectrumOf } from "./spectrum.js";
import { TAKE_SECONDS, takeLengthText, takeSeconds, wavBytesOf, wavNameOf } from "./take.js";
import { LfoControls } from "./lfo.js";
import { ChartPath } from "./chart-path.js";
import * as lfoText from "./lfo-text.js";

const { LFO_INPUTS, commandLine, lfoFragment, movingText, signalText, withLfosOfFragment } = lfoText;

// The chart starts again from new x0, y0 once they have rested this long.
const CHART_DELAY_MS = 300;
// Steps a Page Up or Page Down key takes: ten of a volts knob's, an octave of the Gate clock's semitones.
const VOLTS_PAGE = 10;
const GATE_PAGE = 12;

const element = (id) => document.getElementById(id);

function bytesOf(base64) {
  const text = atob(base64.trim());
  const bytes = new Uint8Array(text.length);
  for (let i = 0; i < text.length; i++) bytes[i] = text.charCodeAt(i);
  return bytes.buffer;
}

function dataUrl(source) {
  return "data:text/javascript;base64," + base64Of(new TextEncoder().encode(source));
}

class Explorer {
  constructor(tessel, wasm) {
    this.tessel = tessel;
    this.wasm = wasm;
    this.knobs = knobsOf(tessel);
    // Where the a and b sliders give their travel: where the map sounds.
    this.soundingShares = soundingShares(tessel, this.knobs);
    this.settings = this.settingsOf(location.hash);
    this.volume = Number(element("volume").value);
    this.shown = {};  // each number field's text as the page last wrote it
    this.resetOnChange = element("reset-on-change").checked;
    this.player = webAudioAvailable()
      ? new Player(wasm, dataUrl(element("audio-worklet-source").textContent), (heard) => this.heard(heard)) : null;
    this.chart = new ChartView(
      { canvas: element("chart"), overlay: element("chart-overlay"), progress: element("chart-progress"),
        status: element("chart-status"), range: element("chart-range"), hover: element("chart-hover"),
        zoomOut: element("zoom-out"), zoomWhole: element("zoom-whole"), across: element("chart-across"),
        up: element("chart-up"), legend: element("chart-legend") },
      tessel, wasm, element("chart-worker-source").textContent,
      (a, b) => this.change({ a, b }, ["a", "b"]));
    this.path = new ChartPath(tessel, this.chart, lfoText);
    this.lfos = new LfoControls(tessel, lfoText, (values) => this.change(values, []));
    this.bindKnobs();
    this.bindSettings();
    this.bindTake();
    this.show(Object.keys(this.knobs));
    this.chart.compute(this.settings.x0, this.settings.y0, this.settings.rate);
    // A link edited or pasted into the address bar, or history.
    addEventListener("hashchange", () => {
      if (location.hash.slice(1) !== this.fragment(this.settings)) {
        this.change(this.settingsOf(location.hash), Object.keys(this.knobs));
      }
    });
  }

  // --- the settings with what moves ------------------------------------------------------
  settingsOf(fragment) {
    return withLfosOfFragment(this.tessel, fragment, settingsOfFragment(this.tessel, fragment));
  }

  fragment(settings) {
    return lfoFragment(this.tessel, settings, fragmentOf(this.tessel, settings));
  }

  // The settings as the worklet takes them: with each input's signal text, or null.
  withSignals(settings) {
    return { ...settings,
      signals: Object.fromEntries(LFO_INPUTS.map((name) => [name, signalText(this.tessel, settings, name)])) };
  }

  patchText(settings) {
    const moving = movingText(this.tessel, settings);
    return patchText(this.tessel, settings) + (moving ? `; moving: ${moving}` : "");
  }

  // What the worklet posts: where the sound is and the restarts its settings' changes caused, now and
  // then; once each time, that the map has stopped itself or runs again.
  heard({ frame, restarts, stopped, running }) {
    if (stopped || running) {
      this.soundState({ stopped, running });
      return;
    }
    if (!this.player.playing) return;
    this.framesHeard = frame;
    this.path.dot(frame);
    if (restarts > (this.restartsSeen ?? 0)) {
      element("restart-notice").textContent = "The module restarted the orbit from x0, y0: a Mode, Normalize " +
        "or LFO change reaches it while an input moves, as in a host.";
    }
    this.restartsSeen = restarts;
  }

  // --- controls --------------------------------------------------------------------
  gateHigh() {
    return mostGateHz(this.tessel, this.settings.rate);
  }

  // What a knob's slider moves over and how: the Gate clock in semitones over a
  // logarithmic travel up to the rate's most; a and b over travel given mostly
  // to where the map sounds; x0 and y0 straight. Volts land on their floats.
  sliderKnob(name) {
    if (name === "gate") {
      const { low } = this.knobs.gate;
      const scale = logScale(low, this.gateHigh());
      return {
        low, high: this.gateHigh(), scale, page: GATE_PAGE, text: (hz) => `${hz} Hz`,
        valueAt: (position) => gateHzRounded(scale.valueAt(position)),
        step: (hz, count, fine) => stepGateHz(hz, fine ? GATE_STEPS.fine : GATE_STEPS.usual, count),
      };
    }
    const { low, high } = this.knobs[name];
    const steps = voltsSteps(this.knobs[name]);
    const shares = this.soundingShares[name];
    const scale = shares ? soundingScale(low, high, shares) : linearScale(low, high);
    const onFloat = (value) => Number(voltsText(this.tessel, value));
    return {
      low, high, scale, page: VOLTS_PAGE, text: (value) => `${value} V`,
      valueAt: (position) => onFloat(onStep(scale.valueAt(position), steps.fine)),
      step: (value, count, fine) => onFloat(stepVolts(value, fine ? steps.fine : steps.usual, count)),
    };
  }

  // The steps beside each knob.
  stepText(name) {
    if (name === "gate") return "step a semitone, fine 10 cents";
    const { usual, fine } = voltsSteps(this.knobs[name]);
    return `step ${usual} V, fine ${fine} V`;
  }

  // The track of a slider that gives its travel to where the map sounds shows
  // where that is, brighter where more of the plane sounds.
  paintTrack(name, scale) {
    if (!scale.columns) return;
    const most = Math.max(...scale.columns.map((column) => column.share));
    const stops = scale.columns.map(({ from, to, share }) => {
      const colour = `color-mix(in srgb, var(--sounding) ${Math.round(100 * share / most)}%, var(--track))`;
      return `${colour} ${(100 * from).toFixed(2)}% ${(100 * to).toFixed(2)}%`;
    });
    element(`${name}-slider`).querySelector(".slider-track").style.background =
      `linear-gradient(to right, ${stops.join(", ")})`;
  }

  bindKnobs() {
    this.sliders = {};
    for (const name of Object.keys(this.knobs)) {
      const field = element(`${name}-number`);
      const knob = this.sliderKnob(name);
      this.sliders[name] = new Slider(element(`${name}-slider`), knob, () => element("fine").checked, (value) => {
        this.message(name, "");
        this.change({ [name]: value }, [name]);
      });
      this.paintTrack(name, knob.scale);
      element(`${name}-step`).textContent = this.stepText(name);
      // Enter and the change that follows it commit once: text the page wrote itself is no new input.
      const commit = () => { if (field.value !== this.shown[name]) this.typed(name, field.value); };
      field.addEventListener("change", commit);
      field.addEventListener("keydown", (event) => { if (event.key === "Enter") commit(); });
    }
  }

  // A typed value: refused (the settings stay) or clamped, and the field says so.
  typed(name, text) {
    const knob = this.knobs[name];
    const high = name === "gate" ? this.gateHigh() : knob.high;
    const read = readField(text, knob.low, high, knob.unit);
    this.message(name, read.message, !read.ok);
    if (!read.ok) return;
    this.change({ [name]: read.value }, [name]);
  }

  message(name, text, refused = false) {
    const field = element(`${name}-number`);
    element(`${name}-message`).textContent = text;
    field.setAttribute("aria-invalid", refused ? "true" : "false");
    field.classList.toggle("refused", refused);
    field.classList.toggle("clamped", !refused && text !== "");
  }

  bindSettings() {
    element("rate").replaceChildren(...ratesOf(this.tessel).map((rate) => new Option(`${rate} Hz`, String(rate))));
    for (const radio of document.querySelectorAll('input[name="mode"]')) {
      radio.addEventListener("change", () => this.change({ mode: radio.value }, []));
    }
    element("normalize").addEventListener("change", (event) => this.change({ normalize: event.target.checked }, []));
    element("rate").addEventListener("change", (event) => {
      const rate = Number(event.target.value);
      this.change({ rate, gate: Math.min(this.settings.gate, mostGateHz(this.tessel, rate)) }, ["gate"]);
    });
    element("reset").addEventListener("click", () => this.reset());
    element("reset-on-change").addEventListener("change", (event) => { this.resetOnChange = event.target.checked; });
    element("copy").addEventListener("click", () => this.copy());
    element("volume").addEventListener("input", (event) => {
      this.volume = Number(event.target.value);
      if (this.player) this.player.setVolume(this.volume);
    });
    const play = element("play");
    if (!this.player) {
      play.disabled = true;
      play.title = "This browser has no Web Audio worklets";
      return;
    }
    play.addEventListener("click", () => (this.player.playing ? this.stopSound() : this.startSound()));
  }

  async startSound() {
    this.restartsSeen = 0;
    this.framesHeard = 0;
    element("restart-notice").textContent = "";
    element("play").textContent = "Stop";
    element("play").setAttribute("aria-pressed", "true");
    this.sayOfSound("");
    try {
      await this.player.start(this.withSignals(this.settings), this.volume);
    } catch (error) {
      await this.stopSound();
      this.sayOfSound(`Sound failed: ${error.message}`);
    }
  }

  async stopSound() {
    element("play").textContent = "Play";
    element("play").setAttribute("aria-pressed", "false");
    this.sayOfSound("");
    await this.player.stop();
    this.path.stopDot();
  }

  async restartSound() {
    this.sayOfSound("");
    await this.player.stop();
    await this.player.start(this.withSignals(this.settings), this.volume);
  }

  // What the worklet tells of the sound playing: the map stopped itself, or runs again.
  soundState(state) {
    if (state.stopped) this.sayOfSound(soundStoppedText(state.stopped, this.settings.rate));
    else if (state.running) this.sayOfSound("");
  }

  sayOfSound(text) {
    element("sound-state").textContent = text;
    element("sound-state").hidden = text === "";
  }

  // Reset restarts the sound playing and the take drawn (always one from a reset), and says so.
  reset() {
    if (this.player && this.player.playing) this.player.reset();
    this.draw();
    const note = element("reset-note");
    const what = this.player && this.player.playing ? ", sound and drawing." : ".";
    note.textContent = `Reset: the orbit restarted from x0 ${voltsText(this.tessel, this.settings.x0)} V, ` +
      `y0 ${voltsText(this.tessel, this.settings.y0)} V${what}`;
    note.classList.remove("flash");
    void note.offsetWidth;  // a new layout, so the flash starts again
    note.classList.add("flash");
  }

  async copy() {
    const text = `${this.patchText(this.settings)}\n${commandLine(this.tessel, this.settings, takeSeconds(this.settings))}`;
    try {
      await navigator.clipboard.writeText(text);
      element("copy").textContent = "Copied";
    } catch {
      getSelection().selectAllChildren(element("patch-text"));
      element("copy").textContent = "Selected: copy it";
    }
    setTimeout(() => { element("copy").textContent = "Copy"; }, 1500);
  }

  // --- the take kept, the manual's patch ideas loaded ------------------------------------
  bindTake() {
    element("save-wav").addEventListener("click", () => this.saveWav());
    // A patch idea's link sets the fragment, which loads it; the explorer comes into view to show it.
    for (const link of document.querySelectorAll("a.patch-link")) {
      link.addEventListener("click", () => element("explorer").scrollIntoView({ block: "start" }));
    }
  }

  saveWav() {
    const bytes = wavBytesOf(this.take.x, this.take.y, this.settings.rate);
    // The last file's URL is let go at the next save, well after its download has read it.
    if (this.wavUrl) URL.revokeObjectURL(this.wavUrl);
    this.wavUrl = URL.createObjectURL(new Blob([bytes], { type: "audio/wav" }));
    const link = document.createElement("a");
    link.href = this.wavUrl;
    link.download = wavNameOf(this.tessel, this.settings);
    link.click();
  }

  // --- what follows a change ----------------------------------------------------------
  // `fields` are the knobs whose field and slider show the new value.
  change(values, fields) {
    const before = this.settings;
    this.settings = { ...before, ...values };
    this.show(fields);
    element("reset-note").textContent = "";
    if (this.player && this.player.playing) {
      if (before.rate !== this.settings.rate) this.restartSound();
      else this.player.follow(this.withSignals(this.settings));
      if (this.resetOnChange && before.rate === this.settings.rate) this.player.reset();
    }
    if (before.x0 !== this.settings.x0 || before.y0 !== this.settings.y0) this.rechart();
  }

  rechart() {
    clearTimeout(this.chartTimer);
    this.chartTimer = setTimeout(() => this.chart.compute(this.settings.x0, this.settings.y0, this.settings.rate),
      CHART_DELAY_MS);
  }

  show(fields) {
    const s = this.settings;
    for (const name of fields) {
      const value = name === "gate" ? s.gate : voltsText(this.tessel, s[name]);
      this.shown[name] = String(value);
      element(`${name}-number`).value = this.shown[name];
      if (name === "gate") this.sliders.gate.rescale(this.sliderKnob("gate"));
      this.sliders[name].show(s[name]);
    }
    element(s.mode === "gated" ? "mode-gated" : "mode-continuous").checked = true;
    element("gate-number").disabled = s.mode !== "gated";
    this.sliders.gate.disabled = s.mode !== "gated";
    element("normalize").checked = s.normalize;
    element("rate").value = String(s.rate);
    element("patch-text").textContent = this.patchText(s);
    element("command-text").textContent = commandLine(this.tessel, s, takeSeconds(s));
    this.lfos.show(s);
    history.replaceState(null, "", `#${this.fragment(s)}`);
    this.chart.mark(s.a, s.b);
    this.draw();
  }

  // The take of the current settings, from a reset; its pictures; what it does.
  draw() {
    const started = performance.now();
    const s = this.settings;
    const seconds = takeSeconds(s);
    const { take, stoppedAt, sound, abMove } = this.renderTake(s, Math.round(seconds * s.rate));
    this.take = take;
    this.path.follow(s, seconds);
    this.drawPictures(take, s, seconds);
    if (sound) {
      element("verdict").textContent = sound.short;
      element("verdict-exact").textContent = sound.exact;
      element("verdict-steps").textContent = "Judged window by window along the path, as tessel-render reports " +
        "a take whose a or b moves.";
    } else {
      this.sayWhatTheKnobsDo(s, take.x.length, abMove);
    }
    this.sayWhatTheTakeIs(take, s, seconds, stoppedAt);
    this.drawMs = performance.now() - started;
  }

  // `samples` of the settings from a reset, their inputs moving as the settings say; a continuous take
  // whose a or b moves is judged window by window, as tessel-render's report judges it.
  renderTake(s, samples) {
    const instance = this.tessel.newInstance({ rate: s.rate });
    instance.set({ a: s.a, b: s.b, x0: s.x0, y0: s.y0 });
    instance.setMode(s.mode);
    instance.setGateHz(gateHzOf(s));
    instance.setNormalize(s.normalize);
    for (const name of LFO_INPUTS) instance.setSignal(name, signalText(this.tessel, s, name), samples);
    instance.setResetHz(s.resetHz);
    const abMove = instance.streams("a") || instance.streams("b");
    const alongPath = s.mode === "continuous" && abMove;
    if (alongPath) instance.judgeWindows(samples);
    const take = instance.render(samples);
    const stoppedAt = instance.stoppedAt;
    const sound = alongPath ? this.soundAlongPath(instance, stoppedAt) : null;
    instance.free();
    return { take, stoppedAt, sound, abMove };
  }

  drawPictures(take, s, seconds) {
    const { view } = drawAttractor(element("attractor"), take.x, take.y, this.tessel);
    // A take lengthened for a slow clock is traced whole: its phrase is what it was lengthened for.
    this.traced = seconds > TAKE_SECONDS ? take.x.length : traceLength(s, take.x.length);
    drawTraces(element("traces"), take.x, take.y, this.traced, s.rate, view);
    this.spectrum = spectrumOf(take.x, s.rate);
    drawSpectrum(element("spectrum"), this.spectrum, s.rate);
  }

  sayWhatTheTakeIs(take, s, seconds, stoppedAt) {
    const { voltsPerUnit } = this.tessel.facts;
    // A plain loop: a typed array's reduce costs milliseconds over a long take.
    const peak = (samples) => {
      let most = 0;
      for (let i = 0; i < samples.length; i++) most = Math.max(most, Math.abs(samples[i]));
      return (voltsPerUnit * most).toFixed(3);
    };
    element("take-text").textContent = `${take.x.length} samples (${takeLengthText(s, seconds)}) ` +
      `at ${s.rate} Hz from a reset; ` +
      `peaks x ${peak(take.x)} V, y ${peak(take.y)} V` +
      (stoppedAt >= 0 ? `; the map stopped itself at sample ${stoppedAt}` : "");
  }

  // What the knobs' values do, judged over as many steps as the take has samples, as tessel-render
  // reports the take it draws; a gated take whose a or b moves is not judged along its path, as in the tool.
  sayWhatTheKnobsDo(s, steps, abMove) {
    const orbit = this.tessel.analysePoint({ a: s.a, b: s.b, x0: s.x0, y0: s.y0, rate: s.rate, steps });
    const where = abMove ? " (at the LFOs' centres)" : "";
    element("verdict").textContent = summarizeSettings(this.tessel, orbit, s) + where;
    element("verdict-exact").textContent = describeSettings(this.tessel, orbit, s) + where;
    element("verdict-steps").textContent = `Judged over ${steps} steps from a reset to x0, y0, as many ` +
      `as the take drawn has samples, as tessel-render judges a take of that length (the manual's picture is ` +
      `its ${TAKE_SECONDS} s take). The chart judges ${this.tessel.facts.steps.chart} steps a point, so its ` +
      `figures can differ in the last digits.`;
  }

  // The take's sound along the path in tessel-render's words, in short and exactly: each change up to a
  // stop, then the stop.
  soundAlongPath(instance, stoppedAt) {
    const rate = this.settings.rate;
    const changes = instance.soundChanges(rate).filter((change) => stoppedAt < 0 || change.start <= stoppedAt);
    const stop = stoppedAt < 0 ? "" : `; ${this.tessel.describeStop(stoppedAt,
      { rate, moving: true, runsFrom: instance.runsFrom(stoppedAt) })}`;
    const said = (field) => "Continuous, along the path: " +
      (changes.length ? changes.map((change) => change[field]).join("; ") : "too short to judge a window") + stop;
    return { short: said("summary"), exact: said("words") };
  }
}

// The hook the browser tests use: the settings, the take drawn, the sound path offline.
function testHook(explorer) {
  return {
    explorer,
    get settings() { return explorer.settings; },
    // The path on the chart: its start, extent in volts, length and the dot, or null.
    path() { return explorer.path.extent(); },
    // The take drawn (two seconds, longer at a slow Gate clock: takeSeconds), as the float
    // samples of a stereo WAV (x left), in base64.
    takeBytes() {
      return interleavedBase64(explorer.take.x, explorer.take.y);
    },
    // The drawn spectrum's bins: frequencies in Hz, levels in dB.
    spectrum() {
      return { hz: Array.from(explorer.spectrum.hz), db: Array.from(explorer.spectrum.db) };
    },
    // The sound path rendered offline, the same way.
    async soundBytes(settings, frames, resetFrames, volume) {
      const workletUrl = dataUrl(element("audio-worklet-source").textContent);
      const { left, right } = await renderOffline(explorer.wasm, workletUrl, explorer.withSignals(settings), frames,
        resetFrames, volume);
      return interleavedBase64(left, right);
    },
  };
}

function interleavedBase64(left, right) {
  const samples = new Float32Array(2 * left.length);
  left.forEach((value, i) => {
    samples[2 * i] = value;
    samples[2 * i + 1] = right[i];
  });
  return base64Of(new Uint8Array(samples.buffer));
}

function base64Of(bytes) {
  let text = "";
  for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
  return btoa(text);
}

async function start() {
  const notice = element("explorer-notice");
  if (typeof WebAssembly !== "object" || typeof Worker !== "function") {
    notice.textContent = "This browser lacks WebAssembly or Web Workers, which the explorer needs; the manual follows.";
    return;
  }
  const wasm = bytesOf(element("tessel-wasm").textContent);
  const tessel = await loadTesselMap(wasm);
  if (webAudioAvailable()) {
    notice.hidden = true;
  } else {
    notice.textContent = "This browser lacks Web Audio worklets: the explorer draws and charts but cannot play.";
  }
  element("explorer-app").hidden = false;
  window.tesselExplorer = testHook(new Explorer(tessel, wasm));
}

start().catch((error) => {
  element("explorer-notice").textContent = `The explorer could not start (${error.message}); the manual follows.`;
});
