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
