// A question asked before a control of the platform's own pages does what cannot be taken back:
// an alert over the page that names the consequence, with Cancel and the action. Escape or Cancel
// does nothing; the keyboard goes back to the control that asked either way.

import { dialog, keepFocusInside } from './dialog.js';
import { element } from './dom.js';

let asked = 0;

// Resolves true when the person chose the action, false otherwise. question is the alert's title,
// consequence its message, action the title of the button that goes ahead.
export function confirmAction({ question, consequence, action }) {
  const id = `confirm-${++asked}`;
  const returnFocus = document.activeElement;
  const { backdrop, box } = dialog('alert', 'alertdialog', question);
  backdrop.classList.add('confirm-layer');
  const content = element('div', 'alert-content');
  const title = element('h2', 'alert-title', question);
  title.id = `${id}-title`;
  const message = element('p', 'alert-message', consequence);
  message.id = `${id}-message`;
  content.append(title, message);
  box.setAttribute('aria-labelledby', title.id);
  box.removeAttribute('aria-label');
  box.setAttribute('aria-describedby', message.id);

  const buttons = element('div', 'alert-actions side-by-side');
  const cancel = element('button', 'alert-action cancel', 'Cancel');
  const proceed = element('button', 'alert-action destructive', action);
  for (const button of [cancel, proceed]) button.type = 'button';
  buttons.append(cancel, proceed);
  box.append(content, buttons);

  // What lies beneath takes neither the pointer nor assistive technology while the question stands.
  const covered = [...document.body.children].filter((child) => !child.inert);
  for (const child of covered) child.inert = true;
  document.body.append(backdrop);
  keepFocusInside(backdrop);
  cancel.focus();

  return new Promise((resolve) => {
    const answer = (chosen) => {
      backdrop.remove();
      for (const child of covered) child.inert = false;
      if (returnFocus?.isConnected) returnFocus.focus();
      resolve(chosen);
    };
    cancel.addEventListener('click', () => answer(false));
    proceed.addEventListener('click', () => answer(true));
    backdrop.addEventListener('keydown', (event) => {
      if (event.key !== 'Escape') return;
      event.preventDefault();
      event.stopPropagation();
      answer(false);
    });
  });
}
