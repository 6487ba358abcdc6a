// Small helpers for the page's elements.

/**
 * The page's element of that id; an Error naming it where the page has none, so a renamed id fails at once.
 * @template {HTMLElement} [T=HTMLElement] @param {string} id @returns {T}
 */
export function element(id) {
  const found = document.getElementById(id);
  if (found === null) throw new Error(`the page has no element #${id}`);
  return /** @type {T} */ (found);
}

/**
 * A new element with attributes and children.
 * @param {string} tag @param {Record<string, string | number>} [attributes] @param {(Node | string)[]} [children]
 */
export function made(tag, attributes = {}, children = []) {
  const node = document.createElement(tag);
  for (const [name, value] of Object.entries(attributes)) node.setAttribute(name, String(value));
  node.append(...children);
  return node;
}

/** Says `text` in a status element, hidden while there is nothing to say. @param {HTMLElement} status
 * @param {string} text */
export function say(status, text) {
  status.textContent = text;
  status.hidden = text === "";
}
