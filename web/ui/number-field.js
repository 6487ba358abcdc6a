// A typed number, read as every field of the page reads it (settings.js's
// readField): refused text puts back the value kept and says so, with the
// range; a clamped value says so; Escape puts back the value shown.
import { readField } from "../model/settings.js";

/** @typedef {{low: number, high: number, unit: string}} FieldRange */

/**
 * A field's line says what was refused or clamped; the field is marked for both, and for assistive technology.
 * @param {HTMLInputElement} field @param {HTMLElement} line @param {string} text @param {boolean} refused
 */
export function sayOfField(field, line, text, refused) {
  line.textContent = text;
  field.setAttribute("aria-invalid", refused ? "true" : "false");
  field.classList.toggle("refused", refused);
  field.classList.toggle("clamped", !refused && text !== "");
}

export class NumberField {
  /**
   * @param {HTMLInputElement} field @param {HTMLElement} line where it says what it did
   * @param {() => FieldRange} range @param {(value: number | null) => void} onValue gets each value typed, or
   *   null for an empty field where `empty` allows one
   * @param {{empty?: boolean}} options whether an empty field is a value of its own (the page's to choose)
   */
  constructor(field, line, range, onValue, { empty = false } = {}) {
    this.field = field;
    this.line = line;
    this.range = range;
    this.onValue = onValue;
    this.empty = empty;
    this.shown = field.value;
    // Enter and the change that follows it read once: text the page wrote itself is no new input.
    const read = () => { if (field.value !== this.shown) this.read(); };
    field.addEventListener("change", read);
    field.addEventListener("keydown", (event) => {
      if (event.key === "Enter") read();
      if (event.key === "Escape") this.show(this.shown);
    });
  }

  /** Shows a value (or text: "" for none) as the one in effect. @param {number | string} value */
  show(value) {
    this.shown = String(value);
    this.field.value = this.shown;
  }

  /** @param {string} text @param {boolean} [refused] */
  say(text, refused = false) {
    sayOfField(this.field, this.line, text, refused);
  }

  read() {
    const text = this.field.value;
    if (this.empty && text.trim() === "") {
      this.say("");
      this.show("");
      this.onValue(null);
      return;
    }
    const { low, high, unit } = this.range();
    const read = readField(text, low, high, unit, this.shown === "" ? "auto" : this.shown);
    this.say(read.message, !read.ok);
    if (!read.ok) {
      this.field.value = this.shown;
      return;
    }
    this.show(read.value);
    this.onValue(read.value);
  }
}
