// The LFO beside each of a, b, x0 and y0 (shape, rate, depth; the knob's
// value is its centre) and the Reset clock, kept in step with the settings;
// what their controls ask for goes to the store. An LFO switched on without a
// typed depth gets the largest that keeps the map sounding, found by
// rendering on this thread a slice at a time between the page's other work.
import { LFO_HZ, LFO_INPUTS, RESET_HZ, depthRange } from "../model/lfo.js";
import { safeDepth } from "../model/safe-depth.js";
import { element } from "./dom.js";
import { NumberField } from "./number-field.js";

/** @typedef {import("../engine/tessel.js").TesselMap} TesselMap */
/** @typedef {import("../model/store.js").SettingsStore} SettingsStore */
/** @typedef {import("../model/settings.js").Settings} Settings */
/** @typedef {ReturnType<typeof safeDepth>} Search */

/** @param {string} id @returns {HTMLInputElement} */
const input = (id) => element(id);

/** What the page says of the depth it found. @param {{depth: number, stops: boolean, stopsAt: number | null}} found */
function foundText({ depth, stops, stopsAt }) {
  if (stops) return `Even ±${depth} V stops the map within a period here: only Reset (or Reset on change) ` +
    "starts it again.";
  return `Depth ±${depth} V keeps the map sounding over a whole period` +
    (stopsAt === null ? "." : ` (±${stopsAt} V would stop it).`);
}

export class LfoPanel {
  /** @param {TesselMap} tessel @param {SettingsStore} store */
  constructor(tessel, store) {
    this.tessel = tessel;
    this.store = store;
    /** @type {Record<string, {hz: NumberField, depth: NumberField}>} */
    this.fields = {};
    /** A depth being found: for which input, its search, the next slice's timer. @type {{name: string,
     * search: Search, timer: number} | null} */
    this.finding = null;
    /** The inputs whose LFO has the depth the page found: switched off, they are the page's to find again. */
    this.foundDepths = new Set();
    for (const name of LFO_INPUTS) this.bind(name);
    this.resetHz = new NumberField(input("reset-hz"), element("reset-message"),
      () => ({ ...RESET_HZ, unit: "Hz" }), () => this.readClock());
    input("reset-clock").addEventListener("change", () => this.readClock());
    // A link replaces the patch: a depth still being found was asked of the patch it replaces.
    addEventListener("hashchange", () => {
      if (!this.finding) return;
      const { name } = this.finding;
      this.stopFinding();
      input(`${name}-lfo`).checked = this.store.settings.lfos[name] !== null;
    });
    this.show(store.settings);
    /** The input whose row says what the page found of its depth, true until the next change. @type {string | null} */
    this.saidFound = null;
    store.subscribe(null, ({ settings, changed }) => {
      if (this.saidFound) element(`${this.saidFound}-lfo-message`).textContent = "";
      this.saidFound = null;
      if (changed.has("lfos") || changed.has("resetHz")) this.show(settings);
      if (this.finding) this.findDepth(this.finding.name);
    });
  }

  /** @param {string} name */
  bind(name) {
    const line = element(`${name}-lfo-message`);
    const hz = new NumberField(input(`${name}-lfo-hz`), line, () => ({ ...LFO_HZ, unit: "Hz" }),
      () => this.reshaped(name));
    const depth = new NumberField(input(`${name}-lfo-depth`), line,
      () => ({ ...depthRange(this.tessel, name), unit: "V" }), () => {
        this.foundDepths.delete(name);
        this.readLfo(name);
      }, { empty: true });
    hz.show(LFO_HZ.initial);
    this.fields[name] = { hz, depth };
    input(`${name}-lfo`).addEventListener("change", () => this.readLfo(name));
    input(`${name}-lfo-shape`).addEventListener("change", () => this.reshaped(name));
  }

  /** A new shape or rate: a depth the page found is found again for it. @param {string} name */
  reshaped(name) {
    if (this.foundDepths.delete(name)) this.fields[name].depth.show("");
    this.readLfo(name);
  }

  readClock() {
    this.store.set({ resetHz: input("reset-clock").checked ? Number(this.resetHz.shown) : 0 });
  }

  /** The LFO as its row shows it; switched on without a depth, the depth is found first. @param {string} name */
  readLfo(name) {
    if (this.finding && this.finding.name === name) this.stopFinding();
    const { hz, depth } = this.fields[name];
    if (input(`${name}-lfo`).checked && depth.shown === "") {
      this.findDepth(name);
      return;
    }
    const lfo = input(`${name}-lfo`).checked ?
      { shape: input(`${name}-lfo-shape`).value, hz: Number(hz.shown), depth: Number(depth.shown) } : null;
    this.store.set({ lfos: { ...this.store.settings.lfos, [name]: lfo } });
  }

  /** Finds the depth for `name`'s LFO at the settings now, then switches it on. @param {string} name */
  findDepth(name) {
    this.stopFinding();
    const { hz } = this.fields[name];
    const search = safeDepth(this.tessel, this.store.settings, name,
      { shape: input(`${name}-lfo-shape`).value, hz: Number(hz.shown) });
    const line = element(`${name}-lfo-message`);
    line.textContent = "Finding the largest depth that keeps the map sounding…";
    const slice = () => {
      const next = search.next();
      if (!next.done) {
        this.finding.timer = setTimeout(slice);
        return;
      }
      this.finding = null;
      this.fields[name].depth.show(next.value.depth);
      this.foundDepths.add(name);
      this.readLfo(name);
      line.textContent = foundText(next.value);
      this.saidFound = name;
    };
    this.finding = { name, search, timer: setTimeout(slice) };
  }

  stopFinding() {
    if (!this.finding) return;
    clearTimeout(this.finding.timer);
    this.finding.search.return(undefined);
    element(`${this.finding.name}-lfo-message`).textContent = "";
    this.finding = null;
  }

  /**
   * Shows the settings' LFOs and Reset clock; a control that is off keeps its last values, but a depth the page
   * found, which is the page's to find again.
   * @param {Settings} settings
   */
  show(settings) {
    for (const name of LFO_INPUTS) {
      const lfo = settings.lfos[name];
      if (!(this.finding && this.finding.name === name)) input(`${name}-lfo`).checked = lfo !== null;
      if (lfo) {
        input(`${name}-lfo-shape`).value = lfo.shape;
        this.fields[name].hz.show(lfo.hz);
        this.fields[name].depth.show(lfo.depth);
      } else if (this.foundDepths.delete(name)) {
        this.fields[name].depth.show("");
      }
    }
    input("reset-clock").checked = settings.resetHz > 0;
    this.resetHz.show(settings.resetHz > 0 ? settings.resetHz : this.resetHz.shown || RESET_HZ.initial);
  }
}
