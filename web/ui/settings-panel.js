// The settings beside the knobs (Mode, Normalize, the sample rate), the patch
// in words with its command line and Copy, and the page's address, which
// keeps the patch as a link.
import { fragmentOf, readFragment } from "../model/fragment.js";
import { commandLine } from "../model/lfo.js";
import { mostGateHz, ratesOf } from "../model/settings.js";
import { takeSeconds } from "../model/take.js";
import { patchText } from "../model/words.js";
import { element, say } from "./dom.js";

/** @typedef {import("../engine/tessel.js").TesselMap} TesselMap */
/** @typedef {import("../model/store.js").SettingsStore} SettingsStore */
/** @typedef {import("../model/settings.js").Settings} Settings */

// How long Copy's button says what it did.
const COPY_SAID_MS = 1500;

/**
 * Puts text on the clipboard and says so on its button for a moment; where the clipboard is refused, `select`
 * shows it selected to copy by hand.
 * @param {HTMLElement} button @param {string} label its own words @param {string} text @param {() => void} select
 */
export async function copied(button, label, text, select) {
  try {
    await navigator.clipboard.writeText(text);
    button.textContent = "Copied";
  } catch {
    select();
    button.textContent = "Selected: copy it";
  }
  setTimeout(() => { button.textContent = label; }, COPY_SAID_MS);
}

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
    element("copy-link").addEventListener("click", () => this.copyLink());
    // A link edited or pasted into the address bar, or history.
    addEventListener("hashchange", () => {
      if (location.hash.slice(1) !== fragmentOf(tessel, store.settings)) this.load(readFragment(tessel, location.hash));
    });
    this.show(store.settings);
    store.subscribe(null, ({ settings }) => this.show(settings));
  }

  /**
   * A link's settings, and above the explorer what of it was refused, kept and clamped, until the next link.
   * @param {{settings: Settings, refused: string[]}} link
   */
  load({ settings, refused }) {
    this.store.set(settings);
    say(element("link-notice"), refused.length ? `The link's ${refused.join("; ")}. The rest of it is loaded.` : "");
  }

  /** @param {Settings} settings */
  show(settings) {
    input(settings.mode === "gated" ? "mode-gated" : "mode-continuous").checked = true;
    input("normalize").checked = settings.normalize;
    input("rate").value = String(settings.rate);
    element("patch-text").textContent = patchText(this.tessel, settings);
    element("command-text").textContent = commandLine(this.tessel, settings, takeSeconds(settings));
    history.replaceState(null, "", `#${fragmentOf(this.tessel, settings)}`);
    // A link shown to copy by hand is the last patch's.
    element("patch-link").hidden = true;
  }

  /** Copies the patch in words and its command line, or selects the words where the clipboard is refused. */
  copy() {
    const settings = this.store.settings;
    const text = `${patchText(this.tessel, settings)}\n${commandLine(this.tessel, settings, takeSeconds(settings))}`;
    return copied(element("copy"), "Copy", text, () => getSelection().selectAllChildren(element("patch-text")));
  }

  /** Copies the link to this patch (the page's address, which holds it). */
  copyLink() {
    return copied(element("copy-link"), "Copy link", location.href, () => {
      const shown = element("patch-link");
      shown.textContent = location.href;
      shown.hidden = false;
      getSelection().selectAllChildren(shown);
    });
  }
}
