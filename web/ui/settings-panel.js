// The settings beside the knobs (Mode, Normalize, the sample rate), the patch
// in words with its command line and Copy, and the page's address, which
// keeps the patch as a link.
import { fragmentOf, settingsOfFragment } from "../model/fragment.js";
import { commandLine } from "../model/lfo.js";
import { mostGateHz, ratesOf } from "../model/settings.js";
import { takeSeconds } from "../model/take.js";
import { patchText } from "../model/words.js";
import { element } from "./dom.js";

/** @typedef {import("../engine/tessel.js").TesselMap} TesselMap */
/** @typedef {import("../model/store.js").SettingsStore} SettingsStore */
/** @typedef {import("../model/settings.js").Settings} Settings */

// How long Copy's button says what it did.
const COPY_SAID_MS = 1500;

/** @param {string} id @returns {HTMLInputElement} */
const input = (id) => element(id);

export class SettingsPanel {
  /** @param {TesselMap} tessel @param {SettingsStore} store */
  constructor(tessel, store) {
    this.tessel = tessel;
    this.store = store;
    const rate = /** @type {HTMLSelectElement} */ (element("rate"));
    rate.replaceChildren(...ratesOf(tessel).map((hz) => new Option(`${hz} Hz`, String(hz))));
    for (const radio of /** @type {NodeListOf<HTMLInputElement>} */ (document.querySelectorAll('input[name="mode"]'))) {
      radio.addEventListener("change", () => store.set({ mode: radio.value }));
    }
    input("normalize").addEventListener("change", () => store.set({ normalize: input("normalize").checked }));
    rate.addEventListener("change", () => {
      const hz = Number(rate.value);
      store.set({ rate: hz, gate: Math.min(store.settings.gate, mostGateHz(tessel, hz)) });
    });
    element("copy").addEventListener("click", () => this.copy());
    // A link edited or pasted into the address bar, or history.
    addEventListener("hashchange", () => {
      if (location.hash.slice(1) !== fragmentOf(tessel, store.settings)) {
        store.set(settingsOfFragment(tessel, location.hash));
      }
    });
    this.show(store.settings);
    store.subscribe(null, ({ settings }) => this.show(settings));
  }

  /** @param {Settings} settings */
  show(settings) {
    input(settings.mode === "gated" ? "mode-gated" : "mode-continuous").checked = true;
    input("normalize").checked = settings.normalize;
    input("rate").value = String(settings.rate);
    element("patch-text").textContent = patchText(this.tessel, settings);
    element("command-text").textContent = commandLine(this.tessel, settings, takeSeconds(settings));
    history.replaceState(null, "", `#${fragmentOf(this.tessel, settings)}`);
  }

  async copy() {
    const settings = this.store.settings;
    const text = `${patchText(this.tessel, settings)}\n${commandLine(this.tessel, settings, takeSeconds(settings))}`;
    const button = element("copy");
    try {
      await navigator.clipboard.writeText(text);
      button.textContent = "Copied";
    } catch {
      getSelection().selectAllChildren(element("patch-text"));
      button.textContent = "Selected: copy it";
    }
    setTimeout(() => { button.textContent = "Copy"; }, COPY_SAID_MS);
  }
}
