// A slider for the explorer's knobs, on pointer events so that a mouse, a pen
// and a finger all drag it; a finger only from the thumb, so that a swipe
// across the track scrolls the page. Dragging with Shift held (or with fine steps
// switched on) moves it a tenth as fast; the arrow keys take the knob's step,
// with Shift its fine step; Page Up and Page Down a page of steps; Home and
// End its ends. It owns no value of its own: it tells `onInput` what the
// musician asks for, and shows what it is given.

const FINE_SPEED = 0.1;

/**
 * What a slider moves over: its range and scale, the value a position gives, the value `count` steps on, the
 * steps a Page key takes, and what a screen reader says of a value.
 * @typedef {{low: number, high: number, scale: import("../model/knob-scales.js").Scale,
 *   valueAt: (position: number) => number, step: (value: number, count: number, fine: boolean) => number,
 *   page: number, text: (value: number) => string}} SliderKnob
 */

export class Slider {
  /**
   * @param {HTMLElement} element a [role="slider"] holding a .slider-thumb @param {SliderKnob} knob
   * @param {() => boolean} fine whether fine steps are switched on @param {(value: number) => void} onInput
   */
  constructor(element, knob, fine, onInput) {
    this.element = element;
    this.thumb = /** @type {HTMLElement} */ (element.querySelector(".slider-thumb"));
    this.knob = knob;
    this.fine = fine;
    this.onInput = onInput;
    this.value = knob.low;
    this.drag = null;
    element.setAttribute("aria-valuemin", String(knob.low));
    element.setAttribute("aria-valuemax", String(knob.high));
    element.addEventListener("pointerdown", (event) => this.pressed(event));
    element.addEventListener("pointermove", (event) => this.moved(event));
    element.addEventListener("pointerup", () => { this.drag = null; });
    element.addEventListener("pointercancel", () => { this.drag = null; });
    element.addEventListener("keydown", (event) => this.key(event));
  }

  // A new scale or range (the Gate clock's top follows the rate); the value is shown again.
  /** @param {SliderKnob} knob */
  rescale(knob) {
    this.knob = knob;
    this.element.setAttribute("aria-valuemax", String(knob.high));
    this.show(this.value);
  }

  show(value) {
    this.value = value;
    const position = Math.min(1, Math.max(0, this.knob.scale.positionOf(value)));
    this.element.style.setProperty("--position", String(position));
    this.element.setAttribute("aria-valuenow", String(value));
    this.element.setAttribute("aria-valuetext", this.knob.text(value));
  }

  get disabled() {
    return this.element.getAttribute("aria-disabled") === "true";
  }

  set disabled(off) {
    this.element.setAttribute("aria-disabled", off ? "true" : "false");
    this.element.tabIndex = off ? -1 : 0;
  }

  // The position along the track under a pointer, 0 to 1.
  positionUnder(event) {
    const box = this.element.getBoundingClientRect();
    const thumb = this.thumb.getBoundingClientRect().width;
    return (event.clientX - box.left - thumb / 2) / Math.max(1, box.width - thumb);
  }

  pressed(event) {
    if (this.disabled || (event.pointerType === "mouse" && event.button !== 0)) return;
    if (event.pointerType === "touch" && !this.thumb.contains(/** @type {Node} */ (event.target))) return;
    event.preventDefault();
    this.element.focus();
    this.element.setPointerCapture(event.pointerId);
    // A fine drag starts where the thumb is; a coarse one jumps to the pointer.
    const fine = event.shiftKey || this.fine();
    this.drag = { x: event.clientX, position: fine ? this.knob.scale.positionOf(this.value) : this.positionUnder(event) };
    if (!fine) this.ask(this.drag.position);
  }

  moved(event) {
    if (!this.drag) return;
    const box = this.element.getBoundingClientRect();
    const thumb = this.thumb.getBoundingClientRect().width;
    const speed = event.shiftKey || this.fine() ? FINE_SPEED : 1;
    this.drag.position += speed * (event.clientX - this.drag.x) / Math.max(1, box.width - thumb);
    this.drag.x = event.clientX;
    this.ask(this.drag.position);
  }

  ask(position) {
    const value = this.knob.valueAt(Math.min(1, Math.max(0, position)));
    if (value !== this.value) this.onInput(value);
  }

  key(event) {
    if (this.disabled) return;
    const fine = event.shiftKey || this.fine();
    const counts = { ArrowRight: 1, ArrowUp: 1, ArrowLeft: -1, ArrowDown: -1,
      PageUp: this.knob.page, PageDown: -this.knob.page };
    let value;
    if (event.key in counts) value = this.knob.step(this.value, counts[event.key], fine);
    else if (event.key === "Home") value = this.knob.low;
    else if (event.key === "End") value = this.knob.high;
    else return;
    event.preventDefault();
    value = Math.min(this.knob.high, Math.max(this.knob.low, value));
    if (value !== this.value) this.onInput(value);
  }
}
