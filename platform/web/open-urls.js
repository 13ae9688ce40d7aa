// The addresses the application asked to open outside itself: its page of the system's settings
// is drawn by the platform here; its documents folder goes to the desktop's file manager (a
// failure of which the page's notice tells); web and mail addresses open in a new tab; anything
// else is refused with a warning on the console, never handed to the browser.

import { tellOnPage } from './page-drawing.js';
import { openLibraryFolder, showSettingsPage } from './settings-page.js';

const settingsScheme = 'app-settings:';
const documentsFolderScheme = 'app-documents-folder:';
const outsideSchemes = new Set(['http:', 'https:', 'mailto:']);

export function openRequestedURLs(urls) {
  for (const requested of Array.isArray(urls) ? urls : []) {
    const text = String(requested);
    let url;
    try {
      url = new URL(text);
    } catch {
      url = null;
    }
    if (url?.protocol === settingsScheme) showSettingsPage();
    else if (url?.protocol === documentsFolderScheme) {
      openLibraryFolder()
        .catch((failure) => tellOnPage(`Could not open the library folder: ${failure.message}`));
    }
    else if (url && outsideSchemes.has(url.protocol)) window.open(url.href, '_blank', 'noopener,noreferrer');
    else console.warn(`Pagewyn did not open ${JSON.stringify(text)}: only web and mail addresses open outside it.`);
  }
}
