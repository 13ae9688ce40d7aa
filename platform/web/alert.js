// An alert in front, drawn as the platform's modal alert: its title and message (from styled
// runs where the application styled them, else the plain text), the panel in the colour the
// application gave it, and a button per action. Enter taps the alert's one default action,
// Escape its cancel action (or its only action); the keyboard stays inside the alert.

import { dialog, keepFocusInside } from './dialog.js';
import { drawStyledText, plainText } from './styled-text.js';
import { cssColor } from './views.js';

let drawnAlerts = 0;

function textBlock(runs, text, className, tag) {
  if (Array.isArray(runs)) return drawStyledText(runs, className);
  const element = document.createElement(tag);
  element.className = className;
  element.textContent = text;
  return element;
}

// The action Enter taps (the only one, else the first default-style one) and the one Escape taps
// (the cancel-style one, else the only one).
function keyActions(actions) {
  const only = actions.length === 1 ? 0 : -1;
  const firstDefault = actions.findIndex((action) => (action.style ?? 'default') === 'default');
  const cancel = actions.findIndex((action) => action.style === 'cancel');
  return { enter: only >= 0 ? only : firstDefault, escape: cancel >= 0 ? cancel : only };
}

export function drawAlert(presented, send) {
  const id = `alert-${++drawnAlerts}`;
  const titleText = Array.isArray(presented.titleRuns)
    ? plainText(presented.titleRuns)
    : presented.title;
  const { backdrop, box } = dialog('alert', 'alertdialog', titleText || 'Alert');
  const background = cssColor(presented.panel?.background);
  if (background) {
    box.style.background = background;
    box.classList.add('coloured');
  }
  const tint = cssColor(presented.panel?.tint);
  if (tint) box.style.setProperty('--alert-tint', tint);

  const content = document.createElement('div');
  content.className = 'alert-content';
  if (presented.titleRuns || presented.title) {
    const title = textBlock(presented.titleRuns, presented.title, 'alert-title', 'div');
    title.id = `${id}-title`;
    title.setAttribute('role', 'heading');
    title.setAttribute('aria-level', '2');
    content.append(title);
    box.setAttribute('aria-labelledby', title.id);
    box.removeAttribute('aria-label');
  }
  if (presented.messageRuns || presented.message) {
    const message = textBlock(presented.messageRuns, presented.message, 'alert-message', 'p');
    message.id = `${id}-message`;
    content.append(message);
    box.setAttribute('aria-describedby', message.id);
  }
  box.append(content);

  // One tap answers the alert: a second key press or click before the host's answer arrives
  // would act on whatever is in front by then.
  let answered = false;
  const tap = (index) => {
    if (answered || index < 0) return;
    answered = true;
    box.querySelectorAll('.alert-action').forEach((button) => { button.disabled = true; });
    send({ type: 'alertAction', index });
  };

  const actions = presented.actions ?? [];
  const buttons = document.createElement('div');
  buttons.className = `alert-actions${actions.length === 2 ? ' side-by-side' : ''}`;
  actions.forEach((action, index) => {
    const button = document.createElement('button');
    button.type = 'button';
    button.textContent = action.title ?? '';
    button.className = `alert-action ${action.style ?? 'default'}`;
    button.addEventListener('click', () => tap(index));
    buttons.append(button);
  });
  box.append(buttons);

  const keys = keyActions(actions);
  backdrop.addEventListener('keydown', (event) => {
    // Enter on a button is that button's click.
    if (event.key === 'Enter' && event.target.closest?.('button')) return;
    if (event.key === 'Enter' && keys.enter >= 0) tap(keys.enter);
    else if (event.key === 'Escape' && keys.escape >= 0) tap(keys.escape);
    else return;
    event.preventDefault();
    event.stopPropagation();
  });
  // Focusable itself, so a click beside the alert keeps Escape and Enter working.
  backdrop.tabIndex = -1;
  keepFocusInside(backdrop);
  return backdrop;
}
