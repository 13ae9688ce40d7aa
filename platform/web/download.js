// Files the host makes for the person to keep (highlights as Markdown), fetched with the page's
// credentials and handed to the browser as a download under the name the host gave them.

import { HostError } from './connection.js';
import { element } from './dom.js';

// The name the host gave the file, from its Content-Disposition.
function fileName(response) {
  const disposition = response.headers.get('Content-Disposition') ?? '';
  const encoded = /filename\*=UTF-8''([^;]+)/i.exec(disposition);
  if (encoded) {
    try {
      return decodeURIComponent(encoded[1]);
    } catch {
      // A name that is not percent-encoded UTF-8 falls back to the plain one.
    }
  }
  return /filename="([^"]*)"/i.exec(disposition)?.[1] || 'Highlights.md';
}

// Saves the host's answer as a download and answers its name; throws with the host's reason
// otherwise.
export async function downloadAnswer(response) {
  if (!response.ok) {
    const body = await response.json().catch(() => null);
    throw new HostError(response.status, body?.error ?? `error ${response.status}`, body);
  }
  const url = URL.createObjectURL(await response.blob());
  const link = element('a');
  link.href = url;
  link.download = fileName(response);
  link.hidden = true;
  document.body.append(link);
  link.click();
  link.remove();
  // The download has taken the bytes by the next turn of the loop; the address is let go after.
  setTimeout(() => URL.revokeObjectURL(url), 60000);
  return link.download;
}
