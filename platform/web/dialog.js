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
    if (event.key !== 'Tab') return;
    const controls = [...box.querySelectorAll('button:not(:disabled), input:not(:disabled), a[href], [tabindex]:not([tabindex="-1"])')];
    if (controls.length === 0) {
      event.preventDefault();
      return;
    }
    const first = controls[0];
    const last = controls.at(-1);
    if (event.shiftKey && (document.activeElement === first || !box.contains(document.activeElement))) {
      last.focus();
      event.preventDefault();
    } else if (!event.shiftKey && (document.activeElement === last || !box.contains(document.activeElement))) {
      first.focus();
      event.preventDefault();
    }
  });
}
