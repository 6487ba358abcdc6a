// Texts and numbers across the .wasm's boundary: read from its memory,
// written where it reads them, checked before they cross.

/** @typedef {import("./calls").WasmExports} WasmExports */

/**
 * A NUL-terminated ASCII text in the instance's memory (an audio worklet has no TextDecoder).
 * @param {WasmExports} exports @param {number} address
 */
export function textAt(exports, address) {
  const bytes = new Uint8Array(exports.memory.buffer, address);
  let text = "";
  for (let i = 0; bytes[i] !== 0; ++i) text += String.fromCharCode(bytes[i]);
  return text;
}

/** A text the .wasm wrote, or null. @param {WasmExports} exports @param {number} address */
export function textOrNull(exports, address) {
  return address === 0 ? null : textAt(exports, address);
}

/** Writes a signal text where the .wasm reads it. @param {WasmExports} exports @param {string} text */
export function writeSignalText(exports, text) {
  const size = exports.tessel_signal_text_size();
  const value = String(text);
  if (value.length >= size || /[^\x20-\x7e]/.test(value)) throw new RangeError(`'${value}' is no signal text`);
  const bytes = new Uint8Array(exports.memory.buffer, exports.tessel_signal_text(), size);
  for (let i = 0; i < value.length; ++i) bytes[i] = value.charCodeAt(i);
  bytes[value.length] = 0;
}

/** @param {string} name @param {number} value @param {number} low @param {number} high */
export function wholeNumber(name, value, low, high) {
  if (!Number.isInteger(value) || value < low || value > high) {
    throw new RangeError(`${name}: ${value} is not a whole number from ${low} to ${high}`);
  }
  return value;
}
