// The rows of the explorer's controls, made from the module's pin
// declarations in this one place: a knob for each audio input the map reads
// (a, b, x0, y0), each with its LFO row under it, and the Gate clock's knob
// with the Reset clock's row. The panels find them by id.
import { INPUT_KNOBS } from "../model/settings.js";
import { LFO_HZ, LFO_SHAPES, RESET_HZ, depthRange } from "../model/lfo.js";
import { element, made } from "./dom.js";

/** @typedef {import("../engine/tessel.js").TesselMap} TesselMap */

/**
 * A knob: its label, a slider, a number field (text, since the browser's number field would drop a decimal
 * comma), its unit, its steps and a line for what a typed value did.
 * @param {string} name @param {string} label @param {string} unit
 */
function knobRow(name, label, unit) {
  return made("div", { class: "knob", "data-name": name }, [
    made("label", { for: `${name}-number` }, [label]),
    made("div", { id: `${name}-slider`, class: "slider", role: "slider", tabindex: 0, "aria-label": `${label}, slider`,
      "aria-describedby": `${name}-step` }, [made("div", { class: "slider-track" }), made("div", { class: "slider-thumb" })]),
    made("input", { id: `${name}-number`, type: "text", inputmode: "decimal", "aria-describedby": `${name}-message` }),
    " ", made("span", { class: "unit" }, [unit]),
    made("span", { id: `${name}-step`, class: "knob-step" }),
    made("span", { id: `${name}-message`, class: "field-message", role: "status" }),
  ]);
}

/** @param {string} id @param {string} label */
function numberField(id, label) {
  return made("input", { id, type: "text", inputmode: "decimal", size: 5, "aria-label": label });
}

/** @param {HTMLInputElement | HTMLElement} box @param {string} text */
function boxLabel(box, text) {
  return made("label", { for: box.id }, [box, ` ${text}`]);
}

/** A field with its words before and its unit after, on one line. @param {string} before @param {HTMLElement} field
 * @param {string} unit */
function fieldLabel(before, field, unit) {
  return made("label", { class: "lfo-field", for: field.id }, [`${before} `, field, ` ${unit}`]);
}

/** The line saying what a row's typed values or the page did. @param {string} id */
function rowMessage(id) {
  return made("span", { id, class: "field-message", role: "status" });
}

/**
 * An input's LFO: on or off, its shape, rate and depth, each labelled; an empty depth is the page's to find.
 * @param {TesselMap} tessel @param {string} name
 */
function lfoRow(tessel, name) {
  const shape = made("select", { id: `${name}-lfo-shape`, "aria-label": `${name} LFO shape` },
    LFO_SHAPES.map((item) => made("option", { value: item }, [item])));
  const depth = depthRange(tessel, name);
  const hzField = numberField(`${name}-lfo-hz`, `${name} LFO rate, ${LFO_HZ.low} to ${LFO_HZ.high} Hz`);
  const depthField = numberField(`${name}-lfo-depth`, `${name} LFO depth either side, ${depth.low} to ` +
    `${depth.high} V; empty: the largest that keeps the map sounding`);
  depthField.setAttribute("placeholder", "auto");
  return made("div", { class: "lfo", "data-name": name }, [
    boxLabel(made("input", { id: `${name}-lfo`, type: "checkbox" }), `LFO on ${name}`), shape,
    fieldLabel("rate", hzField, "Hz"), fieldLabel("depth ±", depthField, "V"), rowMessage(`${name}-lfo-message`),
  ]);
}

function resetClockRow() {
  return made("div", { class: "lfo", "data-name": "reset" }, [
    boxLabel(made("input", { id: "reset-clock", type: "checkbox" }), "Reset clock"),
    fieldLabel("rate", numberField("reset-hz", `Reset clock rate, ${RESET_HZ.low} to ${RESET_HZ.high} Hz`), "Hz"),
    rowMessage("reset-message"),
  ]);
}

/**
 * Fills the page's two places for rows: the inputs' knobs, and the clocks.
 * @param {TesselMap} tessel
 */
export function makeControlRows(tessel) {
  // a and b first, as a musician turns them most; each as the module declares it.
  const inputs = INPUT_KNOBS.map((name) => tessel.pin(name));
  element("input-rows").replaceChildren(...inputs.flatMap((pin) => [knobRow(pin.name, pin.name, "V"),
    lfoRow(tessel, pin.name)]));
  element("clock-rows").replaceChildren(knobRow("gate", "Gate clock", "Hz"), resetClockRow());
}
