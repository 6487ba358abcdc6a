// The page's own keys: Space plays and stops, wherever the focus is but in a
// field or on a control that Space presses; ? opens the list of keys (Escape
// closes it), and Ctrl+Z and Ctrl+Shift+Z (or Ctrl+Y) undo and redo the
// settings' last changes, wherever the focus is but in a field that takes
// typing, where they undo the typing.
import { element } from "./dom.js";

/** Whether `target` takes typing. @param {EventTarget | null} target */
function takesTyping(target) {
  return target instanceof HTMLElement && (target.isContentEditable || target.tagName === "TEXTAREA" ||
    (target instanceof HTMLInputElement && target.type === "text"));
}

/** Whether `target` takes Space for itself: a field, a button, a box, a list. @param {EventTarget | null} target */
function takesSpace(target) {
  return takesTyping(target) || (target instanceof HTMLElement &&
    ["INPUT", "SELECT", "BUTTON", "SUMMARY"].includes(target.tagName));
}

/**
 * @param {() => void} playOrStop @param {{undo(): boolean, redo(): boolean}} store
 */
export function listenForKeys(playOrStop, store) {
  const list = /** @type {HTMLDetailsElement} */ (element("keys"));
  document.addEventListener("keydown", (event) => {
    if (event.defaultPrevented || event.altKey) return;
    if (event.ctrlKey || event.metaKey) {
      const key = event.key.toLowerCase();
      if ((key !== "z" && key !== "y") || takesTyping(event.target)) return;
      event.preventDefault();
      if (key === "z" && !event.shiftKey) store.undo();
      else store.redo();
      return;
    }
    if (event.key === "Escape" && list.open) {
      list.open = false;
    } else if (event.key === " " && !takesSpace(event.target)) {
      event.preventDefault();
      playOrStop();
    } else if (event.key === "?" && !takesTyping(event.target)) {
      event.preventDefault();
      list.open = !list.open;
      if (list.open) /** @type {HTMLElement} */ (list.querySelector("summary")).focus();
    }
  });
}
