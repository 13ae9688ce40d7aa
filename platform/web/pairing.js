// A device's pairing: the address the settings page shows for "Add a device" carries a one-time
// code. The page trades it once for the device's lasting key, kept in local storage (never in a
// cookie, which the browser would send to every port of that machine), and leaves the bare
// address in the address bar and the history, so no code lingers there. From then on the bare
// address, or a bookmark of it, opens the library on this device.

const deviceHeader = 'X-Pagewyn-Device';
const keyName = 'pagewyn-device-key';

function keptKey() {
  try {
    return localStorage.getItem(keyName) ?? '';
  } catch {
    return '';
  }
}

async function redeem() {
  const address = new URL(window.location.href);
  const code = address.searchParams.get('pair');
  if (code === null) return;
  address.searchParams.delete('pair');
  history.replaceState(history.state, '', address.pathname + address.search + address.hash);
  try {
    const response = await fetch('/pairing', {
      method: 'POST',
      cache: 'no-store',
      credentials: 'omit',
      headers: { 'Content-Type': 'application/json' },
      body: JSON.stringify({ code }),
    });
    const answer = await response.json().catch(() => null);
    if (response.ok && typeof answer?.key === 'string') localStorage.setItem(keyName, answer.key);
    codeRefused = response.status === 403;
  } catch {
    // Unpaired, the page's first request is refused with the way to pair.
  }
}

let redeemed = null;
let codeRefused = false;

// Whether the pairing code the address carried was refused: used already, or expired.
export const pairingCodeRefused = () => codeRefused;

// Resolves once a code in the address has been traded (or refused); the page's requests wait for
// it.
export function pairingDone() {
  redeemed ??= redeem();
  return redeemed;
}

// The header and value that stand for this device, or nothing when it is not paired.
export function deviceCredential() {
  const key = keptKey();
  return key ? [deviceHeader, key] : null;
}
