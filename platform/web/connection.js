// The page's side of the host's protocol: the state for a viewport, one event at a time, and
// the stream that says when the state changed elsewhere (with polling when no stream can be had).
// Every request to the host goes through hostFetch, which sends the launch's token in a header
// (or, on a paired device without it, the device's key): neither is ever in a cookie, which the
// browser would send to every port of this machine.

import { deviceCredential, pairingDone } from './pairing.js';

const tokenHeader = 'X-Pagewyn-Token';
const tokenKey = 'pagewyn-token';
const windowHeader = 'X-Pagewyn-Window';
const windowKey = 'pagewyn-window';

// The printed address carries the token: the page keeps it (in session storage, for a reload of
// this tab) and takes it out of the address bar and the history.
function launchToken() {
  const address = new URL(window.location.href);
  const given = address.searchParams.get('token');
  if (given !== null) {
    try {
      sessionStorage.setItem(tokenKey, given);
    } catch {
      // Without session storage a reload asks for the printed address again.
    }
    address.searchParams.delete('token');
    history.replaceState(history.state, '', address.pathname + address.search + address.hash);
    return given;
  }
  try {
    return sessionStorage.getItem(tokenKey) ?? '';
  } catch {
    return '';
  }
}

let token = null;

// Takes the launch's token into the page's keeping and out of the address bar. Called as the page
// starts; the first request takes it otherwise.
export function takeLaunchToken() {
  token ??= launchToken();
  return token;
}

// The name of this tab's window of the application: each tab has a screen of its own (its search,
// its open book), kept for a reload of the tab (in session storage). "new" until the host names it.
let windowName = null;

function currentWindowName() {
  if (windowName === null) {
    try {
      windowName = sessionStorage.getItem(windowKey) ?? 'new';
    } catch {
      windowName = 'new';
    }
  }
  return windowName;
}

// Keeps the name the host gave this tab's window: with its first state, or a new one when the
// window it named was gone.
export function keepWindowName(name) {
  if (typeof name !== 'string' || name === windowName) return;
  windowName = name;
  try {
    sessionStorage.setItem(windowKey, name);
  } catch {
    // Without session storage a reload starts at the library screen.
  }
  // The change stream keeps the window while the tab is open: it is opened again under the name.
  renewStream?.();
}

let renewStream = null;

// The headers every request to the host carries: the launch's token when this tab has it, else
// the paired device's key; and the tab's window.
export function hostHeaderPairs() {
  const launch = takeLaunchToken();
  return [
    (!launch && deviceCredential()) || [tokenHeader, launch],
    [windowHeader, currentWindowName()],
  ];
}

// fetch() for the host's routes: the same options, with the host's headers added, once a pairing
// code in the address has been traded.
export async function hostFetch(path, options = {}) {
  await pairingDone();
  const headers = new Headers(options.headers ?? {});
  for (const [name, value] of hostHeaderPairs()) headers.set(name, value);
  return fetch(path, { cache: 'no-store', credentials: 'omit', ...options, headers });
}

export class HostError extends Error {
  // refusal: which refusal a 403 is (the host's X-Pagewyn-Refusal), so the page can tell it.
  constructor(status, message, body, refusal = null) {
    super(message);
    this.status = status;
    this.body = body;
    this.refusal = refusal;
  }
}

// A JSON answer's body; an answer that is not a success throws a HostError with the host's reason.
export async function jsonAnswer(response) {
  const body = await response.json().catch(() => null);
  if (!response.ok) throw new HostError(response.status, body?.error ?? `error ${response.status}`, body);
  return body;
}

async function answer(response) {
  const type = response.headers.get('Content-Type') ?? '';
  const body = type.startsWith('application/json') ? await response.json().catch(() => null) : await response.text();
  if (response.ok) return body;
  const message = typeof body === 'string' ? body.trim() : body?.error ?? `error ${response.status}`;
  const refusal = response.headers.get('X-Pagewyn-Refusal');
  throw new HostError(response.status, message, typeof body === 'object' ? body : null, refusal);
}

async function reach(request) {
  try {
    return await request();
  } catch (failure) {
    if (failure instanceof HostError) throw failure;
    throw new HostError(0, 'Pagewyn is not running: start it again and open the address it prints.');
  }
}

function query(viewport) {
  const parameters = new URLSearchParams();
  for (const name of ['first', 'count', 'width', 'height']) {
    const value = viewport?.[name];
    if (Number.isFinite(value)) parameters.set(name, String(name === 'width' || name === 'height' ? Math.round(value) : value));
  }
  return parameters.toString();
}

export function fetchState(viewport) {
  return reach(async () => answer(await hostFetch(`/state?${query(viewport)}`)));
}

export function postEvent(event) {
  return reach(async () => answer(await hostFetch('/event', {
    method: 'POST',
    headers: { 'Content-Type': 'application/json' },
    body: JSON.stringify(event),
  })));
}

// Calls onChange(version) for each "changed" message of a server-sent event stream body, and
// onRedraw() for each "redraw" (what the page shows changed by itself, at the same version);
// resolves when the body ends.
async function readChanges(body, onChange, onRedraw) {
  const reader = body.pipeThrough(new TextDecoderStream()).getReader();
  let pending = '';
  for (;;) {
    const { value, done } = await reader.read();
    if (done) return;
    pending += value;
    let end;
    while ((end = pending.indexOf('\n\n')) >= 0) {
      const message = pending.slice(0, end);
      pending = pending.slice(end + 2);
      const lines = message.split('\n');
      if (lines.includes('event: redraw')) onRedraw();
      if (!lines.includes('event: changed')) continue;
      const data = lines.find((line) => line.startsWith('data:'))?.slice(5) ?? '';
      try {
        onChange(JSON.parse(data).version);
      } catch {
        onChange(null);
      }
    }
  }
}

// Calls onChange(version) whenever the host says the state changed, onRedraw() when what the page
// shows changed by itself. The stream is a fetch, so it carries the token as every other request
// does. Falls back to asking every few seconds when the
// host has no stream to spare, and opens the stream again when it ends.
export function watchChanges(onChange, onRedraw) {
  let polling = null;
  const poll = () => {
    if (!polling) polling = setInterval(() => onChange(null), 3000);
  };
  let current = null;
  renewStream = () => current?.abort();
  const listen = async () => {
    const stopped = new AbortController();
    current = stopped;
    try {
      const response = await hostFetch('/events', { headers: { Accept: 'text/event-stream' }, signal: stopped.signal });
      if (response.status === 503 || !response.ok || !response.body) {
        poll();
        return;
      }
      await readChanges(response.body, onChange, onRedraw);
    } catch {
      // The host went away, the connection broke, or the stream is opened again at once.
    }
    setTimeout(listen, stopped.signal.aborted ? 0 : 2000);
  };
  listen();
}
