// The knobs: a, b, x0 and y0 in volts and the Gate clock in Hz, each a slider
// and a number field. A slider's travel goes mostly where the map sounds (a
// and b), in semitones (the Gate clock) or straight (x0, y0); volts land on
// their floats. A typed value is refused or clamped, and its line says so.
import { KNOB_NAMES, knobsOf, mostGateHz, readField, voltsText } from "../model/settings.js";
import {
  GATE_STEPS, gateHzRounded, linearScale, logScale, onStep, soundingScale, soundingShares, stepGateHz, stepVolts,
  voltsSteps,
} from "../model/knob-scales.js";
import { element } from "./dom.js";
import { sayOfField } from "./number-field.js";
import { Slider } from "./slider.js";

/** @typedef {import("../engine/tessel.js").TesselMap} TesselMap */
/** @typedef {import("../model/store.js").SettingsStore} SettingsStore */
/** @typedef {import("../model/settings.js").KnobName} KnobName */
/** @typedef {import("../model/settings.js").Settings} Settings */

// Steps a Page Up or Page Down key takes: ten of a volts knob's, an octave of the Gate clock's semitones.
const VOLTS_PAGE = 10;
const GATE_PAGE = 12;

export class KnobPanel {
  /** @param {TesselMap} tessel @param {SettingsStore} store */
  constructor(tessel, store) {
    this.tessel = tessel;
    this.store = store;
    this.knobs = knobsOf(tessel);
    // Where the a and b sliders give their travel: where the map sounds.
    this.soundingShares = soundingShares(tessel, this.knobs);
    /** @type {Partial<Record<KnobName, Slider>>} */
    this.sliders = {};
    /** @type {Partial<Record<KnobName, string>>} each number field's text as the page last wrote it */
    this.shown = {};
    for (const name of KNOB_NAMES) this.bind(name);
    for (const name of KNOB_NAMES) this.show(name);
    this.showMode(store.settings);
    store.subscribe(null, ({ settings, before, changed }) => {
      for (const name of KNOB_NAMES) {
        if (changed.has(name) || (name === "gate" && settings.rate !== before.rate)) this.show(name);
      }
      if (changed.has("mode")) this.showMode(settings);
    });
  }

  /** @param {KnobName} name */
  bind(name) {
    const field = /** @type {HTMLInputElement} */ (element(`${name}-number`));
    const knob = this.sliderKnob(name);
    this.sliders[name] = new Slider(element(`${name}-slider`), knob, () => /** @type {HTMLInputElement} */ (element("fine")).checked, (value) => {
      this.message(name, "");
      this.store.set({ [name]: value });
    });
    this.paintTrack(name, knob.scale);
    element(`${name}-step`).textContent = this.stepText(name);
    // Enter and the change that follows it commit once: text the page wrote itself is no new input.
    const commit = () => { if (field.value !== this.shown[name]) this.typed(name, field.value); };
    field.addEventListener("change", commit);
    field.addEventListener("keydown", (event) => {
      if (event.key === "Enter") commit();
      if (event.key === "Escape") this.show(name);
    });
  }

  /**
   * What a knob's slider moves over and how.
   * @param {KnobName} name @returns {import("./slider.js").SliderKnob}
   */
  sliderKnob(name) {
    if (name === "gate") {
      const { low } = this.knobs.gate;
      const high = mostGateHz(this.tessel, this.store.settings.rate);
      const scale = logScale(low, high);
      return {
        low, high, scale, page: GATE_PAGE, text: (hz) => `${hz} Hz`,
        valueAt: (position) => gateHzRounded(scale.valueAt(position)),
        step: (hz, count, fine) => stepGateHz(hz, fine ? GATE_STEPS.fine : GATE_STEPS.usual, count),
      };
    }
    const { low, high } = this.knobs[name];
    const steps = voltsSteps(this.knobs[name]);
    const shares = /** @type {Record<string, number[]>} */ (this.soundingShares)[name];
    const scale = shares ? soundingScale(low, high, shares) : linearScale(low, high);
    /** @param {number} value */
    const onFloat = (value) => Number(voltsText(this.tessel, value));
    return {
      low, high, scale, page: VOLTS_PAGE, text: (value) => `${value} V`,
      valueAt: (position) => onFloat(onStep(scale.valueAt(position), steps.fine)),
      step: (value, count, fine) => onFloat(stepVolts(value, fine ? steps.fine : steps.usual, count)),
    };
  }

  /** The steps beside each knob. @param {KnobName} name */
  stepText(name) {
    if (name === "gate") return "step a semitone, fine 10 cents";
    const { usual, fine } = voltsSteps(this.knobs[name]);
    return `step ${usual} V, fine ${fine} V`;
  }

  /**
   * The track of a slider that gives its travel to where the map sounds shows where that is, brighter where
   * more of the plane sounds.
   * @param {KnobName} name @param {import("../model/knob-scales.js").Scale} scale
   */
  paintTrack(name, scale) {
    if (!scale.columns) return;
    const most = Math.max(...scale.columns.map((column) => column.share));
    const stops = scale.columns.map(({ from, to, share }) => {
      const colour = `color-mix(in srgb, var(--sounding) ${Math.round(100 * share / most)}%, var(--track))`;
      return `${colour} ${(100 * from).toFixed(2)}% ${(100 * to).toFixed(2)}%`;
    });
    /** @type {HTMLElement} */ (element(`${name}-slider`).querySelector(".slider-track")).style.background =
      `linear-gradient(to right, ${stops.join(", ")})`;
  }

  /**
   * A typed value: refused (the settings stay) or clamped, and the field says so; the field then shows the
   * value in effect.
   * @param {KnobName} name @param {string} text
   */
  typed(name, text) {
    const knob = this.knobs[name];
    const high = name === "gate" ? mostGateHz(this.tessel, this.store.settings.rate) : knob.high;
    const read = readField(text, knob.low, high, knob.unit, this.shown[name]);
    this.message(name, read.message, !read.ok);
    if (read.ok) this.store.set({ [name]: read.value });
    this.show(name);
  }

  /** @param {KnobName} name @param {string} text @param {boolean} [refused] */
  message(name, text, refused = false) {
    sayOfField(element(`${name}-number`), element(`${name}-message`), text, refused);
  }

  /** The knob's field and slider show its value. @param {KnobName} name */
  show(name) {
    const settings = this.store.settings;
    const value = name === "gate" ? settings.gate : voltsText(this.tessel, settings[name]);
    this.shown[name] = String(value);
    /** @type {HTMLInputElement} */ (element(`${name}-number`)).value = this.shown[name];
    if (name === "gate") this.sliders.gate.rescale(this.sliderKnob("gate"));
    this.sliders[name].show(settings[name]);
  }

  /** The Gate clock acts in Gated mode only. @param {Settings} settings */
  showMode(settings) {
    /** @type {HTMLInputElement} */ (element("gate-number")).disabled = settings.mode !== "gated";
    this.sliders.gate.disabled = settings.mode !== "gated";
  }
}
