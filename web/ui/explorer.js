// The explorer at the top of the manual: the module's WebAssembly build,
// driven as the pins drive it, drawn, charted and played. One store holds the
// settings; each panel shows its part of them and asks the store for changes.
import { readFragment } from "../model/fragment.js";
import { SettingsStore } from "../model/store.js";
import { ChartPath } from "./chart/chart-path.js";
import { ChartView } from "./chart/chart-view.js";
import { makeControlRows } from "./control-rows.js";
import { PatchPanel } from "./patch-panel.js";
import { RecordPanel } from "./record-panel.js";
import { element } from "./dom.js";
import { listenForKeys } from "./keys.js";
import { KnobPanel } from "./knob-panel.js";
import { LfoPanel } from "./lfo-panel.js";
import { SettingsPanel } from "./settings-panel.js";
import { SoundPanel } from "./sound-panel.js";
import { TakePanel } from "./take-panel.js";

/** @typedef {import("../engine/tessel.js").TesselMap} TesselMap */

// The chart starts again from new x0, y0 once they have rested this long.
const CHART_DELAY_MS = 300;

export class Explorer {
  /**
   * @param {TesselMap} tessel @param {ArrayBuffer} wasm the module's bytes, for the workers and the worklet
   * @param {{worker: string, workletUrl: string}} code the chart worker's script and the worklet's URL
   */
  constructor(tessel, wasm, code) {
    this.tessel = tessel;
    makeControlRows(tessel);
    const link = readFragment(tessel, location.hash);
    this.store = new SettingsStore(link.settings);
    this.knobs = new KnobPanel(tessel, this.store);
    this.lfos = new LfoPanel(tessel, this.store);
    this.settingsPanel = new SettingsPanel(tessel, this.store);
    this.settingsPanel.load(link);
    this.patches = new PatchPanel(tessel, this.store, (kept) => this.settingsPanel.load(kept));
    this.take = new TakePanel(tessel, this.store);
    this.sound = new SoundPanel(tessel, this.store, wasm, code.workletUrl);
    this.recorder = new RecordPanel(tessel, this.store, this.sound);
    this.chart = new ChartView(this.chartElements(), tessel, wasm, code.worker, (a, b) => this.store.set({ a, b }));
    this.path = new ChartPath(tessel, this.chart);
    listenForKeys(() => this.sound.playOrStop(), this.store);
    this.followWithChart();
    this.sound.addEventListener("heard", (event) => this.path.dot(/** @type {CustomEvent} */ (event).detail.frame));
    this.sound.addEventListener("stopped", () => this.path.stopDot());
    this.sound.addEventListener("reset", () => this.take.draw());
    // A patch idea's link sets the fragment, which loads it; the explorer comes into view to show it.
    for (const link of document.querySelectorAll("a.patch-link")) {
      link.addEventListener("click", () => element("explorer").scrollIntoView({ block: "start" }));
    }
  }

  /** @returns {import("./chart/chart-view.js").ChartElements} */
  chartElements() {
    return {
      canvas: element("chart"), overlay: element("chart-overlay"), progress: element("chart-progress"),
      status: element("chart-status"), range: element("chart-range"), hover: element("chart-hover"),
      zoomOut: element("zoom-out"), zoomWhole: element("zoom-whole"), across: element("chart-across"),
      up: element("chart-up"), legend: element("chart-legend"),
    };
  }

  /** The chart marks a and b, words its points at the rate, and is drawn from x0 and y0 once they rest. */
  followWithChart() {
    const { store, chart, path } = this;
    const settings = store.settings;
    chart.setRate(settings.rate);
    chart.mark(settings.a, settings.b);
    chart.compute(settings.x0, settings.y0);
    path.follow(settings);
    /** @type {number | undefined} */
    let timer;
    store.subscribe(["a", "b"], ({ settings: now }) => chart.mark(now.a, now.b));
    store.subscribe(["rate"], ({ settings: now }) => chart.setRate(now.rate));
    store.subscribe(["x0", "y0"], () => {
      clearTimeout(timer);
      timer = setTimeout(() => chart.compute(store.settings.x0, store.settings.y0), CHART_DELAY_MS);
    });
    store.subscribe(null, ({ settings: now }) => path.follow(now));
  }
}
