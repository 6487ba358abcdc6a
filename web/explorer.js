// The explorer at the top of the manual: the module's WebAssembly build,
// driven like the pins drive it, drawn, charted and played. The page's build
// inlines this module and everything it imports; the WebAssembly bytes and
// the worker's and worklet's sources sit in the page as text.
import { loadTesselMap } from "./tessel.js";
import {
  describeSettings, fragmentOf, gateHzOf, knobsOf, mostGateHz, patchText, readField, settingsOfFragment,
  voltsText,
} from "./explorer-text.js";
import { drawAttractor, drawTraces, traceLength } from "./pictures.js";
import { ChartView } from "./chart-view.js";
import { Player, renderOffline, webAudioAvailable } from "./sound.js";
import { LfoControls } from "./lfo.js";
import { ChartPath } from "./chart-path.js";
import * as lfoText from "./lfo-text.js";

const { LFO_INPUTS, commandLine, lfoFragment, movingText, signalText, withLfosOfFragment } = lfoText;

// The take drawn: two seconds at the chosen rate.
const TAKE_SECONDS = 2;
// The chart starts again from new x0, y0 once they have rested this long.
const CHART_DELAY_MS = 300;
// The Gate clock's slider is logarithmic over its range.
const GATE_SLIDER_STEPS = 1000;

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
    this.settings = this.settingsOf(location.hash);
    this.volume = Number(element("volume").value);
    this.shown = {};  // each number field's text as the page last wrote it
    this.player = webAudioAvailable()
      ? new Player(wasm, dataUrl(element("audio-worklet-source").textContent), (heard) => this.heard(heard)) : null;
    this.chart = new ChartView(
      { canvas: element("chart"), overlay: element("chart-overlay"), progress: element("chart-progress"),
        status: element("chart-status"), range: element("chart-range"), hover: element("chart-hover"),
        zoomOut: element("zoom-out"), zoomWhole: element("zoom-whole") },
      tessel, wasm, element("chart-worker-source").textContent,
      (a, b) => this.change({ a, b }, ["a", "b"]));
    this.path = new ChartPath(tessel, this.chart, lfoText);
    this.lfos = new LfoControls(tessel, lfoText, (values) => this.change(values, []));
    this.bindKnobs();
    this.bindSettings();
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

  // What the worklet posts: where the sound is, and restarts its settings' changes caused.
  heard({ frame, restarts }) {
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

  sliderOf(name, value) {
    if (name !== "gate") return String(value);
    const { low } = this.knobs.gate;
    return String(Math.round(GATE_SLIDER_STEPS * Math.log(value / low) / Math.log(this.gateHigh() / low)));
  }

  valueOfSlider(name, position) {
    if (name !== "gate") return Number(position);
    const { low } = this.knobs.gate;
    const hz = low * (this.gateHigh() / low) ** (Number(position) / GATE_SLIDER_STEPS);
    return Number(hz.toPrecision(hz < 10 ? 2 : 3));
  }

  bindKnobs() {
    for (const name of Object.keys(this.knobs)) {
      const slider = element(`${name}-slider`);
      const field = element(`${name}-number`);
      // The volts sliders span the knobs' ranges; the Gate clock's its logarithmic steps.
      if (name !== "gate") [slider.min, slider.max] = [this.knobs[name].low, this.knobs[name].high];
      slider.addEventListener("input", () => {
        this.message(name, "");
        this.change({ [name]: this.valueOfSlider(name, slider.value) }, [name]);
      });
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
    for (const radio of document.querySelectorAll('input[name="mode"]')) {
      radio.addEventListener("change", () => this.change({ mode: radio.value }, []));
    }
    element("normalize").addEventListener("change", (event) => this.change({ normalize: event.target.checked }, []));
    element("rate").addEventListener("change", (event) => {
      const rate = Number(event.target.value);
      this.change({ rate, gate: Math.min(this.settings.gate, mostGateHz(this.tessel, rate)) }, ["gate"]);
    });
    element("reset").addEventListener("click", () => {
      if (this.player) this.player.reset();
      this.draw();
    });
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
    try {
      await this.player.start(this.withSignals(this.settings), this.volume);
    } catch (error) {
      await this.stopSound();
      element("verdict").textContent = `Sound failed: ${error.message}`;
    }
  }

  async stopSound() {
    element("play").textContent = "Play";
    element("play").setAttribute("aria-pressed", "false");
    await this.player.stop();
    this.path.stopDot();
  }

  async restartSound() {
    await this.player.stop();
    await this.player.start(this.withSignals(this.settings), this.volume);
  }

  async copy() {
    const text = `${this.patchText(this.settings)}\n${commandLine(this.tessel, this.settings, TAKE_SECONDS)}`;
    try {
      await navigator.clipboard.writeText(text);
      element("copy").textContent = "Copied";
    } catch {
      getSelection().selectAllChildren(element("patch-text"));
      element("copy").textContent = "Selected: copy it";
    }
    setTimeout(() => { element("copy").textContent = "Copy"; }, 1500);
  }

  // --- what follows a change ----------------------------------------------------------
  // `fields` are the knobs whose field and slider show the new value.
  change(values, fields) {
    const before = this.settings;
    this.settings = { ...before, ...values };
    this.show(fields);
    if (this.player && this.player.playing) {
      if (before.rate !== this.settings.rate) this.restartSound();
      else this.player.follow(this.withSignals(this.settings));
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
      element(`${name}-slider`).value = this.sliderOf(name, s[name]);
    }
    element(s.mode === "gated" ? "mode-gated" : "mode-continuous").checked = true;
    element("gate-number").disabled = s.mode !== "gated";
    element("gate-slider").disabled = s.mode !== "gated";
    element("normalize").checked = s.normalize;
    element("rate").value = String(s.rate);
    element("patch-text").textContent = this.patchText(s);
    element("command-text").textContent = commandLine(this.tessel, s, TAKE_SECONDS);
    this.lfos.show(s);
    history.replaceState(null, "", `#${this.fragment(s)}`);
    this.chart.mark(s.a, s.b);
    this.draw();
  }

  // The take of the current settings, from a reset; its pictures; what it does.
  draw() {
    const started = performance.now();
    const s = this.settings;
    const instance = this.tessel.newInstance({ rate: s.rate });
    instance.set({ a: s.a, b: s.b, x0: s.x0, y0: s.y0 });
    instance.setMode(s.mode);
    instance.setGateHz(gateHzOf(s));
    instance.setNormalize(s.normalize);
    const takeSamples = TAKE_SECONDS * s.rate;
    for (const name of LFO_INPUTS) instance.setSignal(name, signalText(this.tessel, s, name), takeSamples);
    instance.setResetHz(s.resetHz);
    // As tessel-render's report: a continuous take whose a or b moves is judged window by window.
    const abMove = instance.streams("a") || instance.streams("b");
    const alongPath = s.mode === "continuous" && abMove;
    if (alongPath) instance.judgeWindows(takeSamples);
    const take = instance.render(takeSamples);
    const stoppedAt = instance.stoppedAt;
    const sound = alongPath ? this.soundAlongPath(instance, stoppedAt) : null;
    instance.free();
    this.take = take;
    this.path.follow(s, TAKE_SECONDS);
    const { view } = drawAttractor(element("attractor"), take.x, take.y, this.tessel);
    drawTraces(element("traces"), take.x, take.y, traceLength(s, take.x.length), s.rate, view);
    if (sound) {
      element("verdict").textContent = sound;
    } else {
      const orbit = this.tessel.analysePoint({ a: s.a, b: s.b, x0: s.x0, y0: s.y0, rate: s.rate });
      // As the tool, a gated take is not judged along the path: what the knobs' values do is said.
      const where = abMove ? " (at the LFOs' centres)" : "";
      element("verdict").textContent = describeSettings(this.tessel, orbit, s) + where;
    }
    const { voltsPerUnit } = this.tessel.facts;
    const peak = (samples) => (voltsPerUnit * samples.reduce((most, v) => Math.max(most, Math.abs(v)), 0)).toFixed(3);
    element("take-text").textContent = `${take.x.length} samples at ${s.rate} Hz from a reset; ` +
      `peaks x ${peak(take.x)} V, y ${peak(take.y)} V` +
      (stoppedAt >= 0 ? `; the map stopped itself at sample ${stoppedAt}` : "");
    this.drawMs = performance.now() - started;
  }

  // The take's sound along the path in tessel-render's words: each change up to a stop, then the stop.
  soundAlongPath(instance, stoppedAt) {
    const rate = this.settings.rate;
    const changes = instance.soundChanges(rate).filter((change) => stoppedAt < 0 || change.start <= stoppedAt);
    const words = changes.length ? changes.map((change) => change.words).join("; ") : "too short to judge a window";
    const stop = stoppedAt < 0 ? "" : `; ${this.tessel.describeStop(stoppedAt,
      { rate, moving: true, runsFrom: instance.runsFrom(stoppedAt) })}`;
    return `Continuous, along the path: ${words}${stop}`;
  }
}

// The hook the browser tests use: the settings, the take drawn, the sound path offline.
function testHook(explorer) {
  return {
    explorer,
    get settings() { return explorer.settings; },
    // The path on the chart: its start, extent in volts, length and the dot, or null.
    path() { return explorer.path.extent(); },
    // The take drawn, as the float samples of a stereo WAV (x left), in base64.
    takeBytes() {
      return interleavedBase64(explorer.take.x, explorer.take.y);
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
