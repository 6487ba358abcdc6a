// The page's entry: starts the explorer once the module's WebAssembly build
// is loaded, or says what the browser lacks. The page holds the .wasm's bytes
// (base64), the engine's bundle (a classic script that defines
// `TesselEngine`), and the chart worker's and the audio worklet's bundles as
// text, each of which runs after the engine's text.
import { CHART_WIDTH } from "../model/chart-grid.js";
import { startChartWorkers } from "./chart/chart-scheduler.js";
import { element } from "./dom.js";
import { Explorer } from "./explorer.js";
import { renderOffline, webAudioAvailable } from "./player.js";
import { workletSettings } from "./sound-panel.js";

/** @typedef {import("../model/chart-grid.js").GridPoint} GridPoint */

/** @param {string} base64 */
function bytesOf(base64) {
  const text = atob(base64.trim());
  const bytes = new Uint8Array(text.length);
  for (let i = 0; i < text.length; i++) bytes[i] = text.charCodeAt(i);
  return bytes.buffer;
}

/** @param {Uint8Array} bytes */
function base64Of(bytes) {
  let text = "";
  for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
  return btoa(text);
}

/** @param {Float32Array} left @param {Float32Array} right */
function interleavedBase64(left, right) {
  const samples = new Float32Array(2 * left.length);
  left.forEach((value, i) => {
    samples[2 * i] = value;
    samples[2 * i + 1] = right[i];
  });
  return base64Of(new Uint8Array(samples.buffer));
}

/**
 * What a chart shows, for the hook. @param {import("./chart/chart-view.js").ChartView} chart
 */
function chartHook(chart) {
  return {
    get view() { return chart.view; },
    get workers() { return chart.scheduler.workers.length; },
    progress() {
      const { done, pending, timing } = chart.scheduler;
      return { done, complete: chart.scheduler.complete, coarse: pending[0] === 0, timing };
    },
    /** The verdict of grid point (i, j), counted from the bottom left, or null while not computed. */
    orbitAt(/** @type {number} */ i, /** @type {number} */ j) { return chart.scheduler.orbitAt(j * CHART_WIDTH + i); },
    points() { return { across: Array.from(chart.scheduler.across), up: Array.from(chart.scheduler.up) }; },
    /** Zooms to the rectangle between two grid points, as a drag between them does. */
    zoomTo(/** @type {GridPoint} */ from, /** @type {GridPoint} */ to) { chart.zoomTo(from, to); },
    zoomWhole() { chart.zoomWhole(); },
    forgetGestures() { chart.gestures.forget(); },
  };
}

/**
 * The page's one hook for its tests and the release's smoke tests: what the page shows and plays, read
 * through its own parts.
 * @param {Explorer} explorer @param {ArrayBuffer} wasm @param {string} workletUrl
 */
function testHook(explorer, wasm, workletUrl) {
  const { store, take, chart, path, sound } = explorer;
  return {
    get settings() { return store.settings; },
    /** Settings as the controls set them. @param {Partial<import("../model/settings.js").Settings>} values */
    set(values) { store.set(values); },
    // The take drawn: its samples and how many are traced; and as a stereo WAV's floats (x left), in base64.
    take() { return { x: take.take.x, y: take.take.y, traced: take.traced }; },
    // Draws the take again, as Reset does.
    redraw() { take.draw(); },
    takeBytes() { return interleavedBase64(take.take.x, take.take.y); },
    // The drawn spectrum's bins: frequencies in Hz, levels in dB.
    spectrum() { return { hz: Array.from(take.spectrum.hz), db: Array.from(take.spectrum.db) }; },
    // The path on the chart: its start, extent in volts, length and the dot, or null.
    path() { return path.extent(); },
    chart: chartHook(chart),
    // The chart of starting points, x0 across and y0 up.
    startChart: chartHook(explorer.startChart),
    // The sound: "heard" events while it plays ({frame, restarts}), and its audio context.
    sound,
    get audio() {
      const player = sound.player;
      const context = player && player.context;
      return { playing: Boolean(player && player.playing), node: Boolean(player && player.node),
        state: context ? context.state : null, sampleRate: context ? context.sampleRate : null };
    },
    /**
     * The sound path rendered offline, the same way.
     * @param {import("../model/settings.js").Settings} settings @param {number} frames
     * @param {number[]} resetFrames @param {number} volume
     */
    async soundBytes(settings, frames, resetFrames, volume) {
      const { left, right } = await renderOffline(wasm, workletUrl, workletSettings(explorer.tessel, settings),
        frames, resetFrames, volume);
      return interleavedBase64(left, right);
    },
  };
}

async function start() {
  const notice = element("explorer-notice");
  if (typeof WebAssembly !== "object" || typeof Worker !== "function") {
    notice.textContent = "This browser lacks WebAssembly or Web Workers, which the explorer needs; the manual follows.";
    return;
  }
  const wasm = bytesOf(element("tessel-wasm").textContent);
  const engine = element("tessel-engine").textContent;
  const worker = engine + element("chart-worker-source").textContent;
  // Compiled once for the page and its workers, which share its machine code.
  const module = await WebAssembly.compile(wasm);
  const [tessel, ab, xy] = await Promise.all([TesselEngine.loadTesselMap(module), startChartWorkers(module, worker),
    startChartWorkers(module, worker)]);
  const chartWorkers = { ab, xy };
  if (webAudioAvailable()) {
    notice.hidden = true;
  } else {
    notice.textContent = "This browser lacks Web Audio worklets: the explorer draws and charts but cannot play.";
  }
  element("explorer-app").hidden = false;
  const worklet = engine + element("audio-worklet-source").textContent;
  const workletUrl = "data:text/javascript;base64," + base64Of(new TextEncoder().encode(worklet));
  const explorer = new Explorer(tessel, wasm, { module, worker, workletUrl, chartWorkers });
  Object.assign(window, { tesselExplorer: testHook(explorer, wasm, workletUrl) });
}

start().catch((error) => {
  element("explorer-notice").textContent = `The explorer could not start (${error.message}); the manual follows.`;
});
