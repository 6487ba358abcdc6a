// The settings the page holds, in one place: controls ask it for a change, and
// each panel hears of the changes to the fields it shows, so it redraws only
// its own part. It keeps the last changes to undo and redo. No DOM.

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

// Changes kept to undo; changes to the same fields this close together (a drag, typing) are undone as one.
const MOST_UNDONE = 100;
const ONE_CHANGE_MS = 700;

export class SettingsStore {
  /** @type {Settings} */
  #settings;
  /** @type {{fields: Field[] | null, listener: (change: Change) => void}[]} */
  #listeners = [];
  /** @type {Settings[]} the settings before each change kept, the last last */
  #undone = [];
  /** @type {Settings[]} the settings each undo left, the last undone last */
  #redone = [];
  /** The last change's fields and time, to tell a drag's steps from a new change. */
  #last = { fields: "", at: -Infinity };

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
    const changed = this.#changed(values);
    if (changed.size === 0) return changed;
    const fields = [...changed].sort().join();
    const now = Date.now();
    if (fields !== this.#last.fields || now - this.#last.at > ONE_CHANGE_MS) {
      this.#undone = [...this.#undone.slice(1 - MOST_UNDONE), this.#settings];
    }
    this.#last = { fields, at: now };
    this.#redone = [];
    this.#apply(values, changed);
    return changed;
  }

  /** Whether there is a change to undo. */
  get canUndo() {
    return this.#undone.length > 0;
  }

  /** Whether there is an undone change to redo. */
  get canRedo() {
    return this.#redone.length > 0;
  }

  /** Puts back the settings before the last change kept; false where none is left. */
  undo() {
    return this.#step(this.#undone, this.#redone);
  }

  /** Makes again the last change undone; false where none is. */
  redo() {
    return this.#step(this.#redone, this.#undone);
  }

  /** @param {Settings[]} from @param {Settings[]} to */
  #step(from, to) {
    const settings = from.pop();
    if (!settings) return false;
    to.push(this.#settings);
    this.#last = { fields: "", at: -Infinity };
    this.#apply(settings, this.#changed(settings));
    return true;
  }

  /** The fields whose values differ from those held. @param {Partial<Settings>} values */
  #changed(values) {
    const changed = /** @type {Set<Field>} */ (new Set());
    for (const [field, value] of Object.entries(values)) {
      if (!same(this.#settings[/** @type {Field} */ (field)], value)) changed.add(/** @type {Field} */ (field));
    }
    return changed;
  }

  /** The listeners of the fields that changed hear of it. @param {Partial<Settings>} values @param {Set<Field>} changed */
  #apply(values, changed) {
    if (changed.size === 0) return;
    const before = this.#settings;
    this.#settings = Object.freeze({ ...before, ...values });
    const change = { settings: this.#settings, before, changed };
    for (const { fields, listener } of this.#listeners) {
      if (fields === null || fields.some((field) => changed.has(field))) listener(change);
    }
  }

  /**
   * `listener` hears of every change to any of `fields` (null: of every change).
   * @param {Field[] | null} fields @param {(change: Change) => void} listener
   */
  subscribe(fields, listener) {
    this.#listeners.push({ fields, listener });
  }
}
