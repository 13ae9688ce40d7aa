// Sending a file the application takes to the host as the body of one request, with its progress:
// the document picker's choice and a file dropped on the page both go this way. The host answers
// with the next state, which is drawn through the page's usual path (drawAnsweredState).

import { HostError, hostHeaderPairs } from './connection.js';
import { words } from './words.js';

// Starts sending the file to the route; answers { done, cancel }. done resolves with the host's
// answer, or rejects with a HostError (status 0: no connection; -1: cancelled here).
export function uploadFile(route, file, { onProgress = null, parameters = {} } = {}) {
  const request = new XMLHttpRequest();
  const query = new URLSearchParams({ name: file.name, ...parameters });
  const done = new Promise((resolve, reject) => {
    request.open('POST', `${route}?${query}`);
    request.setRequestHeader('Content-Type', words.mediaType);
    for (const [name, value] of hostHeaderPairs()) request.setRequestHeader(name, value);
    request.upload.addEventListener('progress', (event) => {
      if (event.lengthComputable) onProgress?.(event.loaded, event.total);
    });
    request.addEventListener('load', () => {
      let body;
      try {
        body = JSON.parse(request.responseText);
      } catch {
        body = null;
      }
      if (request.status >= 200 && request.status < 300) resolve(body);
      else reject(new HostError(request.status, body?.error ?? `Pagewyn answered ${request.status}`, body));
    });
    request.addEventListener('error', () => reject(new HostError(0, 'the file could not be sent to Pagewyn')));
    request.addEventListener('abort', () => reject(new HostError(-1, 'cancelled')));
    request.send(file);
  });
  return { done, cancel: () => request.abort() };
}

// Whether the file's name is one the host takes: not hidden, no path, and ending in the ending of
// the files the application takes, in any case.
export function isTakenName(name) {
  const ending = words.ending.toLowerCase();
  return !name.startsWith('.') && name.length > ending.length && name.toLowerCase().endsWith(ending) && !/[/\\]/.test(name);
}

export function percentText(loaded, total) {
  return `${Math.floor((100 * loaded) / Math.max(1, total))}%`;
}
