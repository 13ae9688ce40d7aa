// Making the page's elements.

// A new element of the tag, with its class and text when given.
export function element(tag, className, text) {
  const made = document.createElement(tag);
  if (className) made.className = className;
  if (text !== undefined) made.textContent = text;
  return made;
}
