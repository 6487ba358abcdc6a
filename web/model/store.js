// The settings the page holds, in one place: controls ask it for a change, and
// each panel hears of the changes to the fields it shows, so it redraws only
// its own part. No DOM.

/** @typedef {import("./settings.js").Settings} Settings */
/** @typedef {keyof Settings} Field */
/**
 * A change as a panel hears it: the settings now and before, and the fields that differ.
 * @typedef {{settings: Settings, before: Settings, changed: Set<Field>}} Change
 */

/** Whether two settings' values are alike, field by field (an LFO is an object). @param {any} p @param {any} q
 * @returns {boolean} */
function same(p, q) {
  if (p === q) return true;
  if (typeof p !== "object" || typeof q !== "object" || p === null || q === null) return false;
  const keys = Object.keys(p);
  return keys.length === Object.keys(q).length && keys.every((key) => same(p[key], q[key]));
}

export class SettingsStore {
  /** @type {Settings} */
  #settings;
  /** @type {{fields: Field[] | null, listener: (change: Change) => void}[]} */
  #listeners = [];

  /** @param {Settings} settings */
  constructor(settings) {
    this.#settings = Object.freeze({ ...settings });
  }

  /** @returns {Readonly<Settings>} */
  get settings() {
    return this.#settings;
  }

  /**
   * Sets some fields; the listeners of those that changed hear of it, in the order they subscribed. A value
   * equal to the one held changes nothing, so a control set to its own value sends nothing on.
   * @param {Partial<Settings>} values @returns {Set<Field>} the fields that changed
   */
  set(values) {
    const before = this.#settings;
    const changed = /** @type {Set<Field>} */ (new Set());
    for (const [field, value] of Object.entries(values)) {
      if (!same(before[/** @type {Field} */ (field)], value)) changed.add(/** @type {Field} */ (field));
    }
    if (changed.size === 0) return changed;
    this.#settings = Object.freeze({ ...before, ...values });
    const change = { settings: this.#settings, before, changed };
    for (const { fields, listener } of this.#listeners) {
      if (fields === null || fields.some((field) => changed.has(field))) listener(change);
    }
    return changed;
  }

  /**
   * `listener` hears of every change to any of `fields` (null: of every change).
   * @param {Field[] | null} fields @param {(change: Change) => void} listener
   */
  subscribe(fields, listener) {
    this.#listeners.push({ fields, listener });
  }
}
