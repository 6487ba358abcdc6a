// The verdict's words explained where they appear: each a link to the
// manual's glossary, its explanation shown on hover or focus (and a tap
// follows the link to it), and the glossary itself filled in.
import { explainedParts, glossaryOf } from "../model/glossary.js";
import { made } from "./dom.js";

/** @typedef {import("../engine/tessel.js").TesselMap} TesselMap */

/** Writes `text` into `element`, its glossary words explained. @param {HTMLElement} element
 * @param {string} text @param {TesselMap} tessel */
export function writeExplained(element, text, tessel) {
  element.replaceChildren(...explainedParts(tessel, text).map(({ text: words, entry }) => (entry
    ? made("a", { class: "term", href: `#glossary-${entry.id}`, "data-explains": entry.explains,
      "aria-description": entry.explains }, [words])
    : words)));
}

/** The manual's glossary: a term and its explanation each. @param {HTMLElement} list @param {TesselMap} tessel */
export function fillGlossary(list, tessel) {
  list.replaceChildren(...glossaryOf(tessel).entries.flatMap((entry) => [
    made("dt", { id: `glossary-${entry.id}` }, [entry.term]), made("dd", {}, [entry.explains])]));
}
