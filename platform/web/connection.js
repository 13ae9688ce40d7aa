// The page's side of the host's protocol: the state for a viewport, one event at a time, and
// the stream that says when the state changed elsewhere (with polling when no stream can be had).
// Every request to the host goes through hostFetch, which sends the launch's token in a header
// (or, on a paired device without it, the device's key): neither is ever in a cookie, which the
// browser would send to every port of this machine.

import { deviceCredential, pairingDone } from './pairing.js';

const tokenHeader = 'X-Pagewyn-Token';
const tokenKey = 'pagewyn-token';

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

// fetch() for the host's routes: the same options, with the token (or the device's key) added to
// the headers, once a pairing code in the address has been traded.
export async function hostFetch(path, options = {}) {
  await pairingDone();
  const headers = new Headers(options.headers ?? {});
  headers.set(...tokenHeaderPair());
  return fetch(path, { cache: 'no-store', credentials: 'omit', ...options, headers });
}

// The header and value an XMLHttpRequest to the host sets: the launch's token when this tab has
// it, else the paired device's key.
export function tokenHeaderPair() {
  const launch = takeLaunchToken();
  return (!launch && deviceCredential()) || [tokenHeader, launch];
}

export class HostError extends Error {
  constructor(status, message, body) {
    super(message);
    this.status = status;
    this.body = body;
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
  throw new HostError(response.status, message, typeof body === 'object' ? body : null);
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

// Calls onChange(version) for each "changed" message of a server-sent event stream body;
// resolves when the body ends.
async function readChanges(body, onChange) {
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

// Calls onChange(version) whenever the host says the state changed. The stream is a fetch, so it
// carries the token as every other request does. Falls back to asking every few seconds when the
// host has no stream to spare, and opens the stream again when it ends.
export function watchChanges(onChange) {
  let polling = null;
  const poll = () => {
    if (!polling) polling = setInterval(() => onChange(null), 3000);
  };
  const listen = async () => {
    try {
      const response = await hostFetch('/events', { headers: { Accept: 'text/event-stream' } });
      if (response.status === 503 || !response.ok || !response.body) {
        poll();
        return;
      }
      await readChanges(response.body, onChange);
    } catch {
      // The host went away or the connection broke: try again shortly.
    }
    setTimeout(listen, 2000);
  };
  listen();
}
