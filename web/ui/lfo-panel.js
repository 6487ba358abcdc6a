// The LFO beside each of a, b, x0 and y0 (shape, rate, depth; the knob's
// value is its centre) and the Reset clock, kept in step with the settings;
// what their controls ask for goes to the store.
import { LFO_HZ, LFO_INPUTS, RESET_HZ, depthRange, lfoNumber } from "../model/lfo.js";
import { element } from "./dom.js";

/** @typedef {import("../engine/tessel.js").TesselMap} TesselMap */
/** @typedef {import("../model/store.js").SettingsStore} SettingsStore */
/** @typedef {import("../model/settings.js").Settings} Settings */

/** @param {string} id @returns {HTMLInputElement} */
const input = (id) => element(id);

export class LfoPanel {
  /** @param {TesselMap} tessel @param {SettingsStore} store */
  constructor(tessel, store) {
    this.tessel = tessel;
    this.store = store;
    for (const name of LFO_INPUTS) {
      const read = () => this.readLfo(name);
      for (const part of ["lfo", "lfo-shape", "lfo-hz", "lfo-depth"]) {
        element(`${name}-${part}`).addEventListener("change", read);
      }
    }
    const readClock = () => store.set({
      resetHz: input("reset-clock").checked ? lfoNumber(input("reset-hz").value, RESET_HZ) : 0 });
    input("reset-clock").addEventListener("change", readClock);
    input("reset-hz").addEventListener("change", readClock);
    this.show(store.settings);
    store.subscribe(["lfos", "resetHz"], ({ settings }) => this.show(settings));
  }

  /** @param {string} name */
  readLfo(name) {
    const lfo = input(`${name}-lfo`).checked ? {
      shape: input(`${name}-lfo-shape`).value,
      hz: lfoNumber(input(`${name}-lfo-hz`).value, LFO_HZ),
      depth: lfoNumber(input(`${name}-lfo-depth`).value, depthRange(this.tessel, name)),
    } : null;
    this.store.set({ lfos: { ...this.store.settings.lfos, [name]: lfo } });
  }

  /** Shows the settings' LFOs and Reset clock; a control that is off keeps its last values. @param {Settings} settings */
  show(settings) {
    for (const name of LFO_INPUTS) {
      const lfo = settings.lfos[name];
      input(`${name}-lfo`).checked = lfo !== null;
      if (lfo) {
        input(`${name}-lfo-shape`).value = lfo.shape;
        input(`${name}-lfo-hz`).value = String(lfo.hz);
        input(`${name}-lfo-depth`).value = String(lfo.depth);
      } else if (input(`${name}-lfo-hz`).value === "") {
        input(`${name}-lfo-hz`).value = String(LFO_HZ.initial);
        input(`${name}-lfo-depth`).value = String(depthRange(this.tessel, name).initial);
      }
    }
    input("reset-clock").checked = settings.resetHz > 0;
    input("reset-hz").value = String(settings.resetHz > 0 ? settings.resetHz : input("reset-hz").value ||
      RESET_HZ.initial);
  }
}
