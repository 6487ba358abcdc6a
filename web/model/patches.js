// Patches kept by name in the browser's storage, each as its settings'
// fragment, so that a kept patch is also a link. A patch that no longer
// reads in full (a field this page refuses) is listed with what is refused,
// never dropped. No DOM: the storage is given (the page's localStorage).

import { readFragment } from "./fragment.js";

/** @typedef {import("../engine/tessel.js").TesselMap} TesselMap */
/** @typedef {Pick<Storage, "getItem" | "setItem" | "removeItem" | "key" | "length">} PatchStorage */
/** @typedef {{name: string, fragment: string, settings: import("./settings.js").Settings, refused: string[]}} KeptPatch */

// Every kept patch's key begins so; the rest is its name.
const KEY_PREFIX = "tessel-map patch: ";
export const MOST_NAME_LENGTH = 60;

/** A name as kept: trimmed, whitespace runs made one space, cut to the longest. @param {string} name */
export function patchName(name) {
  return String(name).trim().replace(/\s+/g, " ").slice(0, MOST_NAME_LENGTH);
}

/**
 * The kept patches by name, each read as a link is.
 * @param {TesselMap} tessel @param {PatchStorage} storage @returns {KeptPatch[]}
 */
export function keptPatches(tessel, storage) {
  /** @type {KeptPatch[]} */
  const patches = [];
  for (let i = 0; i < storage.length; ++i) {
    const key = storage.key(i);
    if (key === null || !key.startsWith(KEY_PREFIX)) continue;
    const fragment = storage.getItem(key) ?? "";
    patches.push({ name: key.slice(KEY_PREFIX.length), fragment, ...readFragment(tessel, fragment) });
  }
  return patches.sort((p, q) => p.name.localeCompare(q.name));
}

/**
 * Keeps a fragment under a name, replacing any of that name. Throws where the storage refuses (full,
 * switched off), with the browser's words.
 * @param {PatchStorage} storage @param {string} name @param {string} fragment
 */
export function keepPatch(storage, name, fragment) {
  storage.setItem(KEY_PREFIX + patchName(name), fragment);
}

/** @param {PatchStorage} storage @param {string} name */
export function forgetPatch(storage, name) {
  storage.removeItem(KEY_PREFIX + name);
}
