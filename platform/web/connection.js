// The page's side of the host's protocol: the state for a viewport, one event at a time, and
// the stream that says when the state changed elsewhere (with polling when no stream can be had).

export class HostError extends Error {
  constructor(status, message, body) {
    super(message);
    this.status = status;
    this.body = body;
  }
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
  return reach(async () => answer(await fetch(`/state?${query(viewport)}`, { cache: 'no-store', credentials: 'same-origin' })));
}

export function postEvent(event) {
  return reach(async () => answer(await fetch('/event', {
    method: 'POST',
    cache: 'no-store',
    credentials: 'same-origin',
    headers: { 'Content-Type': 'application/json' },
    body: JSON.stringify(event),
  })));
}

// Calls onChange(version) whenever the host says the state changed. Falls back to asking every
// few seconds when the host has no stream to spare.
export function watchChanges(onChange) {
  let polling = null;
  const poll = () => {
    if (!polling) polling = setInterval(() => onChange(null), 3000);
  };
  if (typeof EventSource !== 'function') {
    poll();
    return;
  }
  const stream = new EventSource('/events');
  stream.addEventListener('changed', (message) => {
    try {
      onChange(JSON.parse(message.data).version);
    } catch {
      onChange(null);
    }
  });
  stream.addEventListener('error', () => {
    if (stream.readyState === EventSource.CLOSED) poll();
  });
}
