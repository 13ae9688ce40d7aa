// What a browser the host refused sees in place of the library: what happened, in plain words
// for each refusal the host names (and for a pairing code that no longer opens), and what to do.

import { element } from './dom.js';
import { pairingCodeRefused } from './pairing.js';

const pairAgain = [
  'On a browser that shows the library, open Settings (the gear at the top) and choose '
    + '“Add a device”.',
  'Open the address it gives on this device, or scan its QR code.',
];

const cases = {
  usedCode: {
    title: 'This pairing code was used or has expired',
    text: 'A pairing code opens Pagewyn once, within 5 minutes of being made.',
    steps: pairAgain,
  },
  'removed-device': {
    title: 'This device was removed',
    text: 'It was taken off the paired devices in Pagewyn’s settings, so it no longer opens the '
      + 'library.',
    steps: pairAgain,
  },
  'not-paired': {
    title: 'This browser is not paired yet',
    text: 'Pagewyn opens the library only in a browser that holds its key.',
    steps: [
      'On the computer running Pagewyn, open the address it printed when it started.',
      'On another device, pair it once: on a browser that shows the library, open Settings and '
        + 'choose “Add a device”, then open the address it gives here.',
    ],
  },
  'earlier-launch': {
    title: 'Pagewyn was started again',
    text: 'This page holds the key of an earlier start of Pagewyn, which no longer opens the '
      + 'library.',
    steps: ['Open the address Pagewyn printed when it started this time.'],
  },
  'other-address': {
    title: 'Pagewyn does not answer on this address',
    text: 'The name in the address bar is not one Pagewyn listens on.',
    steps: [
      'Open the address Pagewyn printed, or one its settings page shows under “Add a device”.',
    ],
  },
};

// The case for the host's refusal: a pairing code refused just now explains a browser without a
// key better than the host can.
function refusalCase(failure) {
  const unknownBrowser = failure.refusal === 'not-paired' || failure.refusal === 'removed-device';
  if (unknownBrowser && pairingCodeRefused()) return cases.usedCode;
  return cases[failure.refusal] ?? {
    title: 'Pagewyn refused this page',
    text: failure.message,
    steps: ['Open the address Pagewyn printed when it started.'],
  };
}

// Draws the refusal into root, in place of whatever it showed.
export function showRefusal(root, failure) {
  const { title, text, steps } = refusalCase(failure);
  const page = element('section', 'refusal');
  page.setAttribute('aria-labelledby', 'refusal-title');
  const icon = element('img', 'refusal-icon');
  icon.src = '/icon.svg';
  icon.alt = '';
  const heading = element('h1', 'refusal-title', title);
  heading.id = 'refusal-title';
  const todo = element('ol', 'refusal-steps');
  todo.append(...steps.map((step) => element('li', '', step)));
  const body = element('div', 'refusal-body');
  body.append(icon, heading, element('p', 'refusal-text', text),
    element('h2', 'refusal-what-to-do', 'What to do'), todo);
  page.append(body);
  root.removeAttribute('aria-busy');
  root.setAttribute('aria-label', 'Pagewyn');
  root.replaceChildren(page);
  document.title = `Pagewyn: ${title}`;
}
