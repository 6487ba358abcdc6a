// Patches kept by name in this browser, each loaded, copied as a link or
// deleted from its row, and Undo and Redo of the settings' last changes.
import { fragmentOf, readFragment } from "../model/fragment.js";
import { MOST_NAME_LENGTH, forgetPatch, keepPatch, keptPatches, patchName } from "../model/patches.js";
import { element, made, say } from "./dom.js";
import { copied } from "./settings-panel.js";

/** @typedef {import("../engine/tessel.js").TesselMap} TesselMap */
/** @typedef {import("../model/store.js").SettingsStore} SettingsStore */
/** @typedef {import("../model/patches.js").KeptPatch} KeptPatch */

/** The page's address with a fragment. @param {string} fragment */
function linkOf(fragment) {
  return `${location.href.replace(/#.*$/, "")}#${fragment}`;
}

export class PatchPanel {
  /**
   * @param {TesselMap} tessel @param {SettingsStore} store
   * @param {(link: {settings: import("../model/settings.js").Settings, refused: string[]}) => void} load
   */
  constructor(tessel, store, load) {
    this.tessel = tessel;
    this.store = store;
    this.load = load;
    const name = /** @type {HTMLInputElement} */ (element("patch-name"));
    name.maxLength = MOST_NAME_LENGTH;
    element("keep-patch").addEventListener("click", () => this.keep());
    name.addEventListener("keydown", (event) => { if (event.key === "Enter") this.keep(); });
    element("undo").addEventListener("click", () => store.undo());
    element("redo").addEventListener("click", () => store.redo());
    store.subscribe(null, () => this.showHistory());
    this.list();
  }

  showHistory() {
    /** @type {HTMLButtonElement} */ (element("undo")).disabled = !this.store.canUndo;
    /** @type {HTMLButtonElement} */ (element("redo")).disabled = !this.store.canRedo;
  }

  keep() {
    const field = /** @type {HTMLInputElement} */ (element("patch-name"));
    const name = patchName(field.value);
    if (name === "") {
      say(element("patches-state"), "Give the patch a name to keep it by.");
      return;
    }
    try {
      keepPatch(localStorage, name, fragmentOf(this.tessel, this.store.settings));
      say(element("patches-state"), `Kept as “${name}”.`);
      field.value = "";
    } catch (error) {
      say(element("patches-state"), `Not kept: this browser refuses its storage (${error.message}).`);
    }
    this.list();
  }

  list() {
    let patches;
    try {
      patches = keptPatches(this.tessel, localStorage);
    } catch (error) {
      say(element("patches-state"), `The kept patches cannot be read: this browser refuses its storage (${error.message}).`);
      return;
    }
    element("patch-list").replaceChildren(...patches.map((patch) => this.row(patch)));
  }

  /** @param {string} name */
  forget(name) {
    try {
      forgetPatch(localStorage, name);
      say(element("patches-state"), `“${name}” deleted.`);
    } catch (error) {
      say(element("patches-state"), `Not deleted: this browser refuses its storage (${error.message}).`);
    }
    this.list();
  }

  /** @param {KeptPatch} patch */
  row(patch) {
    const button = (/** @type {string} */ text, /** @type {string} */ label, /** @type {() => void} */ act) => {
      const pressed = made("button", { type: "button", "aria-label": `${label} ${patch.name}` }, [text]);
      pressed.addEventListener("click", act);
      return pressed;
    };
    const copy = button("Copy link", "Copy the link of", () => copied(copy, "Copy link", linkOf(patch.fragment),
      () => say(element("patches-state"), linkOf(patch.fragment))));
    const children = [made("span", { class: "patch-name" }, [patch.name]),
      button("Load", "Load", () => this.load(readFragment(this.tessel, patch.fragment))), copy,
      button("Delete", "Delete", () => this.forget(patch.name))];
    if (patch.refused.length) {
      children.push(made("span", { class: "patch-refused" },
        [`no longer reads in full: ${patch.refused.join("; ")}; the rest loads`]));
    }
    return made("li", {}, children);
  }
}
