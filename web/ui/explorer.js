// The explorer at the top of the manual: the module's WebAssembly build,
// driven as the pins drive it, drawn, charted and played. One store holds the
// settings; each panel shows its part of them and asks the store for changes.
import { CHART_PLANES, pickedInputs } from "../model/chart-planes.js";
import { readFragment } from "../model/fragment.js";
import { SettingsStore } from "../model/store.js";
import { ChartPath } from "./chart/chart-path.js";
import { copyChartSection } from "./chart/chart-section.js";
import { ChartView } from "./chart/chart-view.js";
import { makeControlRows } from "./control-rows.js";
import { fillGlossary } from "./glossary-view.js";
import { PathVerdict } from "./path-verdict.js";
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

// A chart starts again at new values of the inputs it holds still once they have rested this long.
const CHART_DELAY_MS = 300;

export class Explorer {
  /**
   * @param {TesselMap} tessel @param {ArrayBuffer} wasm the module's bytes, for the worklet
   * @param {{module: WebAssembly.Module, worker: string, workletUrl: string,
   *   chartWorkers: Record<"ab" | "xy", Worker[]>}} code the module compiled from them, for the workers; the chart
   *   worker's script, the worklet's URL and each chart's workers (startChartWorkers)
   */
  constructor(tessel, wasm, code) {
    this.tessel = tessel;
    makeControlRows(tessel);
    fillGlossary(element("glossary-list"), tessel);
    const link = readFragment(tessel, location.hash);
    this.store = new SettingsStore(link.settings);
    this.knobs = new KnobPanel(tessel, this.store);
    this.lfos = new LfoPanel(tessel, this.store);
    this.settingsPanel = new SettingsPanel(tessel, this.store);
    this.settingsPanel.load(link);
    this.patches = new PatchPanel(tessel, this.store, (kept) => this.settingsPanel.load(kept));
    this.take = new TakePanel(tessel, this.store, new PathVerdict(code.module, code.worker));
    this.sound = new SoundPanel(tessel, this.store, wasm, code.workletUrl);
    this.recorder = new RecordPanel(tessel, this.store, this.sound);
    /** @param {import("../model/chart-planes.js").ChartPlane} plane @param {string} prefix */
    const chart = (plane, prefix) => new ChartView(plane, this.chartElements(prefix), tessel,
      code.chartWorkers[plane.name], (across, up) => this.store.set(pickedInputs(plane, across, up)));
    this.chart = chart(CHART_PLANES.ab, "");
    this.startChart = chart(CHART_PLANES.xy, copyChartSection(element("explorer-chart"), element("start-chart"),
      CHART_PLANES.xy));
    this.startChart.scheduler.giveWayTo(this.chart.scheduler);
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

  /** @param {string} prefix of the chart's ids @returns {import("./chart/chart-view.js").ChartElements} */
  chartElements(prefix) {
    /** @param {string} id @returns {any} */
    const of = (id) => element(prefix + id);
    return {
      canvas: of("chart"), overlay: of("chart-overlay"), progress: of("chart-progress"), status: of("chart-status"),
      range: of("chart-range"), hover: of("chart-hover"), zoomOut: of("zoom-out"), zoomWhole: of("zoom-whole"),
      across: of("chart-across"), up: of("chart-up"), legend: of("chart-legend"),
    };
  }

  /**
   * Each chart marks its point, words its points at the rate, and is drawn anew once the inputs it holds rest.
   * The charts start last, when the page's thread has drawn the rest: the workers would otherwise judge the first
   * few tasks and wait for it to take their answers.
   */
  followWithChart() {
    const { store, path } = this;
    const charts = [this.chart, this.startChart];
    for (const chart of charts) {
      const { across, up, held } = chart.plane;
      const settings = store.settings;
      chart.setRate(settings.rate);
      chart.mark(settings[across], settings[up]);
      /** @type {number | undefined} */
      let timer;
      store.subscribe([across, up], ({ settings: now }) => chart.mark(now[across], now[up]));
      store.subscribe(["rate"], ({ settings: now }) => chart.setRate(now.rate));
      store.subscribe(held, () => {
        clearTimeout(timer);
        timer = setTimeout(() => chart.compute(held.map((name) => store.settings[name])), CHART_DELAY_MS);
      });
    }
    path.follow(store.settings);
    store.subscribe(null, ({ settings: now }) => path.follow(now));
    for (const chart of charts) chart.compute(chart.plane.held.map((name) => store.settings[name]));
  }
}
