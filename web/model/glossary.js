// The verdict's words explained (verdict/glossary.cpp, through the .wasm):
// where a text names a glossary entry, so the page can explain it there. No DOM.

/** @typedef {import("../engine/tessel.js").TesselMap} TesselMap */
/** @typedef {{id: string, term: string, phrases: string[], explains: string}} GlossaryEntry */
/** @typedef {{text: string, entry: GlossaryEntry | null}} TextPart */

/** @type {WeakMap<TesselMap, {entries: GlossaryEntry[], pattern: RegExp}>} */
const read = new WeakMap();

/** @param {string} text */
const escaped = (text) => text.replace(/[.*+?^${}()|[\]\\]/g, "\\$&");

/** The glossary's entries and a pattern of all their phrases, longest first, read once. @param {TesselMap} tessel */
export function glossaryOf(tessel) {
  let glossary = read.get(tessel);
  if (!glossary) {
    const entries = tessel.glossary;
    const phrases = entries.flatMap((entry) => entry.phrases).sort((p, q) => q.length - p.length);
    glossary = { entries, pattern: new RegExp(`\\b(${phrases.map(escaped).join("|")})\\b`, "gi") };
    read.set(tessel, glossary);
  }
  return glossary;
}

/**
 * The text in parts, the first phrase naming each entry marked with that entry.
 * @param {TesselMap} tessel @param {string} text @returns {TextPart[]}
 */
export function explainedParts(tessel, text) {
  const { entries, pattern } = glossaryOf(tessel);
  /** @type {TextPart[]} */
  const parts = [];
  const named = new Set();
  let from = 0;
  for (const match of text.matchAll(pattern)) {
    const phrase = match[0].toLowerCase();
    const entry = entries.find((e) => e.phrases.some((p) => p.toLowerCase() === phrase));
    if (!entry || named.has(entry.id)) continue;
    named.add(entry.id);
    parts.push({ text: text.slice(from, match.index), entry: null }, { text: match[0], entry });
    from = /** @type {number} */ (match.index) + match[0].length;
  }
  parts.push({ text: text.slice(from), entry: null });
  return parts.filter((part) => part.text !== "");
}
