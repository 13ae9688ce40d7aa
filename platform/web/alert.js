// An alert in front: its title, its message and a button per action.

import { dialog } from './dialog.js';

export function drawAlert(presented, send) {
  const { backdrop, box } = dialog('alert', 'alertdialog', presented.title || 'Alert');
  if (presented.title) {
    const title = document.createElement('h2');
    title.className = 'alert-title';
    title.textContent = presented.title;
    box.append(title);
  }
  if (presented.message) {
    const message = document.createElement('p');
    message.className = 'alert-message';
    message.textContent = presented.message;
    box.append(message);
  }
  const actions = document.createElement('div');
  actions.className = 'alert-actions';
  (presented.actions ?? []).forEach((action, index) => {
    const button = document.createElement('button');
    button.type = 'button';
    button.textContent = action.title ?? '';
    button.className = `alert-action ${action.style ?? 'default'}`;
    button.addEventListener('click', () => send({ type: 'alertAction', index }));
    actions.append(button);
  });
  box.append(actions);
  return backdrop;
}
