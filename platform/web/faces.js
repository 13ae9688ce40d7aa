// The faces the host serves, as the page's @font-face rules (which the host writes) declare them:
// text asked for in one of them is drawn with the host's file, any other family by the browser.

export function isServedFace(name) {
  for (const face of document.fonts) {
    if (face.family.replace(/^"(.*)"$/, '$1') === name) return true;
  }
  return false;
}
