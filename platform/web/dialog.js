// A modal dialog box over a backdrop: the frame every presented screen is drawn in.

export function dialog(className, role, name) {
  const backdrop = document.createElement('div');
  backdrop.className = 'backdrop';
  const box = document.createElement('div');
  box.className = className;
  box.setAttribute('role', role);
  box.setAttribute('aria-modal', 'true');
  if (name) box.setAttribute('aria-label', name);
  backdrop.append(box);
  return { backdrop, box };
}

// Tab and Shift+Tab go round the box's controls instead of leaving it for the page beneath.
export function keepFocusInside(box) {
  box.addEventListener('keydown', (event) => {
    if (event.key === 'Tab') moveFocusRound(box, event);
  });
}

// The controls Tab stops at inside the box, in order: those shown and enabled, frames included.
function tabStops(box) {
  return [
    ...box.querySelectorAll(
      'button:not(:disabled), input:not(:disabled), a[href], iframe, [tabindex]:not([tabindex="-1"])',
    ),
  ].filter(
    (control) => control.tabIndex >= 0 && control.checkVisibility({ visibilityProperty: true }),
  );
}

// For a Tab pressed in the box (or in a frame of it): from its last stop to its first, and back.
export function moveFocusRound(box, event) {
  const controls = tabStops(box);
  if (controls.length === 0) {
    event.preventDefault();
    return;
  }
  const first = controls[0];
  const last = controls.at(-1);
  const inside = box.contains(document.activeElement) && document.activeElement !== box;
  if (event.shiftKey && (document.activeElement === first || !inside)) {
    last.focus();
    event.preventDefault();
  } else if (!event.shiftKey && (document.activeElement === last || !inside)) {
    first.focus();
    event.preventDefault();
  }
}
